#include "PseudoTerminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>
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

namespace {

// What a symbolic link at `path` points to; nothing when `path` is no symbolic link.
std::optional<std::string> LinkTarget(const std::string& path) {
    std::vector<char> buffer(4096, '\0');
    const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    if (length < 0) return std::nullopt;
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// Only a link of ours may be replaced or removed: one to a pseudo-terminal, left behind by
// a run that was killed. Anything else there (a device file, a folder) belongs to someone.
bool MayReplace(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return errno == ENOENT;
    const std::optional<std::string> target = LinkTarget(path);
    return target && target->rfind("/dev/pts/", 0) == 0;
}

}  // namespace

PortLink::PortLink(std::string linkPath, const std::string& target)
    : linkPath_(std::move(linkPath)) {
    if (!MayReplace(linkPath_)) {
        throw std::runtime_error("--link " + linkPath_ +
                                 ": something other than a link to a port is there; not replaced");
    }
    Repoint(target);
}

void PortLink::Repoint(const std::string& target) {
    // Make the new link beside the old one and rename it over: a reader never sees no link.
    const std::string temporary = linkPath_ + ".kivo-sim-new";
    if (MayReplace(temporary)) ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0)
        throw SystemError("symlink " + temporary);
    if (::rename(temporary.c_str(), linkPath_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        throw SystemError("rename to " + linkPath_);
    }
    target_ = target;
}

PortLink::~PortLink() {
    // Someone else may have taken the name meanwhile; leave their link alone.
    if (LinkTarget(linkPath_) == target_) ::unlink(linkPath_.c_str());
}

}  // namespace kivo::sim
