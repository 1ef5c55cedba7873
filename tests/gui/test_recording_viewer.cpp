// The recording viewer through the handlers its controls run: a corpus recording opened
// from the open dialog, zoomed, read with the cursor and the statistics, its visible range
// exported and its chart saved, every dialog answered through the prompts; and a file that
// cannot be shown, told and closed.
#include <qcustomplot.h>

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <cstddef>
#include <fstream>
#include <optional>
#include <string>
#include <utility>

#include "ScriptedPrompts.h"
#include "core/data/DeviceFile.h"
#include "viewer/RecordingViewer.h"

using namespace kivo;

namespace {

const std::string kCase = std::string(KIVO_SOURCE_DIR) + "/tests/replay/bb9_sea";

ViewerDevice Bb9() {
    ViewerDevice device;
    std::ifstream file(kCase + ".dev");
    ScriptedPrompts prompts;
    ReadDeviceFile(file, device.calibration, device.deviceName, prompts);
    return device;
}

// The lines of a file, a CSV file's "#" header of facts left out.
QStringList Lines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.startsWith('#'); });
    return lines;
}

}  // namespace

class RecordingViewerTest : public QObject {
    Q_OBJECT

private slots:
    void zoomCursorStatisticsExportAndChartFollowTheVisibleRange() {
        QTemporaryDir folder;
        ScriptedPrompts prompts;
        prompts.answers = {kCase + ".raw"};
        QPointer<RecordingViewer> viewer(OpenRecordingViewer(nullptr, prompts, Bb9(), {}));
        QVERIFY(viewer);
        QCOMPARE(prompts.dialogs.front().title, std::string("Open Recording"));
        QTRY_VERIFY_WITH_TIMEOUT(viewer->Data() != nullptr, 60000);
        QCOMPARE(viewer->Data()->Lines(), std::size_t{8});
        // The axes name their quantities with units, whichever side the temperature takes.
        const QString axes = viewer->Plot()->yAxis->label() + "|" + viewer->Plot()->yAxis2->label();
        QVERIFY2(axes.startsWith("Beta [1/(m sr)]") && axes.contains("iTemp [C]"),
                 qPrintable(axes));

        // Samples 3 and 4 (lines 2 and 3 of the expected file): Beta(412) -0.000031, 0.142945.
        viewer->ShowRange(2.5, 4.5);
        QCOMPARE(viewer->VisibleLines(), (std::pair<std::size_t, std::size_t>{2, 4}));
        QTableWidget* table = viewer->StatisticsTable();
        QCOMPARE(table->item(0, 0)->text(), QString("Beta(412)"));
        QVERIFY(qAbs(table->item(0, 1)->text().toDouble() - 0.071457) < 1e-6);
        QVERIFY(qAbs(table->item(0, 3)->text().toDouble() - -0.000031) < 1e-6);
        viewer->PlaceCursor(4.2);
        QVERIFY2(viewer->CursorText().startsWith("Line 4 ") &&
                     viewer->CursorText().contains("Beta(412) 0.142945"),
                 qPrintable(viewer->CursorText()));

        prompts.answers = {folder.filePath("range.csv").toStdString()};
        viewer->ExportVisibleRangeClick();
        QTRY_COMPARE_WITH_TIMEOUT(prompts.messages.size(), std::size_t{1}, 60000);
        const QStringList csv = Lines(folder.filePath("range.csv"));
        QCOMPARE(csv.size(), 3);  // heading and the two visible lines
        QVERIFY2(csv[1].contains("09:30:03") && csv[2].contains("09:30:04"), qPrintable(csv[1]));

        prompts.answers = {folder.filePath("chart.pdf").toStdString()};
        viewer->SaveChartClick();
        QFile pdf(folder.filePath("chart.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.read(4), QByteArray("%PDF"));
        QVERIFY(prompts.warnings.empty());
        delete viewer;
    }

    void aRawFileWithoutADeviceFileIsToldAndTheViewerCloses() {
        ScriptedPrompts prompts;
        QPointer<RecordingViewer> viewer(
            OpenRecordingViewer(nullptr, prompts, std::nullopt, kCase + ".raw"));
        QTRY_VERIFY_WITH_TIMEOUT(viewer.isNull(), 60000);
        QCOMPARE(prompts.warnings.size(), std::size_t{1});
        QCOMPARE(prompts.warnings.front().first, std::string("File Error"));
    }

    // A name that is not UTF-8 did not open; the lines left out went untold.
    void aNameThatIsNotUtf8OpensAndTheRefusedLinesAreCounted() {
        QTemporaryDir folder;
        const std::string name = QFile::encodeName(folder.path()).toStdString() + "/cast\xE9.raw";
        std::ofstream(name, std::ios::binary) << std::ifstream(kCase + ".raw").rdbuf();
        ScriptedPrompts prompts;
        QPointer<RecordingViewer> viewer(OpenRecordingViewer(nullptr, prompts, Bb9(), name));
        QTRY_VERIFY_WITH_TIMEOUT(viewer.isNull() || viewer->Data() != nullptr, 60000);
        QVERIFY(prompts.warnings.empty());
        QVERIFY(viewer);
        const QString summary = viewer->findChild<QLabel*>("ViewerSummary")->text();
        QVERIFY2(summary.contains("8 lines, X: sample number; 7 lines refused: 2 column count, "
                                  "3 not a data line, 1 too long, 1 unfinished last line"),
                 qPrintable(summary));
        delete viewer;
    }
};

QTEST_MAIN(RecordingViewerTest)
#include "test_recording_viewer.moc"
