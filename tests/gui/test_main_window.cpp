#include <qcustomplot.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../core/Fifo.h"
#include "../core/MemorySerialPort.h"
#include "ScriptedPrompts.h"
#include "app/DialogPrompts.h"
#include "app/MainWindow.h"
#include "app/Panel.h"
#include "app/WindowPresenter.h"
#include "dialogs/MemoryFullWindow.h"
#include "dialogs/PortDialog.h"
#include "dialogs/PowerUserPasswordDialog.h"
#include "plot/ChartWidget.h"
#include "plot/ProfileWidget.h"
#include "viewer/RecordingViewer.h"

using namespace kivo;

// A clock that moves only when the test moves it.
class SteppedClock final : public Clock {
public:
    std::int64_t steadyMs = 1000000;
    LocalTime Now() override { return {}; }
    std::int64_t SteadyMilliseconds() override { return steadyMs; }
};

// A clock whose UTC time the test moves: the live profile times its samples by it.
class UtcSteppedClock final : public Clock {
public:
    std::int64_t utcMs = 1700000000000;
    LocalTime Now() override { return {}; }
    std::int64_t UtcMilliseconds() override { return utcMs; }
};

// Positions the test hands over, as gpsd would.
class ScriptedPositions final : public PositionSource {
public:
    void Open(const std::string& host, int port) override {
        opened.push_back(host + ":" + std::to_string(port));
    }
    void Close() override {}
    std::vector<PositionReport> Take() override { return std::exchange(reports, {}); }

    std::vector<std::string> opened;
    std::vector<PositionReport> reports;
};

class MainWindowTest : public QObject {
    Q_OBJECT

    struct Fixture {
        MemorySerialPort port;
        ScriptedPrompts prompts;
        std::vector<int> exits;
        std::unique_ptr<MainWindow> window;

        explicit Fixture(const std::function<void(MainWindowOptions&)>& adjust = {}) {
            MainWindowOptions options;
            options.port = &port;
            options.prompts = &prompts;
            options.exitProcess = [this](int status) { exits.push_back(status); };
            options.startTimers = false;
            options.ports.Map(1, "/dev/meter1");
            options.ports.Map(3, "/dev/absent");
            port.openable = {"/dev/meter1"};
            if (adjust) adjust(options);
            window = std::make_unique<MainWindow>(std::move(options));
        }
        template <class T>
        T* Find(const char* name) {
            return window->findChild<T*>(name);
        }
        void Tick() { window->Timer55msTimer(); }
    };

private slots:
    void everyControlExistsWithItsDesignText() {
        Fixture f;
        const std::vector<std::pair<const char*, const char*>> buttons = {
            {"BTStopData", "Stop Data"},          {"BTStartData", "Start Data"},
            {"BTRecordRaw", "Record  Raw"},       {"BTRecordEngr", "Record Engr"},
            {"BTStopRecord", "Stop Record"},      {"BTAverage", "Set Avg / Data Rate"},
            {"BTInterval", "Set Cycle Interval"}, {"BTGetDandT", "Get Date/Time/Setup"},
            {"BTOne", "Take One Measurment"},     {"BTflscale", "Set Engr Scale"},
            {"BTGetData", "Receive Data"},        {"BitBtnCancel", "Cancel"},
            {"BTErase2", "Erase Memory"},         {"Button22", "Reload Flash Setup"}};
        for (const auto& [name, caption] : buttons) {
            auto* button = f.Find<QPushButton>(name);
            QVERIFY2(button != nullptr, name);
            QCOMPARE(button->text(), QString(caption));
        }
        const std::vector<std::pair<const char*, const char*>> labels = {
            {"LBHostDandT", "Host:  MM/DD/YY HH:MM:SS"},
            {"LBRecordStatus", "Recording:  OFF"},
            {"PStore", "Setup Not Stored"},
            {"PCOMPort", "Select COM Port"},
            {"PMeterType", "Select Device File"},
            {"Label4", "    Host Port Selection    "},
            {"LBStorageUsed", "Used:  "},
            {"LBWideRange", "ASV4:  Wide Range:   0-120 Engr Units"},
            {"LBReceiveStatus", "Receive Status:"}};
        for (const auto& [name, text] : labels) {
            auto* label = f.Find<QLabel>(name);
            QVERIFY2(label != nullptr, name);
            QCOMPARE(label->text(), QString(text));
        }
        const std::vector<std::pair<const char*, const char*>> edits = {
            {"MEAverage", "30"},        {"MEPacket", "0"},       {"MESample", "1"},
            {"TimeInterval", "HHMMSS"}, {"MEflscale", "0.0001"}, {"MEHexDump", "1"}};
        for (const auto& [name, text] : edits) {
            auto* edit = f.Find<QLineEdit>(name);
            QVERIFY2(edit != nullptr, name);
            QCOMPARE(edit->text(), QString(text));
        }
        QVERIFY(f.Find<QLabel>("PStore")->isHidden());
        QVERIFY(f.Find<QPushButton>("BTSetTime")->isHidden());
        for (const char* name :
             {"PlotTypeCB", "BBPlotCB", "StdDevCB", "iTempCB", "xTempCB", "PresCB"})
            QVERIFY2(f.Find<QComboBox>(name)->isHidden(), name);

        QTabWidget* pages = f.window->Pages();
        const QStringList tabs = {"Meter Setup", "Advanced Setup", "FL-Setup",
                                  "Raw Data",    "Plot Data",      "Transfer Data"};
        QCOMPARE(pages->count(), 6);
        for (int i = 0; i < 6; ++i) QCOMPARE(pages->tabText(i), tabs[i]);

        const QStringList menu = {"Load Device File", "Real Time Data",     "Replay Raw File",
                                  "Advanced Setup",   "Alternate Commands", "E&xit"};
        const char* actions[] = {"LoadDeviceFile",    "RealTimeData",  "ReplayRawFile",
                                 "MenuAdvancedSetup", "EarlyCommands", "Exit1"};
        for (int i = 0; i < 6; ++i) QCOMPARE(f.Find<QAction>(actions[i])->text(), menu[i]);
        QVERIFY(f.Find<QAction>("RealTimeData")->isChecked());
        QCOMPARE(f.window->windowTitle(), QString("KIVO View  v1.16  11/20/03"));
    }

    void firstTickSetsCaptionAndHidesTheSetupTabs() {
        Fixture f;
        f.Tick();
        QCOMPARE(f.window->windowTitle(), QString("KIVO View:  v1.16 10/20/03      KIVO:  "));
        QVERIFY(!f.window->PageShown(PageAdvanced));
        QVERIFY(!f.window->PageShown(PageFLSetup));
        QCOMPARE(f.Find<QComboBox>("CBAnalogRange")->currentIndex(), 1);
    }

    // An accessibility client sees only the pages shown: pressing every tab it is offered
    // never brings a hidden setup page to the front, and the hidden page's buttons are out of
    // its reach; the menu's Advanced Setup shows the page again in its place.
    void hiddenPagesAreOutOfReachOfAccessibilityClients() {
        Fixture f;
        f.Tick();
        QTabBar* bar = f.window->Pages()->tabBar();
        const auto offeredTabs = [bar] {
            QStringList names;
            QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(bar);
            for (int i = 0; i < tabs->childCount(); ++i) {
                QAccessibleInterface* tab = tabs->child(i);
                if (tab->role() != QAccessible::PageTab) continue;
                names << tab->text(QAccessible::Name);
                tab->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            }
            return names;
        };
        QCOMPARE(offeredTabs(),
                 QStringList({"Meter Setup", "Raw Data", "Plot Data", "Transfer Data"}));
        QVERIFY(f.window->ActivePage() != PageAdvanced && f.window->ActivePage() != PageFLSetup);
        QVERIFY(!f.Find<QPushButton>("BTph1onTime")->isEnabled());
        QVERIFY(!f.Find<QPushButton>("BTflscale")->isEnabled());

        f.Find<QAction>("MenuAdvancedSetup")->trigger();
        QCOMPARE(f.window->ActivePage(), int(PageAdvanced));
        QCOMPARE(offeredTabs(), QStringList({"Meter Setup", "Advanced Setup", "Raw Data",
                                             "Plot Data", "Transfer Data"}));
        QVERIFY(f.Find<QPushButton>("BTph1onTime")->isEnabled());
        QVERIFY(!f.Find<QPushButton>("BTflscale")->isEnabled());
    }

    void portSelectorsStartWithoutASelection() {
        Fixture f;
        auto* port = f.Find<QComboBox>("CBHostPort");
        auto* baud = f.Find<QComboBox>("CBBaudRate");
        QCOMPARE(port->currentIndex(), -1);
        QCOMPARE(port->currentText(), QString("Select Host Port"));
        QCOMPARE(baud->currentIndex(), -1);
        QCOMPARE(baud->currentText(), QString("19200 Baud"));
        QCOMPARE(port->count(), 9);
        QCOMPARE(port->itemText(3), QString("Host Port - COM 3"));
    }

    void bothSpeedListsShowTheFourRatesInOrder() {
        Fixture f;
        const QStringList rates = {"4800 Baud", "9600 Baud", "19200 Baud", "38400 Baud"};
        auto* baud = f.Find<QComboBox>("CBBaudRate");
        QStringList combo;
        for (int i = 0; i < baud->count(); ++i) combo << baud->itemText(i);
        QCOMPARE(combo, rates);
        QStringList radio;
        for (const QRadioButton* button :
             f.window->HostPortDialog()->BRRG()->findChildren<QRadioButton*>())
            radio << button->text();
        QCOMPARE(radio, rates);
        QCOMPARE(f.window->HostPortDialog()->BRRG()->title(), QString("Baud Rate"));
    }

    void portItemsShowTheirDevicesAndEraseWarns() {
        Fixture f;
        auto* port = f.Find<QComboBox>("CBHostPort");
        QCOMPARE(port->itemData(1, Qt::ToolTipRole).toString(), QString("/dev/meter1"));
        QCOMPARE(port->itemData(2, Qt::ToolTipRole).toString(), QString("/dev/ttyS1"));
        for (const char* name : {"BTErase", "BTErase2"}) {
            const auto* erase = f.Find<QPushButton>(name);
            QVERIFY(erase->toolTip().contains("after asking"));
            QCOMPARE(erase->accessibleDescription(), erase->toolTip());
        }
    }

    void choosingAPortOpensItAtTheChosenSpeed() {
        Fixture f;
        auto* port = f.Find<QComboBox>("CBHostPort");
        auto* baud = f.Find<QComboBox>("CBBaudRate");
        // No speed chosen yet: 19200 is selected for the operator.
        port->setCurrentIndex(1);
        emit port->activated(1);
        QCOMPARE(baud->currentIndex(), 2);
        QCOMPARE(f.port.opens.back(), std::string("/dev/meter1@19200"));
        QCOMPARE(f.window->Core().State().PortNumber, 1);
        QVERIFY(f.Find<QLabel>("PCOMPort")->isHidden());

        baud->setCurrentIndex(3);
        emit baud->activated(3);
        QCOMPARE(f.port.opens.back(), std::string("/dev/meter1@38400"));

        port->setCurrentIndex(0);
        emit port->activated(0);
        QVERIFY(!f.port.open);
        QCOMPARE(f.window->Core().State().PortNumber, 0);
        QVERIFY(!f.Find<QLabel>("PCOMPort")->isHidden());
    }

    void typedTextThatSelectsNoItemLeavesThePortClosed() {
        Fixture f;
        auto* port = f.Find<QComboBox>("CBHostPort");
        auto* baud = f.Find<QComboBox>("CBBaudRate");
        QTest::keyClicks(port->lineEdit(), "x");
        QCOMPARE(port->currentIndex(), -1);
        QVERIFY(!f.port.open);
        QCOMPARE(baud->currentText(), QString("19200 Baud"));  // no speed: 19200 is chosen
        QCOMPARE(f.window->Core().State().autoMenuCountdown, 10u);

        baud->lineEdit()->clear();
        QTest::keyClicks(baud->lineEdit(), "123");
        QCOMPARE(baud->currentIndex(), 2);
        QCOMPARE(baud->currentText(), QString("19200 Baud"));
    }

    void aMissingPortIsReportedAndStaysChosen() {
        Fixture f;
        auto* port = f.Find<QComboBox>("CBHostPort");
        port->setCurrentIndex(3);
        emit port->activated(3);
        QCOMPARE(f.prompts.messages.size(), std::size_t(1));
        QCOMPARE(f.prompts.messages[0].first, std::string("Comm Error"));
        QCOMPARE(f.prompts.messages[0].second, std::string("Could Not Open Comm Port 3"));
        QCOMPARE(port->currentText(), QString("Host Port - COM 3"));
        QVERIFY(f.Find<QLabel>("PCOMPort")->isHidden());
        QCOMPARE(f.window->Core().State().PortNumber, 0);
        QVERIFY(f.prompts.warnings.empty());  // a plain box, not the beeping warning
    }

    void portDialogCopiesItsChoicesAndKeepsThem() {
        Fixture f;
        PortDialog* dialog = f.window->HostPortDialog();
        QVERIFY(dialog->isHidden());
        QCOMPARE(dialog->HPRG()->ItemIndex(), 0);
        QCOMPARE(dialog->BRRG()->ItemIndex(), 2);
        emit qobject_cast<Panel*>(f.window->ControlObject(Control::PCOMPort))->clicked();
        QVERIFY(dialog->isVisible());

        dialog->HPRG()->SetItemIndex(1);
        dialog->BRRG()->SetItemIndex(1);
        QTest::mouseClick(dialog->findChild<QPushButton*>("BTOK"), Qt::LeftButton);
        QVERIFY(dialog->isHidden());
        QCOMPARE(f.Find<QComboBox>("CBHostPort")->currentIndex(), 1);
        QCOMPARE(f.Find<QComboBox>("CBBaudRate")->currentIndex(), 1);
        QCOMPARE(f.port.opens.back(), std::string("/dev/meter1@9600"));

        // The main window changes; the dialog shows its own last choice again.
        auto* port = f.Find<QComboBox>("CBHostPort");
        port->setCurrentIndex(0);
        emit port->activated(0);
        f.window->PCOMPortClick();
        QCOMPARE(dialog->HPRG()->ItemIndex(), 1);
        QCOMPARE(dialog->BRRG()->ItemIndex(), 1);
        QCOMPARE(dialog->HPRG()->Count(), 9);
    }

    void warningsStopAtTenOpenBoxes() {
        QWidget owner;
        DialogPrompts prompts(&owner);
        for (int i = 0; i < 12; ++i)
            prompts.ShowWarning("Input Buffer Overflow", "Check Baud Rate");
        QCOMPARE(prompts.OpenBoxCount(), 10);
        auto boxes = owner.findChildren<QMessageBox*>("WarningBox");
        QCOMPARE(boxes.size(), qsizetype(10));
        QCOMPARE(boxes.front()->text(), QString("Check Baud Rate"));
        QCOMPARE(boxes.front()->windowTitle(), QString("Input Buffer Overflow"));
        QVERIFY(!boxes.front()->isModal());
        boxes.front()->button(QMessageBox::Ok)->click();
        QTRY_COMPARE(prompts.OpenBoxCount(), 9);
        prompts.ShowWarning("again", "again");
        QCOMPARE(prompts.OpenBoxCount(), 10);
    }

    void aBoxWhoseNewsIsOverIsClosed() {
        QWidget owner;
        DialogPrompts prompts(&owner);
        prompts.ShowMessage("Comm Error", "Lost Comm Port 1");
        prompts.ShowMessage("Comm Error", "Another port error");
        prompts.CloseMessage("Comm Error", "Lost Comm Port 1");
        QTRY_COMPARE(prompts.OpenBoxCount(), 1);
        QCOMPARE(owner.findChild<QMessageBox*>("MessageBox")->text(),
                 QString("Another port error"));
    }

    // The meter is set from the computer's UTC clock wherever the computer is, or from its
    // local clock when the operator ticks the choice; the host label names the zone.
    void setDateAndTimeSendsUtcUnderAnyZone() {
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "America/Halifax");
        tzset();
        {
            const QTemporaryDir settings;
            Fixture f([&settings](MainWindowOptions& o) {
                o.settingsDirectory = settings.path().toStdString();
            });
            f.Tick();
            f.window->Core().Port().SelectHostPort(1, 2);
            const auto hoursSent = [&f] {
                f.port.written.clear();
                const std::time_t before = std::time(nullptr);
                f.Find<QPushButton>("BTSetDandTPC")->click();
                const std::time_t after = std::time(nullptr);
                const std::string sent = f.port.written;
                const int hour = std::stoi(sent.substr(sent.find("$CLK ") + 5, 2));
                return std::tuple{hour, before, after};
            };
            const auto hourOf = [](std::time_t t, bool local) {
                std::tm parts{};
                if (local)
                    localtime_r(&t, &parts);
                else
                    gmtime_r(&t, &parts);
                return parts.tm_hour;
            };
            const auto [utcHour, before, after] = hoursSent();
            QVERIFY(utcHour == hourOf(before, false) || utcHour == hourOf(after, false));
            QVERIFY(utcHour != hourOf(before, true));  // Halifax is 3 or 4 hours behind

            f.port.incoming = "VER KIVO\r\nCLK 01:02:03\r\nDAT 12/09/26\r\n";
            f.Tick();
            f.window->Timer500msTimer();
            QVERIFY(f.Find<QLabel>("LBHostDandT")->text().endsWith(" UTC"));

            f.Find<QCheckBox>("CBClockLocalTime")->click();
            const auto [localHour, localBefore, localAfter] = hoursSent();
            QVERIFY(localHour == hourOf(localBefore, true) ||
                    localHour == hourOf(localAfter, true));
            f.port.incoming = "CLK 01:02:04\r\n";
            f.Tick();
            f.window->Timer500msTimer();
            const QString host = f.Find<QLabel>("LBHostDandT")->text();
            QVERIFY2(host.endsWith(" AST") || host.endsWith(" ADT"), qPrintable(host));
        }
        if (zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
    }

    void fileFiltersBecomeQtFilters() {
        QCOMPARE(DialogPrompts::NameFilters("Raw Files (*.raw)|*.raw|All Files (*.*)|*.*"),
                 QStringList({"Raw Files (*.raw)", "All Files (*.*)"}));
        QCOMPARE(DialogPrompts::NameFilters("Engineering Units|*.eng|All Files|*.*"),
                 QStringList({"Engineering Units (*.eng)", "All Files (*.*)"}));
    }

    void eraseMemoryAsksFirstAndSendsOnlyOnYes() {
        Fixture f;
        auto* port = f.Find<QComboBox>("CBHostPort");
        port->setCurrentIndex(1);
        emit port->activated(1);
        for (const char* name : {"BTErase", "BTErase2"}) {
            f.port.written.clear();
            f.prompts.questions.clear();
            f.Find<QPushButton>(name)->click();  // no scripted answer: No
            QCOMPARE(f.prompts.questions.size(), std::size_t(1));
            QCOMPARE(f.prompts.questions[0].first, std::string("Erase Memory"));
            QVERIFY(f.port.written.find("$emc") == std::string::npos);
            f.prompts.yesNo = {true};
            f.Find<QPushButton>(name)->click();
            QVERIFY2(f.port.written.find("$emc") != std::string::npos, name);
        }
    }

    void lastLineTurnsRedAndBeepsOncePerStall() {
        SteppedClock clock;
        Fixture f([&clock](MainWindowOptions& options) { options.clock = &clock; });
        auto* port = f.Find<QComboBox>("CBHostPort");
        port->setCurrentIndex(1);
        emit port->activated(1);
        QVERIFY(f.window->Core().LoadDeviceFile(KIVO_TEST_DATA "/fluoro.dev"));
        for (int i = 0; i < 10; ++i) f.Tick();
        f.Find<QPushButton>("BTStartData")->click();
        auto* lastLine = f.Find<QLabel>("LBLastLine");
        const auto second = [&] {
            clock.steadyMs += 1000;
            f.Tick();
            f.window->PresentHostStatus();
        };
        const auto dataLine = [&] {
            f.port.incoming += "11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n";
            f.Tick();
            f.window->PresentHostStatus();
        };
        for (int stall = 1; stall <= 2; ++stall) {
            dataLine();
            QCOMPARE(lastLine->text(), QString("Last line: 0 s ago"));
            second();
            second();
            QCOMPARE(lastLine->text(), QString("Last line: 2 s ago"));
            QVERIFY(!lastLine->autoFillBackground());
            second();
            QCOMPARE(lastLine->text(), QString("No data for 3 s"));
            QVERIFY(lastLine->autoFillBackground());
            QCOMPARE(lastLine->palette().color(QPalette::Window), QColor(255, 0, 0));
            second();
            QCOMPARE(f.window->StallBeeps(), stall);  // once per stall, not once a second
        }
        dataLine();
        QCOMPARE(lastLine->text(), QString("Last line: 0 s ago"));
        QVERIFY(!lastLine->autoFillBackground());
    }

    // File > GPS... turns the GPS on through the prompts; the label shows the fix and turns
    // red when it is older than 10 s; the choice is kept for the next start.
    void theGpsLabelShowsTheFixAndTurnsRedWhenItIsOld() {
        QTemporaryDir settings;
        UtcSteppedClock clock;
        ScriptedPositions positions;
        Fixture f([&](MainWindowOptions& options) {
            options.clock = &clock;
            options.positions = &positions;
            options.settingsDirectory = settings.path().toStdString();
        });
        auto* label = f.Find<QLabel>("LBGps");
        f.window->PresentHostStatus();
        QVERIFY(label->isHidden());
        GpsSettings chosen;
        chosen.enabled = true;
        chosen.host = "ship-gps";
        chosen.port = 4000;
        f.prompts.gpsAnswers.push_back(chosen);
        f.Find<QAction>("GpsSetup")->trigger();
        QCOMPARE(positions.opened, std::vector<std::string>{"ship-gps:4000"});
        QVERIFY(!label->isHidden());
        QCOMPARE(label->text(), QString("GPS: no fix"));
        QVERIFY(label->autoFillBackground());

        PositionFix fix;
        fix.time = 1700000000;
        fix.lat = 44.6369;
        fix.lon = -63.56835;
        fix.mode = FixMode::ThreeD;
        positions.reports.push_back({PositionReport::Kind::Fix, fix, {}});
        f.Tick();
        clock.utcMs += 2000;
        f.window->PresentHostStatus();
        QCOMPARE(label->text(),
                 QString::fromUtf8("GPS 44\u00b038.214\u2032N 063\u00b034.101\u2032W \u00b7 3D "
                                   "\u00b7 2 s"));
        QVERIFY(!label->autoFillBackground());
        clock.utcMs += 9000;
        f.Tick();
        f.window->PresentHostStatus();
        QVERIFY(label->autoFillBackground());
        QCOMPARE(label->palette().color(QPalette::Window), QColor(255, 0, 0));

        QFile kept(settings.filePath("kivoview-ports.ini"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll().contains("[gps]\nenabled=on\nhost=ship-gps\nport=4000\n"));
    }

    // A QC file chosen in the File menu: the live tests mark the channel that fails in the
    // legend, name a saturated one in the status area, and the choice is kept; a bad file is
    // told with its line and changes nothing.
    void aQualityFileMarksTheFailedChannelAndIsKept() {
        QTemporaryDir settings;
        const QString device = settings.filePath("chl.dev");
        const QString thresholds = settings.filePath("low.qc");
        const QString broken = settings.filePath("broken.qc");
        for (const auto& [path, text] : std::vector<std::pair<QString, QByteArray>>{
                 {device, "Test CHL\nColumns=3\nDate=1\nTime=2\nCHL=3 0.0121 50\n"},
                 {thresholds, "[CHL]\nceiling = 2000\n"},
                 {broken, "[CHL]\nceiling = 2000\nspike = 5\n"}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        Fixture f([&](MainWindowOptions& options) {
            options.settingsDirectory = settings.path().toStdString();
        });
        f.prompts.answers.push_back(thresholds.toStdString());
        f.Find<QAction>("QualityFile")->trigger();
        QCOMPARE(f.prompts.dialogs.back().title, std::string("Quality Control File"));
        QVERIFY(f.window->Core().LoadDeviceFile(device.toStdString()));
        f.window->Present();
        f.Tick();
        auto* plotType = f.Find<QComboBox>("PlotTypeCB");  // counts: the CHL channel plots
        plotType->setCurrentIndex(0);
        emit plotType->activated(0);
        auto* status = f.Find<QLabel>("LBQuality");
        const auto feed = [&](int counts) {
            const std::string line = "11/20/03\t12:30:45\t" + std::to_string(counts) + "\r\n";
            f.window->Core().FeedBytes(line.data(), line.size());
            f.Tick();
            f.window->PresentHostStatus();
        };
        const auto legendColour = [&] {
            QCustomPlot* plot = f.window->Chart()->Plot();
            return plot->legend->itemWithPlottable(plot->graph(0))->textColor();
        };
        feed(1000);
        QVERIFY(status->isHidden());
        const QColor usual = legendColour();
        feed(2500);  // above the file's ceiling
        QVERIFY(!status->isHidden());
        QCOMPARE(status->text(), QString("QC: CHL saturated"));
        QCOMPARE(legendColour(), QColor(220, 30, 30));
        feed(1010);
        feed(1020);  // the spike the saturated value made is decided: the channel passes again
        QVERIFY(status->isHidden());
        QCOMPARE(legendColour(), usual);

        f.prompts.answers.push_back(broken.toStdString());
        f.Find<QAction>("QualityFile")->trigger();
        QCOMPARE(f.prompts.warnings.back().second,
                 broken.toStdString() +
                     " line 3: spike takes two numbers\nThe thresholds stay "
                     "as they were.");
        feed(2500);
        QVERIFY(!status->isHidden());  // the first file's ceiling still holds
        QFile kept(settings.filePath("kivoview-ports.ini"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll().contains("[quality]\nfile=" + thresholds.toUtf8() + "\n"));
        QFile log(settings.filePath("kivoview-events.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("quality: CHL (column 3) saturated: 2500 counts"));
    }

    void aDeviceChosenInThePortDialogIsMappedAndKept() {
        QTemporaryDir settings;
        const QString adapter = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
        const auto options = [&](MainWindowOptions& o) {
            o.settingsDirectory = settings.path().toStdString();
            o.serialDevices = [adapter] {
                return std::vector<SerialDevice>{
                    {"/dev/ttyS0", "/dev/ttyS0", "", ""},
                    {adapter, "/dev/ttyUSB0", "FT232R USB UART", "A1B2C3"}};
            };
        };
        {
            Fixture f(options);
            f.port.openable.insert(adapter.toStdString());
            f.window->PCOMPortClick();
            PortDialog* dialog = f.window->HostPortDialog();
            dialog->HPRG()->SetItemIndex(2);
            QComboBox* devices = dialog->DeviceCombo();
            QCOMPARE(devices->currentData().toString(), QString("/dev/ttyS1"));  // COM2's own
            const int item = devices->findData(adapter);
            QVERIFY(item >= 0);
            QVERIFY(devices->itemText(item).contains("A1B2C3"));
            devices->setCurrentIndex(item);
            QTest::mouseClick(dialog->findChild<QPushButton*>("BTOK"), Qt::LeftButton);
            QCOMPARE(f.port.opens.back(), adapter.toStdString() + "@19200");
            QCOMPARE(f.Find<QComboBox>("CBHostPort")->itemData(2, Qt::ToolTipRole).toString(),
                     adapter);
        }
        Fixture again(options);  // the next start, without --com
        QCOMPARE(again.Find<QComboBox>("CBHostPort")->itemData(2, Qt::ToolTipRole).toString(),
                 adapter);
        again.window->PCOMPortClick();
        again.window->HostPortDialog()->HPRG()->SetItemIndex(2);
        QCOMPARE(again.window->HostPortDialog()->DeviceCombo()->currentData().toString(), adapter);
    }

    void devicesAreNamedByTheirByIdLinks() {
        QTemporaryDir dev;
        QVERIFY(QDir(dev.path()).mkpath("serial/by-id"));
        for (const char* node : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) {
            QFile file(dev.path() + "/" + node);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString byId = dev.path() + "/serial/by-id";
        QVERIFY(QFile::link("../../ttyUSB1", byId + "/usb-FTDI_B-if00-port0"));
        QVERIFY(QFile::link("../../ttyUSB0", byId + "/usb-FTDI_A-if00-port0"));
        std::vector<SerialDevice> devices;
        for (const char* node : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) {
            const QString path = dev.path() + "/" + node;
            devices.push_back({path, path, "", ""});
        }
        NameByIds(devices, byId);
        QCOMPARE(devices[0].path, byId + "/usb-FTDI_A-if00-port0");
        QCOMPARE(devices[1].path, byId + "/usb-FTDI_B-if00-port0");
        QCOMPARE(devices[2].path, dev.path() + "/ttyACM0");  // no link: its own name
        NameByIds(devices, dev.path() + "/no-such-folder");  // none at all: names stay
        QCOMPARE(devices[0].path, byId + "/usb-FTDI_A-if00-port0");
    }

    void questionsDefaultToNoAndSaveDialogsStartAtTheProposedName() {
        QWidget owner;
        const auto box = DialogPrompts::QuestionBox(&owner, "Erase Memory", "Erase?");
        QCOMPARE(box->windowTitle(), QString("Erase Memory"));
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        QCOMPARE(box->escapeButton(), static_cast<QAbstractButton*>(box->button(QMessageBox::No)));
        QVERIFY(box->button(QMessageBox::Yes) != nullptr);

        QTemporaryDir folder;
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        const QString proposed = folder.path() + "/BB9-123_20261208T120000Z.raw";
        DialogPrompts::Configure(
            dialog, {"Record Raw Data", "Raw Files (*.raw)|*.raw", "raw", proposed.toStdString()},
            true);
        QCOMPARE(QFileInfo(dialog.directory().absolutePath()).canonicalFilePath(),
                 QFileInfo(folder.path()).canonicalFilePath());
        QCOMPARE(QFileInfo(dialog.selectedFiles().value(0)).fileName(),
                 QString("BB9-123_20261208T120000Z.raw"));
    }

    void overflowWarningReachesThePromptsWithoutStoppingThePump() {
        Fixture f;
        auto* port = f.Find<QComboBox>("CBHostPort");
        port->setCurrentIndex(1);
        emit port->activated(1);
        f.port.incoming = std::string(300, 'x') + "\nVER 1\r\n";
        f.Tick();
        QCOMPARE(f.prompts.warnings.size(), std::size_t(1));
        QCOMPARE(f.prompts.warnings[0].first, std::string("Input Buffer Overflow"));
        QCOMPARE(f.prompts.warnings[0].second, std::string("Check Baud Rate"));
        const QStringList memo = f.window->Memo()->toPlainText().split('\n');
        // The overlong line is dropped up to its line end, which ends an empty line.
        QCOMPARE(memo, QStringList({"", "VER 1"}));
    }

    void memoKeepsTheNewest501Lines() {
        Fixture f;
        auto* port = f.Find<QComboBox>("CBHostPort");
        port->setCurrentIndex(1);
        emit port->activated(1);
        for (int i = 0; i < 600; ++i) f.port.incoming += "line " + std::to_string(i) + "\n";
        for (int i = 0; i < 20 && !f.port.incoming.empty(); ++i) f.Tick();
        QVERIFY(f.port.incoming.empty());
        QPlainTextEdit* memo = f.window->Memo();
        QCOMPARE(memo->document()->blockCount(), 501);
        QCOMPARE(memo->document()->firstBlock().text(), QString("line 99"));
        QCOMPARE(memo->document()->lastBlock().text(), QString("line 599"));
    }

    void exitEndsThroughTheExitSeam() {
        Fixture f;
        f.Find<QAction>("Exit1")->trigger();
        QCOMPARE(f.exits, std::vector<int>({0}));
    }

    // An Exit that could not save the settings says why, and the window stays until that
    // box is read; a box left open from before does not hold an Exit back.
    void anExitThatLeftTheSettingsUnsavedWaitsForItsWarning() {
        QTemporaryDir folder;
        MemorySerialPort port;
        port.openable = {"/dev/meter1"};
        std::vector<int> exits;
        MainWindowOptions options;
        options.port = &port;
        options.exitProcess = [&exits](int status) { exits.push_back(status); };
        options.startTimers = false;
        options.ports.Map(1, "/dev/meter1");
        options.settingsDirectory = folder.path().toStdString();
        MainWindow window(std::move(options));
        QVERIFY(window.Core().LoadDeviceFile(KIVO_TEST_DATA "/fluoro.dev"));
        window.Present();
        window.Core().Port().SelectHostPort(1, 2);
        window.Present();
        auto* exit = window.findChild<QAction*>("Exit1");

        window.OwnPrompts()->ShowWarning("Input Buffer Overflow", "Check Baud Rate");
        exit->trigger();
        QCOMPARE(exits, std::vector<int>({0}));
        window.findChild<QMessageBox*>("WarningBox")->button(QMessageBox::Ok)->click();
        QTRY_COMPARE(window.OwnPrompts()->OpenBoxCount(), 0);

        QVERIFY(QFile::remove(folder.filePath("last.rbs")));
        const test::FifoGuard pipe(folder.filePath("last.rbs").toStdString());
        QVERIFY(pipe.Made());
        exit->trigger();
        QVERIFY(!pipe.Released());
        QCOMPARE(exits.size(), std::size_t(1));
        const auto boxes = window.findChildren<QMessageBox*>("WarningBox");
        QCOMPARE(boxes.size(), qsizetype(1));
        QCOMPARE(boxes.front()->windowTitle(), QString("Settings Not Saved"));
        boxes.front()->button(QMessageBox::Ok)->click();
        QTRY_COMPARE(exits.size(), std::size_t(2));
        QCOMPARE(exits.back(), 0);
        QVERIFY(pipe.StillAFifo());
    }

    // A keyboard alone reaches every control in reading order, presses the yellow panels
    // and so enters power-user mode; a screen reader can press them too.
    void theWindowWorksFromTheKeyboard() {
        Fixture f;
        const QStringList readingOrder = {
            "PCOMPort",     "PMeterType",     "BTStopData", "BTStartData",   "BTRecordRaw",
            "BTStopRecord", "CBHostPort",     "CBBaudRate", "PageControl1",  "MEAverage",
            "BTAverage",    "MEPacket",       "BTPacket",   "BTErase",       "MEph1onTime",
            "BTGetTiming",  "PowerUserPanel", "BTReload",   "CBAnalogRange", "Button22",
            "Memo1",        "ChartEdit",      "PlotTypeCB", "PresCB",        "BTGetData",
            "BTErase2"};
        QStringList tabbed;
        QWidget* widget = f.window.get();
        while ((widget = widget->nextInFocusChain()) != f.window.get())
            if ((widget->focusPolicy() & Qt::TabFocus) &&
                readingOrder.contains(widget->objectName()))
                tabbed << widget->objectName();
        QCOMPARE(tabbed, readingOrder);

        auto* device = f.Find<Panel>("PMeterType");
        QTest::keyClick(device, Qt::Key_Space);
        QTest::keyClick(device, Qt::Key_Return);
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(device);
        QCOMPARE(spoken->role(), QAccessible::Button);
        QCOMPARE(spoken->text(QAccessible::Name), QString("Select Device File"));
        spoken->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(f.prompts.dialogs.size(), std::size_t(3));
        QCOMPARE(f.prompts.dialogs.back().title, std::string("Open Device File"));

        auto* user = f.Find<Panel>("PowerUserPanel");
        QTest::keyClick(user, Qt::Key_Enter);
        QVERIFY(f.window->PasswordDialog()->isVisible());
        QTest::keyClicks(f.window->PasswordDialog()->MEPassword(), "MarbleOwl");
        QTest::keyClick(f.window->PasswordDialog()->MEPassword(), Qt::Key_Return);
        QCOMPARE(f.window->Core().State().powerUser, 1);
        QAccessible::queryAccessibleInterface(user)->actionInterface()->doAction(
            QAccessibleActionInterface::pressAction());
        QCOMPARE(f.window->Core().State().powerUser, 0);
    }

    // A screen reader says what each box sets: the caption of the button that sends it.
    void editBoxesAndSelectorsHaveSpokenNames() {
        Fixture f;
        int named = 0;
        for (QLineEdit* edit : f.window->centralWidget()->findChildren<QLineEdit*>()) {
            if (qobject_cast<QComboBox*>(edit->parentWidget()) != nullptr) continue;
            const auto buttons = edit->parentWidget()->findChildren<QPushButton*>();
            const bool sentByNamesake =
                std::any_of(buttons.begin(), buttons.end(), [edit](const QPushButton* button) {
                    return button->text() == edit->accessibleName() &&
                           button->geometry().center().y() == edit->geometry().center().y();
                });
            QVERIFY2(sentByNamesake, qPrintable(edit->objectName()));
            ++named;
        }
        QCOMPARE(named, 11);
        QCOMPARE(f.Find<QLineEdit>("MEAverage")->accessibleName(), QString("Set Avg / Data Rate"));
        for (QComboBox* combo : f.window->findChildren<QComboBox*>()) {
            QVERIFY2(!combo->accessibleName().isEmpty(), qPrintable(combo->objectName()));
            // The text field inside an editable one is what a screen reader reaches.
            if (combo->isEditable())
                QCOMPARE(combo->lineEdit()->accessibleName(), combo->accessibleName());
        }
        QVERIFY(!f.window->Chart()->accessibleName().isEmpty());
    }

    void openRecordingShowsTheFileInAWindowOfItsOwn() {
        Fixture f;
        QVERIFY(f.window->Core().LoadDeviceFile(KIVO_SOURCE_DIR "/tests/replay/bb9_sea.dev"));
        f.prompts.answers = {KIVO_SOURCE_DIR "/tests/replay/bb9_sea.raw"};
        f.Find<QAction>("OpenRecording")->trigger();
        auto* viewer = f.window->findChild<RecordingViewer*>();
        QVERIFY(viewer != nullptr && viewer->isWindow());
        QTRY_VERIFY_WITH_TIMEOUT(viewer->Data() != nullptr, 60000);
        QCOMPARE(viewer->Data()->Lines(), std::size_t{8});  // read with the loaded device file
        QVERIFY(f.prompts.warnings.empty());
    }

    void smallWindowsHaveTheirCaptions() {
        Fixture f;
        QCOMPARE(f.window->MemoryFull()->windowTitle(), QString("WARNING!!!"));
        QCOMPARE(f.window->HostPortDialog()->windowTitle(), QString("Select Host Port"));
        QCOMPARE(f.window->PasswordDialog()->windowTitle(), QString("PasswordForm"));
        QCOMPARE(f.window->PasswordDialog()->MEPassword()->echoMode(), QLineEdit::Password);
        f.window->ShowMemoryFullWindow();
        QVERIFY(f.window->MemoryFull()->isVisible());
        QTest::mouseClick(f.window->MemoryFull()->findChild<QPushButton*>("Button1"),
                          Qt::LeftButton);
        QVERIFY(f.window->MemoryFull()->isHidden());
    }

    // The texts the window makes of the session's typed state, both ways round; a value
    // the session did not change again is not written again over the control.
    void thePresenterShowsTheSessionsStateInTheWindowsWords() {
        Fixture f;
        WindowPresenter presenter(*f.window);
        const auto text = [&f](const char* name) {
            QObject* found = f.window->findChild<QObject*>(name);
            if (auto* label = qobject_cast<QLabel*>(found)) return label->text();
            return qobject_cast<QAbstractButton*>(found)->text();
        };
        const auto hidden = [&f](const char* name) { return f.Find<QWidget>(name)->isHidden(); };
        const auto checked = [&f](const char* name) { return f.Find<QAction>(name)->isChecked(); };
        for (const bool on : {true, false}) {
            ShownState shown;
            shown.revision = on ? 1 : 2;
            shown.setup.loggingOn = on;
            shown.setup.engrOutputOn = on;
            shown.setup.setupStored = !on;
            shown.setup.analogRange = on ? 2 : 4;
            shown.powerUser = on;
            shown.alternateCommands = on;
            shown.replayMode = on;
            presenter.Present(shown);
            QCOMPARE(text("LBLog"), on ? "Logging: ON" : "Logging: OFF");
            QCOMPARE(text("BTLogging"), on ? "Turn Logging OFF" : "Turn Logging ON");
            QCOMPARE(text("LBCal"), on ? "Engr Output: ON" : "Engr Output: OFF");
            QCOMPARE(text("BTCal"), on ? "Turn Engr Output OFF" : "Turn Engr Output ON");
            QCOMPARE(text("PStore"), on ? "Setup Not Stored" : "Setup is Current");
            QCOMPARE(hidden("PStore"), !on);
            QCOMPARE(text("PowerUserPanel"), on ? "Power User" : "Normal User");
            QCOMPARE(text("BTSetDandTPC"), on ? "Set Date" : "Set Date and Time");
            QCOMPARE(hidden("BTSetTime"), !on);
            QCOMPARE(hidden("BTReloadSetup1"), on);
            QCOMPARE(hidden("SRArrow"), !on);
            QCOMPARE(hidden("WRArrow"), on);
            QVERIFY(hidden("HRArrow"));
            QCOMPARE(checked("ReplayRawFile"), on);
            QCOMPARE(checked("RealTimeData"), !on);
        }
        ShownState same;
        same.revision = 3;
        same.setup.average = "Average: 30";
        presenter.Present(same);
        f.Find<QLabel>("LBAVE")->setText("typed over");
        same.revision = 4;
        presenter.Present(same);
        QCOMPARE(text("LBAVE"), QString("typed over"));
    }
    // The Profile check, as a click runs it: the profile instead of the strip chart, the cast
    // in the status area and the event log, the choice kept for the next start.
    void theProfileCheckShowsTheChannelsAgainstPressure() {
        QTemporaryDir settings;
        UtcSteppedClock clock;
        const auto adjust = [&](MainWindowOptions& options) {
            options.clock = &clock;
            options.settingsDirectory = settings.path().toStdString();
        };
        const QString device = settings.filePath("ctd.dev");
        {
            QFile file(device);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                "CTD fluorometer\nColumns=4\nDate=1\nTime=2\nCHL=3 0.01 50\n"
                "PRES=4 0.1 0\n");
        }
        {
            Fixture f(adjust);
            f.window->show();
            auto* check = f.Find<QCheckBox>("ProfileViewCheck");
            QVERIFY(check != nullptr);
            QCOMPARE(check->text(), QString("Profile"));
            QVERIFY(f.Find<QLabel>("LBCast")->isHidden());
            check->click();
            QVERIFY(check->isChecked());
            QVERIFY(f.window->Chart()->isHidden());
            QVERIFY(!f.window->Profile()->isHidden());
            // No device file, no pressure column: nothing is guessed.
            QVERIFY(!f.Find<QLabel>("ProfileNoPressure")->isHidden());
            QCOMPARE(f.Find<QLabel>("LBCast")->text(), QString());

            QVERIFY(f.window->Core().LoadDeviceFile(device.toStdString()));
            // On deck, then lowered at 1 dbar/s.
            for (int second = 0; second < 60; ++second) {
                const int pressure = second < 20 ? 0 : (second - 20) * 10;  // counts: 0.1 dbar
                const std::string line = "11/20/03\t12:30:45\t" +
                                         std::to_string(1000 + 2 * pressure) + "\t" +
                                         std::to_string(pressure) + "\r\n";
                f.window->Core().FeedBytes(line.data(), line.size());
                clock.utcMs += 1000;
            }
            f.window->Timer500msTimer();
            QVERIFY(f.Find<QLabel>("ProfileNoPressure")->isHidden());
            QVERIFY(f.window->Profile()->PointCount() > 20);
            QVERIFY2(f.Find<QLabel>("LBCast")->text().startsWith("Cast 1 \u00b7 down \u00b7 "),
                     qPrintable(f.Find<QLabel>("LBCast")->text()));
            QVERIFY(f.Find<QLabel>("LBCast")->isVisible());
            QFile log(settings.filePath("kivoview-events.log"));
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY(log.readAll().contains(" cast 1 down at 22:13:"));
        }
        QFile kept(settings.filePath("kivoview-ports.ini"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll().endsWith("[view]\nprofile=on\n"));
        kept.close();

        Fixture again(adjust);
        again.window->show();
        again.Tick();
        auto* check = again.Find<QCheckBox>("ProfileViewCheck");
        QVERIFY(check->isChecked());
        QVERIFY(!again.window->Profile()->isHidden());
        check->click();
        QVERIFY(!check->isChecked());
        QVERIFY(!again.window->Chart()->isHidden());
        QVERIFY(again.window->Profile()->isHidden());
        QVERIFY(again.Find<QLabel>("LBCast")->isHidden());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(!kept.readAll().contains("[view]"));
    }

    // File > Ship Feed... starts the feed through the prompts; the choice is kept, and the
    // next start sends again and proposes it.
    void theShipFeedChoiceIsKeptForTheNextStart() {
        struct Sender final : DatagramSender {
            std::vector<std::string> opened;
            bool Open(const std::string& host, int port, std::string&) override {
                opened.push_back(host + ":" + std::to_string(port));
                return true;
            }
            bool Send(std::string_view, std::string&) override { return true; }
            void Close() override {}
            std::string Description() const override { return opened.back(); }
        } sender;
        QTemporaryDir settings;
        const auto adjust = [&](MainWindowOptions& options) {
            options.datagrams = &sender;
            options.settingsDirectory = settings.path().toStdString();
        };
        const ShipFeedSettings chosen{true, "ship-das", 5001, "bb9-fwd"};
        {
            Fixture f(adjust);
            f.prompts.feedAnswers.push_back(chosen);
            f.Find<QAction>("ShipFeed")->trigger();
            QCOMPARE(sender.opened, std::vector<std::string>{"ship-das:5001"});
            QFile kept(settings.filePath("kivoview-ports.ini"));
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QVERIFY(kept.readAll().contains(
                "[feed]\nenabled=on\nhost=ship-das\nport=5001\ntag=bb9-fwd\n"));
        }
        Fixture again(adjust);
        QCOMPARE(sender.opened.size(), std::size_t{2});
        again.Find<QAction>("ShipFeed")->trigger();  // cancelled: nothing changes
        QCOMPARE(again.prompts.feedAsked, std::vector<ShipFeedSettings>{chosen});
        QVERIFY(again.window->Core().Status().feed.has_value());
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
