#include "PseudoTerminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace kivo::sim {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

namespace {

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

PseudoTerminal::PseudoTerminal(UniqueFd master, UniqueFd port, std::string portPath)
    : master_(std::move(master)), heldPort_(std::move(port)), portPath_(std::move(portPath)) {}

PseudoTerminal PseudoTerminal::Open() {
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.Valid()) throw SystemError("posix_openpt");
    if (::grantpt(master.Get()) != 0) throw SystemError("grantpt");
    if (::unlockpt(master.Get()) != 0) throw SystemError("unlockpt");

    std::vector<char> name(256, '\0');
    if (::ptsname_r(master.Get(), name.data(), name.size()) != 0) throw SystemError("ptsname_r");
    std::string portPath(name.data());

    UniqueFd port(::open(portPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!port.Valid()) throw SystemError("open " + portPath);

    // A serial line passes bytes through untouched: no echo, no CR/LF translation.
    termios settings{};
    if (::tcgetattr(port.Get(), &settings) != 0) throw SystemError("tcgetattr");
    ::cfmakeraw(&settings);
    if (::tcsetattr(port.Get(), TCSANOW, &settings) != 0) throw SystemError("tcsetattr");

    const int flags = ::fcntl(master.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(master.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        throw SystemError("fcntl");
    }
    return PseudoTerminal(std::move(master), std::move(port), std::move(portPath));
}

int PseudoTerminal::UnreadAtPort() const {
    int unread = 0;
    if (::ioctl(heldPort_.Get(), FIONREAD, &unread) != 0) return 0;
    return unread;
}

PortLink::PortLink(std::string linkPath, const std::string& target)
    : linkPath_(std::move(linkPath)) {
    Repoint(target);
}

void PortLink::Repoint(const std::string& target) {
    // Make the new link beside the old one and rename it over: a reader never sees no link.
    const std::string temporary = linkPath_ + ".kivo-sim-new";
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0)
        throw SystemError("symlink " + temporary);
    if (::rename(temporary.c_str(), linkPath_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw SystemError("rename to " + linkPath_);
    }
    target_ = target;
}

PortLink::~PortLink() {
    std::vector<char> buffer(4096, '\0');
    const ssize_t length = ::readlink(linkPath_.c_str(), buffer.data(), buffer.size() - 1);
    // Someone else may have taken the name meanwhile; leave their link alone.
    if (length > 0 && std::string(buffer.data(), static_cast<std::size_t>(length)) == target_) {
        ::unlink(linkPath_.c_str());
    }
}

}  // namespace kivo::sim
