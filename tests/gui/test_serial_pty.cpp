// The serial path for real: a pseudo-terminal pair stands in for the cable, QSerialPort
// opens its port end, and the window's own pump takes the bytes.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "ScriptedPrompts.h"
#include "app/MainWindow.h"

using namespace kivo;

namespace {

// Both ends of a raw pseudo-terminal; the test writes and reads the meter's end.
struct PtyPair {
    int meter = -1;
    int port = -1;
    std::string portPath;

    PtyPair() {
        char name[256] = {};
        if (openpty(&meter, &port, name, nullptr, nullptr) != 0) return;
        portPath = name;
        termios raw{};
        tcgetattr(port, &raw);
        cfmakeraw(&raw);
        tcsetattr(port, TCSANOW, &raw);
        tcgetattr(meter, &raw);
        cfmakeraw(&raw);
        tcsetattr(meter, TCSANOW, &raw);
    }
    ~PtyPair() {
        if (meter >= 0) close(meter);
        if (port >= 0) close(port);
    }
    void Send(const std::string& bytes) const {
        QVERIFY(write(meter, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    }
    // What the host has written, once `count` bytes have come or the bounded wait is over.
    std::string Receive(std::size_t count, int timeoutMs = 5000) const {
        std::string got;
        QElapsedTimer waited;
        waited.start();
        pollfd p{meter, POLLIN, 0};
        while (got.size() < count && !waited.hasExpired(timeoutMs)) {
            if (poll(&p, 1, 20) <= 0) continue;
            char buffer[256];
            const ssize_t n = read(meter, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    // True once bytes wait at the host's end, unread; false after the bounded wait.
    bool BytesWaitAtThePort(int timeoutMs = 5000) const {
        pollfd p{port, POLLIN, 0};
        return poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0;
    }
};

}  // namespace

class SerialPtyTest : public QObject {
    Q_OBJECT

private slots:
    void bytesFromTheMeterReachTheMemoAndCommandsReachTheMeter() {
        PtyPair pty;
        QVERIFY(!pty.portPath.empty());
        ScriptedPrompts prompts;
        MainWindowOptions options;
        options.prompts = &prompts;
        options.startTimers = false;
        options.ports.Map(2, pty.portPath);
        MainWindow window(std::move(options));
        window.Core().Port().SelectHostPort(2, 3);
        window.Present();
        QVERIFY2(prompts.messages.empty(), "the pty port end should open");
        QCOMPARE(window.Core().State().PortNumber, 2);

        // A line split over two writes, with CR LF, then a line ended by LF alone.
        pty.Send("VER KIVO");
        pty.Send(" 1.0\r\n12\t34\n");
        QPlainTextEdit* memo = window.Memo();
        QElapsedTimer waited;
        waited.start();
        while (memo->document()->blockCount() < 2 || memo->toPlainText().isEmpty()) {
            QVERIFY2(waited.elapsed() < 5000, "lines did not arrive");
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            window.Core().PumpLines();
            window.Present();
            window.FlushMemo();  // as the window's tick does after the pump
        }
        QCOMPARE(memo->toPlainText(), QString("VER KIVO 1.0\n12\t34"));
        QCOMPARE(window.Core().State().BytesRead, std::uint64_t(20));

        window.Core().Port().Link().SendCommand("$mnu");
        QCOMPARE(pty.Receive(6), std::string("$mnu\r\n"));
    }

    // "--com 1=meter" names a file in the current folder, not /dev/meter.
    void aRelativePathIsTheCurrentFolders() {
        PtyPair pty;
        QTemporaryDir folder;
        QVERIFY(QFile::link(QString::fromStdString(pty.portPath), folder.filePath("meter")));
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder.path());
        ScriptedPrompts prompts;
        MainWindowOptions options;
        options.prompts = &prompts;
        options.startTimers = false;
        options.ports.Map(1, "meter");
        MainWindow window(std::move(options));
        window.Core().Port().SelectHostPort(1, 2);
        window.Present();
        QDir::setCurrent(before);
        QVERIFY(prompts.messages.empty());
        QCOMPARE(window.Core().State().PortNumber, 1);
    }

    void closingThePortStopsTheInput() {
        PtyPair pty;
        ScriptedPrompts prompts;
        MainWindowOptions options;
        options.prompts = &prompts;
        options.startTimers = false;
        options.ports.Map(1, pty.portPath);
        MainWindow window(std::move(options));
        window.Core().Port().SelectHostPort(1, 2);
        window.Present();
        QCOMPARE(window.Core().State().PortNumber, 1);
        window.Core().Port().SelectHostPort(0, 2);
        window.Present();
        QCOMPARE(window.Core().State().PortNumber, 0);
        pty.Send("late\n");
        QVERIFY(pty.BytesWaitAtThePort());  // there to be read, however slow the machine
        QCoreApplication::processEvents();
        window.Core().PumpLines();
        window.Present();
        QVERIFY(window.Memo()->toPlainText().isEmpty());
        QVERIFY(!window.Core().Port().Link().SerialWrite("x"));
    }

    // The meter's end closing shows only as a hang-up: noticed at the next read, before
    // anything is written.
    void aFarEndThatClosedIsNoticedAtTheNextRead() {
        PtyPair pty;
        ScriptedPrompts prompts;
        MainWindowOptions options;
        options.prompts = &prompts;
        options.startTimers = false;
        options.ports.Map(1, pty.portPath);
        MainWindow window(std::move(options));
        window.Core().Port().SelectHostPort(1, 2);
        window.Present();
        QCOMPARE(window.Core().State().PortNumber, 1);
        close(pty.meter);
        pty.meter = -1;
        window.Core().PumpLines();
        window.Present();
        QCOMPARE(window.Core().Port().LostPort(), 1);
    }
};

QTEST_MAIN(SerialPtyTest)
#include "test_serial_pty.moc"
