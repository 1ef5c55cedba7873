#include "serial/QtSerialPort.h"

#include <poll.h>
#include <sys/ioctl.h>

#include <QDeadlineTimer>
#include <QFileInfo>

namespace kivo {

namespace {
// A command line is a few dozen bytes; even at 4800 baud it leaves in well under a
// second. A port that takes longer is stuck (a flow-controlled or dead device).
constexpr int kWriteTimeoutMs = 2000;
}  // namespace

QtSerialPort::QtSerialPort() = default;

bool QtSerialPort::Open(const std::string& path, int baud) {
    if (port_.isOpen()) port_.close();
    port_.clearError();  // a port that went away leaves its error behind
    // QSerialPort takes a bare name to be one under /dev: a relative path is made absolute.
    port_.setPortName(QFileInfo(QString::fromStdString(path)).absoluteFilePath());
    if (!port_.open(QIODevice::ReadWrite)) return false;
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

bool QtSerialPort::Close() {
    if (!port_.isOpen()) return true;
    port_.close();
    return !port_.isOpen();
}

bool QtSerialPort::IsOpen() const { return port_.isOpen(); }

bool QtSerialPort::Write(const char* data, std::size_t count) {
    if (!port_.isOpen()) return false;
    if (port_.write(data, static_cast<qint64>(count)) != static_cast<qint64>(count)) return false;
    // QSerialPort buffers writes until the event loop runs; push them out now.
    const QDeadlineTimer deadline(kWriteTimeoutMs);
    while (port_.bytesToWrite() > 0) {
        if (deadline.hasExpired()) return false;
        if (!port_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            if (port_.bytesToWrite() > 0) return false;
        }
    }
    return true;
}

long QtSerialPort::Read(char* buffer, std::size_t max) {
    if (!port_.isOpen()) return -1;
    // Bytes wait in the driver until the event loop moves them into QSerialPort's buffer;
    // a zero wait moves them now without blocking.
    if (port_.bytesAvailable() == 0) port_.waitForReadyRead(0);
    const QSerialPort::SerialPortError error = port_.error();
    if (error == QSerialPort::ResourceError || error == QSerialPort::DeviceNotFoundError ||
        error == QSerialPort::PermissionError) {
        return -1;
    }
    if (error != QSerialPort::NoError) port_.clearError();
    if (port_.bytesAvailable() == 0) {
        // A far end that closed (a pty's meter gone, some adapters unplugged) shows only as
        // a hang-up, which QSerialPort reports at the next write: asked here, every tick.
        pollfd state{static_cast<int>(port_.handle()), POLLIN, 0};
        if (::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return -1;
    }
    const qint64 got = port_.read(buffer, static_cast<qint64>(max));
    return got < 0 ? -1 : static_cast<long>(got);
}

}  // namespace kivo

namespace kivo {

long QtSerialPort::Waiting() const {
    if (!port_.isOpen()) return 0;
    int queued = 0;
    if (::ioctl(port_.handle(), FIONREAD, &queued) != 0) queued = 0;
    return queued + static_cast<long>(port_.bytesAvailable());
}

}  // namespace kivo
