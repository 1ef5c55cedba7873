// The recording viewer through the handlers its controls run: a corpus recording opened
// from the open dialog, zoomed, read with the cursor and the statistics, its visible range
// exported and its chart saved, every dialog answered through the prompts; a file that
// cannot be shown, told and closed; and a two-cast recording seen as profiles.
#include <qcustomplot.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QStandardItemModel>
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

ViewerDevice Ctd() {
    ViewerDevice device;
    std::ifstream file(std::string(KIVO_SOURCE_DIR) + "/demo/kivo-bb3-ctd.dev");
    ScriptedPrompts prompts;
    ReadDeviceFile(file, device.calibration, device.deviceName, prompts);
    return device;
}

// One line a second: on deck, cast 1 to 20 dbar, on deck, cast 2 to 40 dbar, on deck, lowered
// and hauled at 0.5 dbar/s. The first channel's counts tell what the line was written as:
// 100 in cast 1, 200 on cast 2's way down, 300 at its bottom and on its way up.
void WriteTwoCasts(const std::string& path) {
    std::ofstream raw(path, std::ios::binary);
    int second = 0;
    const auto line = [&](double pressure, int counts) {
        char text[96];
        std::snprintf(text, sizeof text, "05/21/04\t%d\t1000\t400\t%02d:%02d:%02d\t3000\t%d\r\n",
                      counts, 9 + second / 3600, second / 60 % 60, second % 60,
                      static_cast<int>(std::lround((pressure + 2.5) * 20)));
        raw << text;
        ++second;
    };
    const auto cast = [&](double depth, int down, int up) {
        for (int i = 0; i < 30; ++i) line(0, down);
        for (double p = 0.5; p <= depth; p += 0.5) line(p, down);
        for (int i = 0; i < 10; ++i) line(depth, up);
        for (double p = depth - 0.5; p > 0; p -= 0.5) line(p, up);
    };
    cast(20, 100, 100);
    cast(40, 200, 300);
    for (int i = 0; i < 30; ++i) line(0, 100);
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

    // Cast 2's down trace alone is drawn, of every channel but the pressure; its export
    // holds cast 2's records alone, numbered as the view numbers them.
    void thePressureViewDrawsTheChosenCastAndTraceAndExportsTheChosenCast() {
        QTemporaryDir folder;
        const std::string raw = folder.filePath("casts.raw").toStdString();
        WriteTwoCasts(raw);
        ScriptedPrompts prompts;
        QPointer<RecordingViewer> viewer(OpenRecordingViewer(nullptr, prompts, Ctd(), raw));
        QTRY_VERIFY_WITH_TIMEOUT(viewer->Data() != nullptr, 60000);
        const RecordingCasts* casts = viewer->Data()->Casts();
        QVERIFY(casts != nullptr);
        QCOMPARE(casts->CastCount(), 2);

        auto* x = viewer->findChild<QComboBox*>("ViewerXAxisCB");
        auto* cast = viewer->findChild<QComboBox*>("ViewerCastCB");
        auto* trace = viewer->findChild<QComboBox*>("ViewerTraceCB");
        QCOMPARE(x->currentText(), QString("Time"));
        QVERIFY(!cast->isVisible());
        x->setCurrentIndex(2);
        QCOMPARE(cast->count(), 3);
        QCOMPARE(cast->itemText(2), QString("Cast 2"));
        cast->setCurrentIndex(2);
        trace->setCurrentIndex(0);  // Down
        QCOMPARE(trace->currentText(), QString("Down"));

        std::size_t down2 = 0;
        for (std::size_t line = 0; line < casts->Lines(); ++line)
            down2 += casts->Mark(line).cast == 2 && casts->Mark(line).phase == CastPhase::Down;
        QVERIFY(down2 > 70);                                             // of the 80 lines lowered
        const float counts200 = viewer->Data()->Value(0, 0) / 49 * 149;  // (counts - dark 51)
        int drawn = 0;
        double deepest = 0;
        for (int i = 0; i < viewer->Plot()->plottableCount(); ++i) {
            auto* curve = qobject_cast<QCPCurve*>(viewer->Plot()->plottable(i));
            if (curve == nullptr || !curve->visible() || curve->data()->isEmpty()) continue;
            QVERIFY2(curve->name() != "Pres(dbar)", qPrintable(curve->name()));
            QCOMPARE(curve->valueAxis(), viewer->Plot()->yAxis);
            ++drawn;
            if (curve->name() != "Beta(470)") continue;
            QCOMPARE(curve->data()->size(), static_cast<int>(down2));
            for (const QCPCurveData& point : *curve->data()) {
                QVERIFY2(qAbs(point.key - counts200) < 1e-9,
                         qPrintable(QString::number(point.key)));
                deepest = std::max(deepest, point.value);
            }
        }
        QCOMPARE(drawn, 4);  // three wavelengths and the temperature, one trace each
        QCOMPARE(deepest, 40.0);
        QVERIFY(viewer->Plot()->yAxis->rangeReversed());

        // The cursor names the nearest point's cast, trace and pressure.
        const QCPRange values = viewer->Plot()->xAxis->range();
        viewer->PlaceProfileCursor(QPointF(viewer->Plot()->xAxis->coordToPixel(values.center()),
                                           viewer->Plot()->yAxis->coordToPixel(30.2)));
        QVERIFY2(viewer->CursorText().contains("Cast 2 down  30 dbar"),
                 qPrintable(viewer->CursorText()));

        viewer->findChild<QDoubleSpinBox*>("ViewerBinSize")->setValue(0);  // "Samples"
        prompts.answers = {folder.filePath("cast2.csv").toStdString()};
        viewer->ExportCastsClick();
        QTRY_COMPARE_WITH_TIMEOUT(prompts.messages.size(), std::size_t{1}, 60000);
        QVERIFY(prompts.warnings.empty());
        const QStringList csv = Lines(folder.filePath("cast2.csv"));
        QVERIFY(!csv.isEmpty());
        const int castColumn = csv[0].split(',').indexOf("cast");
        QVERIFY(castColumn > 0);
        std::size_t cast2 = 0;
        for (std::size_t line = 0; line < casts->Lines(); ++line)
            cast2 += casts->Mark(line).cast == 2;
        QCOMPARE(static_cast<std::size_t>(csv.size() - 1), cast2);
        for (int row = 1; row < csv.size(); ++row)
            QCOMPARE(csv[row].split(',').value(castColumn), QString("2"));

        // Back to time: the chart of before, its graphs again.
        x->setCurrentIndex(0);
        QVERIFY(viewer->Plot()->graph(0)->visible());
        QCOMPARE(viewer->Plot()->xAxis->label(), QString("Meter time (UTC)"));
        delete viewer;
    }

    void withoutAPressureColumnThePressureChoiceIsOffAndSaysWhy() {
        ScriptedPrompts prompts;
        QPointer<RecordingViewer> viewer(
            OpenRecordingViewer(nullptr, prompts, Bb9(), kCase + ".raw"));
        QTRY_VERIFY_WITH_TIMEOUT(viewer->Data() != nullptr, 60000);
        auto* x = viewer->findChild<QComboBox*>("ViewerXAxisCB");
        const QStandardItem* pressure = qobject_cast<QStandardItemModel*>(x->model())->item(2);
        QVERIFY(!pressure->isEnabled());
        QVERIFY2(pressure->toolTip().contains("no pressure column"),
                 qPrintable(pressure->toolTip()));
        delete viewer;
    }
};

QTEST_MAIN(RecordingViewerTest)
#include "test_recording_viewer.moc"
