// File > Export Recording…: a raw file of the corpus exported from the window, through the
// menu's own handler, read back against the corpus's engineering-units file; and Cancel.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <cstddef>
#include <memory>
#include <utility>

#include "../core/MemorySerialPort.h"
#include "ScriptedPrompts.h"
#include "app/ExportProgressWindow.h"
#include "app/MainWindow.h"
#include "viewer/RecordingViewer.h"

using namespace kivo;

namespace {

const QString kCase = QString(KIVO_SOURCE_DIR) + "/tests/replay/bb9_sea";

std::string Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// The lines of a file, a CSV file's "#" header of facts left out.
QStringList Lines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n");
    lines.removeIf([](const QString& line) { return line.startsWith('#'); });
    return lines;
}

}  // namespace

class ExportRecordingTest : public QObject {
    Q_OBJECT

    struct Fixture {
        QTemporaryDir folder;
        MemorySerialPort port;
        ScriptedPrompts prompts;
        std::unique_ptr<MainWindow> window;

        Fixture() {
            MainWindowOptions options;
            options.port = &port;
            options.prompts = &prompts;
            options.exitProcess = [](int) {};
            options.startTimers = false;
            options.settingsDirectory = folder.path().toStdString();
            window = std::make_unique<MainWindow>(std::move(options));
        }
        QString File(const QString& name) const { return folder.filePath(name); }
        // The case's device file, loaded from a copy in the scratch folder.
        QString LoadDeviceCopy() {
            const QString device = File("meter.dev");
            QFile::copy(kCase + ".dev", device);
            QFile::setPermissions(device, QFile::ReadOwner | QFile::WriteOwner);
            window->Core().LoadDeviceFile(device.toStdString());
            window->Present();
            return device;
        }
        void Export(const QString& raw, const QString& output) {
            prompts.answers = {raw.toStdString(), output.toStdString()};
            window->findChild<QAction*>("ExportRecording")->trigger();
        }
    };

    // Every value of the export is the engineering-units file's, to the digits it prints.
    static void HoldsTheValuesOf(const QString& csvPath, const QString& engPath) {
        const QStringList eng = Lines(engPath);
        const QStringList csv = Lines(csvPath);
        QCOMPARE(csv.size(), eng.size());
        QVERIFY(csv.size() > 2);
        for (int line = 1; line + 1 < eng.size(); ++line) {
            const QStringList printed = eng[line].split('\t');
            const QStringList exported = csv[line].split(',');
            // Count, Date, Time: time; each value's quality flag after the values.
            QCOMPARE(exported.size() + 2, 2 * printed.size() - 3);
            for (int field = 3; field < printed.size(); ++field) {
                const QString& text = printed[field];
                const int point = text.indexOf('.');
                const int decimals = point < 0 ? 0 : static_cast<int>(text.size()) - point - 1;
                const double value = exported[field - 2].toDouble();
                const double expected = text.toDouble();
                // An infinite value is printed as such in both.
                QVERIFY2(value == expected || std::fabs(value - expected) <=
                                                  0.5 * std::pow(10.0, -decimals) * 1.0001,
                         qPrintable(QString("line %1: %2 printed as %3")
                                        .arg(line)
                                        .arg(exported[field - 2], text)));
            }
        }
    }

private slots:
    void csvHoldsTheRecordsOfTheEngineeringUnitsFile() {
        Fixture f;
        f.Export(kCase + ".raw", f.File("run.csv"));
        QCOMPARE(f.prompts.warnings.size(), std::size_t{1});  // no device file: refused
        QVERIFY(f.prompts.dialogs.empty());
        QVERIFY(f.window->Exporting() == nullptr);

        QVERIFY(f.window->Core().LoadDeviceFile((kCase + ".dev").toStdString()));
        // Nothing to export: told, and no file of a heading alone is left.
        QFile empty(f.File("empty.raw"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        f.Export(f.File("empty.raw"), f.File("run.csv"));
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Exporting()->isVisible(), 60000);
        QCOMPARE(f.prompts.warnings.size(), std::size_t{2});
        QVERIFY(!QFile::exists(f.File("run.csv")));
        QVERIFY(QFile::remove(f.File("empty.raw")));

        // The meter kept in local time: the export reads its times in that zone and says so;
        // the station typed in File > Station... goes with it.
        f.window->findChild<QCheckBox*>("CBClockLocalTime")->click();
        StationHeader station;
        station.station = "Line P 4";
        f.prompts.stationAnswers.push_back(station);
        f.window->findChild<QAction*>("StationSetup")->trigger();
        QCOMPARE(f.prompts.stationsProposed.size(), std::size_t{1});
        f.Export(kCase + ".raw", f.File("run.csv"));
        QVERIFY(f.window->Exporting() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Exporting()->isVisible(), 60000);
        QCOMPARE(f.window->Exporting()->Export().Status(), RecordingExport::State::Done);
        QCOMPARE(f.prompts.messages.size(), std::size_t{1});
        // Beside the export only the event log and the kept choice of zone.
        QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files),
                 (QStringList{"kivoview-events.log", "kivoview-ports.ini", "run.csv"}));
        QFile written(f.File("run.csv"));
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QString header = QString::fromUtf8(written.readAll());
        QVERIFY2(header.contains("\n# meter_clock_zone: local time of the computer"),
                 qPrintable(header.left(2000)));
        QVERIFY(header.contains("\n# station: Line P 4\r\n"));
        QFile device(kCase + ".dev");
        QVERIFY(device.open(QIODevice::ReadOnly));
        const QByteArray digest =
            QCryptographicHash::hash(device.readAll(), QCryptographicHash::Sha256).toHex();
        QVERIFY(header.contains("\n# device_file_sha256: " + QString::fromLatin1(digest)));

        HoldsTheValuesOf(f.File("run.csv"), kCase + ".expected.eng");
    }

    // With reference-channel correction on, the window's export has the values the corpus's
    // recording holds, which kivo-convert gives too: the export's chain takes its first
    // reference as a chain with a device file loaded does, not the meter's first count.
    void anExportWithReferenceCorrectionHasTheRecordingsValues() {
        const QString bb4 = QString(KIVO_SOURCE_DIR) + "/tests/replay/bb4_pure_ref";
        Fixture f;
        QVERIFY(QFile::copy(bb4 + ".dev", f.File("meter.dev")));
        QFile settings(f.File("last.rbs"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("0 0 0 0 0 0 0 0 0 1 1 0\nmeter.dev\n");  // both corrections on
        settings.close();
        f.window->Timer55msTimer();
        f.window->Timer1SecondTimer();  // the first reads last.rbs
        QCOMPARE(f.window->Core().State().RefChannelCorrection, 1);
        f.Export(bb4 + ".raw", f.File("run.csv"));
        QVERIFY(f.window->Exporting() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Exporting()->isVisible(), 60000);
        QCOMPARE(f.window->Exporting()->Export().Status(), RecordingExport::State::Done);
        HoldsTheValuesOf(f.File("run.csv"), bb4 + ".expected.eng");
    }

    // Renamed over the raw file being recorded, the export would leave the recorder writing
    // into a deleted file: refused, and the recording goes on into the file of its name.
    void anExportOntoTheLiveRawFileIsRefused() {
        Fixture f;
        f.LoadDeviceCopy();
        const QString live = f.File("live.raw");
        QVERIFY(f.window->Core().Recording().StartRawRecording(live.toStdString()));
        struct stat before {};
        QVERIFY(::stat(live.toLocal8Bit().constData(), &before) == 0);
        f.Export(kCase + ".raw", live);
        QVERIFY(f.window->Exporting() == nullptr);
        QCOMPARE(f.prompts.warnings.size(), std::size_t{1});
        QVERIFY2(f.prompts.warnings[0].second.find("raw recording") != std::string::npos,
                 f.prompts.warnings[0].second.c_str());
        QVERIFY(f.window->Core().Status().rawRecording);
        struct stat after {};
        QVERIFY(::stat(live.toLocal8Bit().constData(), &after) == 0);
        QCOMPARE(after.st_ino, before.st_ino);
    }

    // The viewer's export of the visible range is refused onto the window's device file.
    void aRangeExportOntoTheLoadedDeviceFileIsRefused() {
        Fixture f;
        const QString device = f.LoadDeviceCopy();
        const std::string before = Bytes(device);
        f.prompts.answers = {kCase.toStdString() + ".raw"};
        f.window->findChild<QAction*>("OpenRecording")->trigger();
        auto* viewer = f.window->findChild<RecordingViewer*>();
        QVERIFY(viewer != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(viewer->Data() != nullptr, 60000);
        f.prompts.answers = {device.toStdString()};
        viewer->ExportVisibleRangeClick();
        QTRY_VERIFY_WITH_TIMEOUT(!viewer->Busy(), 60000);
        QCoreApplication::processEvents();
        QCOMPARE(f.prompts.warnings.size(), std::size_t{1});
        QVERIFY2(f.prompts.warnings[0].second.find("device file") != std::string::npos,
                 f.prompts.warnings[0].second.c_str());
        QCOMPARE(Bytes(device), before);
    }

    // A replaced file keeps the owner-only mode it had, and a link stays a link to it.
    void anExportKeepsTheTargetsModeAndWritesThroughItsLink() {
        Fixture f;
        f.LoadDeviceCopy();
        const QString real = f.File("private.csv");
        QFile old(real);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier\r\n");
        old.close();
        QVERIFY(::chmod(real.toLocal8Bit().constData(), 0600) == 0);
        const QString link = f.File("link.csv");
        QVERIFY(QFile::link(real, link));
        f.Export(kCase + ".raw", link);
        QVERIFY(f.window->Exporting() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Exporting()->isVisible(), 60000);
        QCOMPARE(f.window->Exporting()->Export().Status(), RecordingExport::State::Done);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(Lines(real).size(), Lines(kCase + ".expected.eng").size());
        struct stat status {};
        QVERIFY(::stat(real.toLocal8Bit().constData(), &status) == 0);
        QCOMPARE(status.st_mode & 0777, mode_t{0600});
    }

    // The raw file is a FIFO that holds the worker in its read until Cancel was pressed:
    // nothing is left of the output, not even its temporary file.
    void cancelLeavesNoFile() {
        Fixture f;
        const QString fifo = f.File("stream.raw");
        QCOMPARE(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        // Held open for writing, so the worker's open does not wait and its read does.
        const int writer = ::open(fifo.toLocal8Bit().constData(), O_RDWR);
        QVERIFY(writer >= 0);
        QVERIFY(f.window->Core().LoadDeviceFile((kCase + ".dev").toStdString()));
        f.Export(fifo, f.File("run.csv"));
        QVERIFY(f.window->Exporting() != nullptr);
        f.window->Exporting()->findChild<QPushButton*>("ExportCancel")->click();
        ::close(writer);
        // Should the worker not have opened the FIFO yet, its open waits for a writer: one is
        // opened and closed for it (without waiting) until the export has ended.
        const QByteArray name = fifo.toLocal8Bit();
        const auto ended = [&] {
            const int nudge = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
            if (nudge >= 0) ::close(nudge);
            return !f.window->Exporting()->isVisible();
        };
        QTRY_VERIFY_WITH_TIMEOUT(ended(), 60000);
        QCOMPARE(f.window->Exporting()->Export().Status(), RecordingExport::State::Cancelled);
        QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files | QDir::System | QDir::Hidden),
                 (QStringList{"kivoview-events.log", "stream.raw"}));
        QVERIFY(f.prompts.warnings.empty());
    }
};

QTEST_MAIN(ExportRecordingTest)
#include "test_export_recording.moc"
