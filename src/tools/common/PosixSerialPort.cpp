#include "tools/common/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace kivo {

namespace {

speed_t SpeedOf(int baud) {
    switch (baud) {
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 38400:
            return B38400;
        default:
            return B19200;
    }
}

// A command is written within this time or the device is stuck [ms].
constexpr int kWriteTimeoutMs = 2000;

}  // namespace

bool CouldBeAPort(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) != 0 || S_ISCHR(status.st_mode);
}

PosixSerialPort::~PosixSerialPort() { Close(); }

bool PosixSerialPort::Open(const std::string& path, int baud) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
        ::close(fd);
        return false;
    }
    // Exclusive, as the meter's port must be: a second program may not read our bytes.
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        ::close(fd);
        return false;
    }
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
        settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        ::cfsetispeed(&settings, SpeedOf(baud));
        ::cfsetospeed(&settings, SpeedOf(baud));
        ::tcsetattr(fd, TCSANOW, &settings);
    }
    fd_ = fd;
    return true;
}

bool PosixSerialPort::Close() {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
}

bool PosixSerialPort::Write(const char* data, std::size_t count) {
    if (fd_ < 0) return false;
    std::size_t written = 0;
    while (written < count) {
        const ssize_t n = ::write(fd_, data + written, count - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd ready{fd_, POLLOUT, 0};
            if (::poll(&ready, 1, kWriteTimeoutMs) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

long PosixSerialPort::Read(char* buffer, std::size_t max) {
    if (fd_ < 0) return -1;
    const ssize_t n = ::read(fd_, buffer, max);
    if (n > 0) return static_cast<long>(n);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        // Nothing waits; a far end that closed says so as a hang-up, not as an error of
        // the read, so it is asked: noticed this tick, not at the next write.
        pollfd state{fd_, POLLIN, 0};
        if (::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return -1;
        return 0;
    }
    return -1;  // an error, or the device hung up
}

}  // namespace kivo
