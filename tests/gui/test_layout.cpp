// The window laid out at larger text sizes: every caption fits its control, long file
// names never widen the window, and a larger window gives its room to the chart and memo.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <initializer_list>
#include <memory>
#include <utility>

#include "../core/MemorySerialPort.h"
#include "ScriptedPrompts.h"
#include "app/ExportProgressWindow.h"
#include "app/MainWindow.h"
#include "app/Panel.h"
#include "dialogs/MemoryFullWindow.h"
#include "dialogs/PortDialog.h"
#include "dialogs/PowerUserPasswordDialog.h"
#include "plot/ChartWidget.h"
#include "qcustomplot.h"

using namespace kivo;

namespace {

struct Fixture {
    MemorySerialPort port;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;

    Fixture() {
        MainWindowOptions options;
        options.port = &port;
        options.prompts = &prompts;
        options.exitProcess = [](int) {};
        options.startTimers = false;
        window = std::make_unique<MainWindow>(std::move(options));
        window->show();
        Settle();
    }
    // Layouts are redone from posted events; run them all, however deep.
    static void Settle() {
        for (int i = 0; i < 10; ++i) QCoreApplication::sendPostedEvents(nullptr, 0);
    }
};

// The room a button's style leaves for its caption.
QRect CaptionRoom(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<QRadioButton*>(button) != nullptr)
        contents = QStyle::SE_RadioButtonContents;
    else if (qobject_cast<QCheckBox*>(button) != nullptr)
        contents = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<QPushButton*>(button) == nullptr)
        return button->contentsRect();
    return button->style()->subElementRect(contents, &option, button);
}

QRect CaptionRoom(QLabel* label) {
    const int inset = label->margin() + std::max(label->indent(), 0);
    return label->contentsRect().adjusted(inset, label->margin(), -inset, -label->margin());
}

QSize TextSize(const QFontMetrics& metrics, const QString& text) {
    const QStringList lines = text.split('\n');
    int width = 0;
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
    return {width, metrics.height() + metrics.lineSpacing() * (int(lines.size()) - 1)};
}

// Every shown caption of `top` that is cut by its control, as "name: text".
QStringList ClippedCaptions(QWidget* top) {
    QStringList clipped;
    const auto check = [&clipped](QWidget* widget, const QString& text, QRect room) {
        if (text.trimmed().isEmpty() || !widget->isVisible()) return;
        const QSize need = TextSize(widget->fontMetrics(), text);
        if (need.width() > room.width() || need.height() > room.height())
            clipped << QString("%1 \"%2\": needs %3x%4, has %5x%6")
                           .arg(widget->objectName(), text)
                           .arg(need.width())
                           .arg(need.height())
                           .arg(room.width())
                           .arg(room.height());
    };
    for (QAbstractButton* button : top->findChildren<QAbstractButton*>())
        check(button, QString(button->text()).remove('&'), CaptionRoom(button));
    for (QLabel* label : top->findChildren<QLabel*>()) {
        if (qobject_cast<ElidedLabel*>(label) != nullptr) continue;  // shortened by design
        if (label->wordWrap()) {
            if (label->isVisible() && label->heightForWidth(label->width()) > label->height())
                clipped << label->objectName() + " (wrapped): " + label->text();
            continue;
        }
        check(label, label->text(), CaptionRoom(label));
    }
    return clipped;
}

// The widest texts the session puts in the window's captions as it runs.
void ShowWidestTexts(MainWindow& window) {
    const std::initializer_list<std::pair<Control, const char*>> texts = {
        {Control::LBHz1, "Sample Rate: 999.99 Hz"},
        {Control::LBHostDandT, "Host:  12/31/26  23:59:59 AKDT"},
        {Control::LBClockOffset, "Clock Offset: -9999999999 s"},
        {Control::LBHz2, "Sample Rate: 999.99 Hz"},
        {Control::LBRecordStatus, "Recording:  Raw + Engr Units + CSV"},
        {Control::LBRawFileSize, "Raw File Size: 999999 K"},
        {Control::LBEngrFileSize, "Engr Units File Size: 999999 K"},
        {Control::LBTotalIn, "Bytes Read: 99999999"},
        {Control::BTStopData, "Stop Replay"},
        {Control::BTStartData, "Start Replay"},
        {Control::LBAVE, "Average: 9999"},
        {Control::LBNS, "Number of Sample: 9999"},
        {Control::LBNC, "Number of Cycles: 9999"},
        {Control::LBCI, "Cycle Interval: 235959"},
        {Control::LBLog, "Logging: OFF"},
        {Control::BTLogging, "Turn Logging OFF"},
        {Control::LBStorageUsed, "Used:  1055 K  100.0 %"},
        {Control::LBStorageFree, "Free:  1055 K  100.0 %"},
        {Control::PowerUserPanel, "Normal User"},
        {Control::LBCal, "Engr Output: OFF"},
        {Control::BTCal, "Turn Engr Output OFF"},
        {Control::LBHiRes, "ASV1:  Hi Resolution   0.0-30.0 ug/l"},
        {Control::LBStdRes, "ASV2:  Std Resolution  0.0-60.0 ug/l"},
        {Control::LBWideRange, "ASV4:  Wide Range:     0.0-120.0 ug/l"},
        {Control::LBuglscale, "0.0255"},
        {Control::LBReceiveFileSize, "Receive File Size: 999999 K"},
        {Control::LBReceiveStatus, "Receive File Status:  In Progress"},
    };
    for (const auto& [control, text] : texts) window.SetText(control, text);
    // The labels the window keeps itself.
    for (const auto& [name, text] : {std::pair{"LBLastLine", "Last line: 86399 s ago"},
                                     std::pair{"LBCsvFileSize", "CSV File Size: 999999 K"}})
        window.findChild<QLabel*>(name)->setText(text);
    // Whatever the session may show at some time is shown at once.
    for (int i = 0; i < kControlCount; ++i) window.SetVisible(static_cast<Control>(i), true);
}

QString LongPath(const QTemporaryDir& folder, const QString& suffix) {
    QString path = folder.path() + "/";
    path += QString(200 - path.size() - suffix.size(), 'n') + suffix;
    return path;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

    QFont defaultFont_;

private slots:
    void initTestCase() { defaultFont_ = QApplication::font(); }
    void cleanup() { QApplication::setFont(defaultFont_); }

    void everyCaptionFitsAtLargerText_data() {
        QTest::addColumn<double>("scale");
        QTest::newRow("100 %") << 1.0;
        QTest::newRow("150 %") << 1.5;
        QTest::newRow("200 %") << 2.0;
    }
    void everyCaptionFitsAtLargerText() {
        QFETCH(double, scale);
        QFont larger = defaultFont_;
        larger.setPointSizeF(defaultFont_.pointSizeF() * scale);
        QApplication::setFont(larger);
        Fixture f;
        ShowWidestTexts(*f.window);
        for (int page = 0; page < MainWindow::PageCount(); ++page) {
            f.window->SetPageVisible(page, true);
            f.window->SetActivePage(page);
            Fixture::Settle();
            const QStringList clipped = ClippedCaptions(f.window.get());
            QVERIFY2(clipped.isEmpty(),
                     qPrintable(f.window->PageTitle(page) + ": " + clipped.join("; ")));
        }

        ExportJob job;
        job.rawPath = "/nowhere/cast.raw";
        job.outputPath = "/nowhere/cast.csv";
        OutputFile output =
            OutputFile::Open(nullptr, job.outputPath, roles::kExport, OutputMode::Staged);
        auto* exporting = new ExportProgressWindow(std::move(job), std::move(output), {}, f.prompts,
                                                   f.window.get());
        for (QWidget* small :
             {static_cast<QWidget*>(f.window->HostPortDialog()),
              static_cast<QWidget*>(f.window->PasswordDialog()),
              static_cast<QWidget*>(f.window->MemoryFull()), static_cast<QWidget*>(exporting)}) {
            small->show();
            Fixture::Settle();
            const QStringList clipped = ClippedCaptions(small);
            QVERIFY2(clipped.isEmpty(),
                     qPrintable(small->windowTitle() + ": " + clipped.join("; ")));
        }
    }

    void longFileNamesNeitherWidenTheWindowNorHideTheirPath() {
        QTemporaryDir folder;
        Fixture f;
        f.window->SetActivePage(PageTransfer);  // the receive file's page
        Fixture::Settle();
        const int width = f.window->width();
        const int minimumWidth = f.window->minimumSizeHint().width();

        Session& core = f.window->Core();
        const QString device = LongPath(folder, ".dev");
        QVERIFY(QFile::copy(KIVO_TEST_DATA "/fluoro.dev", device));
        QVERIFY(core.LoadDeviceFile(device.toStdString()));
        f.window->Present();
        const QString raw = LongPath(folder, ".raw");
        QVERIFY(core.Recording().StartRawRecording(raw.toStdString()));
        const QString engr = LongPath(folder, ".eng");
        QVERIFY(core.Recording().StartEngrRecording(engr.toStdString()));
        const QString csv = LongPath(folder, ".csv");
        QVERIFY(core.Recording().StartCsvRecording(csv.toStdString()));
        f.window->PresentHostStatus();
        const QString receive = LongPath(folder, ".rcv");
        f.window->SetText(Control::LBReceiveFile, ("Receive File:  " + receive).toStdString());
        core.Recording().StopAll();
        QVERIFY(core.OpenReplay(raw.toStdString()));
        f.window->Present();
        Fixture::Settle();

        QCOMPARE(f.window->width(), width);
        QCOMPARE(f.window->minimumSizeHint().width(), minimumWidth);
        for (const auto& [name, path] :
             {std::pair{"LBDeviceFile", device}, std::pair{"LBRawFileName", raw},
              std::pair{"LBEngrFileName", engr}, std::pair{"LBReceiveFile", receive},
              std::pair{"LBCsvFileName", csv}}) {
            auto* label = f.window->findChild<ElidedLabel*>(name);
            QVERIFY2(label != nullptr, name);
            QVERIFY2(label->toolTip().endsWith(path), name);
            QVERIFY2(label->text().endsWith(path), name);
            // The end of the name is the part that tells files apart: it stays in sight.
            QVERIFY2(label->Shown().contains(QChar(0x2026)), name);
            QVERIFY2(label->Shown().endsWith(path.right(6)), name);
            QVERIFY2(TextSize(label->fontMetrics(), label->Shown()).width() <=
                         CaptionRoom(label).width(),
                     name);
        }
    }

    // Every legend entry, the live readout of its channel, is shown whole at the window's
    // first size, with temperatures and pressure plotted too.
    void liveReadoutsFitAtTheDefaultSize() {
        QTemporaryDir folder;
        Fixture f;
        Session& core = f.window->Core();
        const QString device = folder.filePath("fl6.dev");
        QVERIFY(QFile::copy(KIVO_TEST_DATA "/../replay/fl6.dev", device));
        QVERIFY(core.LoadDeviceFile(device.toStdString()));
        f.window->Present();
        f.window->Timer55msTimer();
        for (const auto& [name, item] : {std::pair{"PlotTypeCB", 1}, std::pair{"iTempCB", 1},
                                         std::pair{"xTempCB", 1}, std::pair{"PresCB", 1}}) {
            auto* selector = f.window->findChild<QComboBox*>(name);
            selector->setCurrentIndex(item);
            emit selector->activated(item);
        }
        // The widest values the meter's counts give: six digits and a sign.
        const std::string line =
            "11/20/03\t12:30:45\t65535\t3990\t65535\t2100\t65535\t1000\t65535\t800\t65535\t"
            "900\t65535\t700\t65535\t65535\t65535\r\n";
        core.FeedBytes(line.data(), line.size());
        f.window->SetActivePage(PagePlot);
        f.window->Chart()->Sync();
        Fixture::Settle();
        QCustomPlot* plot = f.window->Chart()->Plot();
        plot->replot(QCustomPlot::rpImmediateRefresh);
        QCPLegend* legend = plot->legend;
        QVERIFY(legend->itemCount() >= 9);
        for (int i = 0; i < legend->itemCount(); ++i) {
            auto* entry = qobject_cast<QCPPlottableLegendItem*>(legend->item(i));
            QVERIFY(entry != nullptr);
            const QString text = entry->plottable()->name();
            const int need = QFontMetrics(entry->font()).horizontalAdvance(text) +
                             legend->iconSize().width() + legend->iconTextPadding();
            QVERIFY2(entry->rect().width() >= need && plot->viewport().contains(entry->outerRect()),
                     qPrintable(QString("%1: needs %2, has %3 at %4 of %5")
                                    .arg(text)
                                    .arg(need)
                                    .arg(entry->rect().width())
                                    .arg(entry->outerRect().right())
                                    .arg(plot->viewport().right())));
        }
    }

    void aLargerWindowGivesItsRoomToTheChartAndTheMemo() {
        Fixture f;
        const QSize start = f.window->size();
        f.window->SetActivePage(PagePlot);
        Fixture::Settle();
        const QSize chart = f.window->Chart()->size();
        f.window->SetActivePage(PageRaw);
        Fixture::Settle();
        const QSize memo = f.window->Memo()->size();

        const QSize growth(700, 400);
        f.window->resize(start + growth);
        Fixture::Settle();
        QCOMPARE(f.window->size(), start + growth);
        QVERIFY(f.window->Memo()->width() >= memo.width() + growth.width() - 2);
        QVERIFY(f.window->Memo()->height() >= memo.height() + growth.height() - 2);
        f.window->SetActivePage(PagePlot);
        Fixture::Settle();
        QVERIFY(f.window->Chart()->width() >= chart.width() + growth.width() - 2);
        QVERIFY(f.window->Chart()->height() >= chart.height() + growth.height() - 2);
    }
};

QTEST_MAIN(LayoutTest)
#include "test_layout.moc"
