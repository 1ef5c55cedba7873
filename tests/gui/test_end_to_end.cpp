// The first end-to-end run: the simulated meter on its pseudo-terminal, the window offscreen
// with COM1 mapped to it, and the operator's clicks going through the same handlers.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <cstddef>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../system/SimProcess.h"
#include "ScriptedPrompts.h"
#include "app/MainWindow.h"

using namespace kivo;
using namespace std::chrono_literals;

namespace {

std::string ReadAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the window's event loop until `done` holds; false after the bounded wait.
template <class Done>
bool WaitFor(Done done, int timeoutMs = 10000) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The window with COM1 mapped to `port` and the fluorometer's device file loaded from the
// menu, as an operator would start.
std::unique_ptr<MainWindow> WindowWithDeviceFile(const std::string& port,
                                                 ScriptedPrompts& prompts) {
    prompts.answers.push_back(std::string(KIVO_TEST_DATA "/fluoro.dev"));
    MainWindowOptions options;
    options.prompts = &prompts;
    options.ports.Map(1, port);
    auto window = std::make_unique<MainWindow>(std::move(options));
    window->Core().LoadDeviceFileClick();
    window->Present();
    return window;
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void windowTalksToTheSimulatedMeter() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString log = folder.filePath("commands.log");
        test::SimProcess sim({"--log", log.toStdString(), "--date", "--time", "--counts", "3",
                              "--rate", "20", "--id", "VER KIVO-SIM E2E"});

        ScriptedPrompts prompts;
        MainWindowOptions options;
        options.prompts = &prompts;
        options.ports.Map(1, sim.PortPath());
        MainWindow window(std::move(options));  // timers run as in the program
        window.show();

        auto* port = window.findChild<QComboBox*>("CBHostPort");
        port->setCurrentIndex(1);
        emit port->activated(1);
        QVERIFY2(prompts.messages.empty(), "COM1 should open on the simulator");

        QPlainTextEdit* memo = window.Memo();
        // The identification line the meter sends at start, then the answer to the
        // automatic "$mnu" about half a second after the port opened.
        QVERIFY2(WaitFor([&] { return memo->toPlainText().contains("VER KIVO-SIM E2E"); }),
                 qPrintable(memo->toPlainText()));
        QVERIFY(WaitFor([&] { return ReadAll(log).find("$mnu") != std::string::npos; }));
        QVERIFY(WaitFor([&] { return memo->toPlainText().contains("AVE "); }));

        const int before = memo->document()->blockCount();
        QTest::mouseClick(window.findChild<QPushButton*>("BTStartData"), Qt::LeftButton);
        QVERIFY(WaitFor([&] { return ReadAll(log).find("$run\n") != std::string::npos; }));
        // Data lines: date, time and three counts, TAB-separated.
        QVERIFY2(WaitFor([&] {
                     const QStringList lines = memo->toPlainText().split('\n');
                     return lines.size() > before + 3 && lines.back().count('\t') == 4;
                 }),
                 qPrintable(memo->toPlainText().right(300)));

        QTest::mouseClick(window.findChild<QPushButton*>("BTStopData"), Qt::LeftButton);
        QVERIFY(WaitFor([&] { return ReadAll(log).find("!!!!!") != std::string::npos; }));
        // Exactly what the operator asked for reached the meter, in order.
        QCOMPARE(ReadAll(log), std::string("$mnu\n$run\n!!!!!\n"));
    }

    // A meter that freezes while streaming: the 1-second tick shows the stall in red, beeps
    // once, and the returning lines end it.
    void aFrozenMeterIsShownStalledUntilItsLinesReturn() {
        QTemporaryDir folder;
        test::SimProcess sim({"--dev", KIVO_TEST_DATA "/fluoro.dev", "--rate", "20",
                              "--fault-freeze-after", "10", "--fault-freeze-for", "8"});
        ScriptedPrompts prompts;
        MainWindowOptions options;
        options.prompts = &prompts;
        options.ports.Map(1, sim.PortPath());
        options.settingsDirectory = folder.path().toStdString();
        MainWindow window(std::move(options));
        window.show();
        auto* port = window.findChild<QComboBox*>("CBHostPort");
        port->setCurrentIndex(1);
        emit port->activated(1);
        QTest::mouseClick(window.findChild<QPushButton*>("BTStartData"), Qt::LeftButton);

        auto* lastLine = window.findChild<QLabel*>("LBLastLine");
        QVERIFY2(WaitFor([&] { return lastLine->text().startsWith("No data for"); }, 15000),
                 qPrintable(lastLine->text()));
        QVERIFY(lastLine->autoFillBackground());
        QCOMPARE(window.StallBeeps(), 1);
        QVERIFY2(WaitFor([&] { return lastLine->text().startsWith("Last line:"); }, 15000),
                 qPrintable(lastLine->text()));
        QVERIFY(!lastLine->autoFillBackground());
        QCOMPARE(window.StallBeeps(), 1);
    }

    // With a device file loaded, the meter's replies fill the setup state and its
    // identification line becomes the caption.
    void repliesFillTheSetupState() {
        test::SimProcess sim({"--dev", KIVO_TEST_DATA "/fluoro.dev", "--id", "VER KIVO FL 2.1"});
        ScriptedPrompts prompts;
        const std::unique_ptr<MainWindow> form = WindowWithDeviceFile(sim.PortPath(), prompts);
        MainWindow& window = *form;
        QVERIFY(!window.Core().State().DevicePath.empty());
        window.Core().Port().SelectHostPort(1, 2);
        window.Present();
        QVERIFY(WaitFor([&] { return window.Core().Meter().Setup().meterIdentified; }));
        QVERIFY(WaitFor([&] { return window.Core().Meter().Setup().memoryUsedPages >= 0; }));
        QCOMPARE(window.windowTitle(),
                 QString("KIVO View:  v1.16 10/20/03      KIVO: VER KIVO FL 2.1"));
        QVERIFY(window.Core().Meter().Setup().cycleInterval != "hhmmss");
        QCOMPARE(window.Core().Chain().Counts().DataLineCount, 0.0);  // replies are not data
    }

    // The Meter Setup page against the meter: a new averaging is answered and shown; the
    // store and the reload each clear "Setup Not Stored" through the meter's own reply.
    void setupPageFollowsTheMeter() {
        test::SimProcess sim({"--dev", KIVO_TEST_DATA "/fluoro.dev"});
        ScriptedPrompts prompts;
        const std::unique_ptr<MainWindow> form = WindowWithDeviceFile(sim.PortPath(), prompts);
        MainWindow& window = *form;
        window.show();
        window.Core().Port().SelectHostPort(1, 2);
        window.Present();
        QVERIFY(WaitFor([&] { return window.Core().Meter().Setup().meterIdentified; }));

        auto* average = window.findChild<QLineEdit*>("MEAverage");
        auto* label = window.findChild<QLabel*>("LBAVE");
        auto* store = window.findChild<QLabel*>("PStore");
        average->setText("60");
        QTest::mouseClick(window.findChild<QPushButton*>("BTAverage"), Qt::LeftButton);
        QVERIFY(store->isVisible());
        QVERIFY2(WaitFor([&] { return label->text() == "Average: 60"; }),
                 qPrintable(label->text()));

        QTest::mouseClick(window.findChild<QPushButton*>("BTStoreToFlash1"), Qt::LeftButton);
        QVERIFY(WaitFor([&] { return store->isHidden(); }));
        QCOMPARE(store->text(), QString("Setup is Current"));

        average->setText("30");
        QTest::mouseClick(window.findChild<QPushButton*>("BTAverage"), Qt::LeftButton);
        QVERIFY(store->isVisible());
        QVERIFY(WaitFor([&] { return label->text() == "Average: 30"; }));
        QTest::mouseClick(window.findChild<QPushButton*>("BTReloadSetup1"), Qt::LeftButton);
        QVERIFY(WaitFor([&] { return store->isHidden(); }));
        // The meter reloaded its stored setup: averaging 60 again, once asked for.
        QTest::mouseClick(window.findChild<QPushButton*>("BTGetSetup1"), Qt::LeftButton);
        QVERIFY(WaitFor([&] { return label->text() == "Average: 60"; }));
    }

    // The meter's memory arrives in the receive file byte for byte; a meter that falls
    // silent mid-download leaves it "Incomplete".
    void memoryDownloadIsExact() {
        QTemporaryDir folder;
        const QString image = folder.filePath("image.bin");
        for (const bool silent : {false, true}) {
            std::vector<std::string> arguments = {"--memory-size", "20000", "--memory-out",
                                                  image.toStdString(), "--fast"};
            if (silent) arguments.insert(arguments.end(), {"--fault-silence-after", "5000"});
            test::SimProcess sim(arguments);
            ScriptedPrompts prompts;
            const QString received = folder.filePath(silent ? "quiet.raw" : "memory.raw");
            prompts.answers.push_back(received.toStdString());
            MainWindowOptions options;
            options.prompts = &prompts;
            options.ports.Map(1, sim.PortPath());
            MainWindow window(std::move(options));
            window.Core().Port().SelectHostPort(1, 3);
            window.Present();
            // The answer to the automatic "$mnu" first, or it would land in the file too.
            QVERIFY(WaitFor([&] { return window.Memo()->toPlainText().contains("MEM "); }));
            QTest::mouseClick(window.findChild<QPushButton*>("BTGetData"), Qt::LeftButton);
            QVERIFY(window.Core().Download().Active());
            QVERIFY(WaitFor([&] { return !window.Core().Download().Active(); }, 20000));
            auto* status = window.findChild<QLabel*>("LBReceiveStatus");
            QVERIFY(WaitFor([&] { return status->text() != "Receive File Status:  In Progress"; }));
            if (silent) {
                QCOMPARE(status->text(), QString("Receive File Status:  Incomplete"));
                QCOMPARE(ReadAll(received).size(), std::size_t(5000));
            } else {
                QCOMPARE(status->text(), QString("Receive File Status:  Complete"));
                QVERIFY(WaitFor([&] { return QFile::exists(image); }));
                const std::string sent = ReadAll(image);
                QCOMPARE(sent.size(), std::size_t(20003));
                QVERIFY(ReadAll(received) == sent);
                QFile::remove(image);
            }
        }
    }

    // The meter's port goes away (a pulled cable): one message naming the port, the choice
    // kept, and the window back on the same port through the normal open path.
    void aPortThatGoesAwayComesBack() {
        QTemporaryDir folder;
        const std::string link = folder.filePath("meter").toStdString();
        const QString log = folder.filePath("commands.log");
        test::SimProcess sim({"--dev", KIVO_TEST_DATA "/fluoro.dev", "--autorun", "--rate", "20",
                              "--link", link, "--log", log.toStdString(), "--fault-reopen-after",
                              "10"});
        ScriptedPrompts prompts;
        MainWindowOptions options;
        options.prompts = &prompts;
        options.ports.Map(1, link);
        MainWindow window(std::move(options));
        window.Core().Port().SelectHostPort(1, 2);
        window.Present();
        QVERIFY(WaitFor([&] { return window.Core().Port().LostPort() == 1; }));
        QCOMPARE(prompts.messages.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(prompts.messages[0].second).contains("Lost Comm Port 1"));
        QCOMPARE(window.findChild<QComboBox*>("CBHostPort")->currentIndex(), 1);
        QVERIFY(WaitFor([&] { return window.Core().Port().Reconnections() == 1; }));
        QCOMPARE(window.Core().State().PortNumber, 1);
        // The automatic "$mnu" follows on the new port, and lines arrive again.
        const std::size_t logged = ReadAll(log).size();
        QVERIFY2(WaitFor([&] { return ReadAll(log).find("$mnu", logged) != std::string::npos; }),
                 ReadAll(log).c_str());
        const double lines = window.Core().Chain().Counts().DataLineCount;
        QVERIFY(WaitFor([&] { return window.Core().Chain().Counts().DataLineCount > lines + 5; }));
        QCOMPARE(prompts.messages.size(), std::size_t(1));
    }

    // A meter that sends one column more than its device file declares: the warning comes
    // once, on the sixth line in a row, and never stops the pump.
    void aColumnMismatchWarnsOnceOnTheSixthLine() {
        test::SimProcess sim({"--dev", KIVO_TEST_DATA "/fluoro.dev", "--fault-columns", "1",
                              "--autorun", "--rate", "50"});
        ScriptedPrompts prompts;
        const std::unique_ptr<MainWindow> form = WindowWithDeviceFile(sim.PortPath(), prompts);
        MainWindow& window = *form;
        window.Core().Port().SelectHostPort(1, 2);
        window.Present();
        QPlainTextEdit* memo = window.Memo();
        const auto dataLines = [&] {
            int count = 0;
            for (const QString& line : memo->toPlainText().split('\n'))
                if (line.count('\t') == 6) ++count;
            return count;
        };
        QVERIFY(WaitFor([&] { return dataLines() >= 12; }));
        QCOMPARE(prompts.warnings.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(prompts.warnings[0].first),
                 QString("Possible Mis-Match between Device File and Meter"));
        QCOMPARE(QString::fromStdString(prompts.warnings[0].second),
                 QString("Execution Error - Columns found 7 != Columns Expected 6"));
        QCOMPARE(window.Core().Chain().Counts().DataLineCount, 0.0);
    }
};

QTEST_MAIN(EndToEndTest)
#include "test_end_to_end.moc"
