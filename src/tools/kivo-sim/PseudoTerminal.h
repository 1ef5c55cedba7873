#pragma once

#include <string>

namespace kivo::sim {

// Owns one file descriptor; closes it when dropped.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();

private:
    int fd_ = -1;
};

// One pseudo-terminal: we talk on the master, the host program opens the port end.
// We keep a port-end descriptor of our own so that a client that closes and reopens the
// port never leaves the master hung up.
class PseudoTerminal {
public:
    // Throws std::runtime_error when the system gives no pseudo-terminal.
    static PseudoTerminal Open();

    int Master() const { return master_.Get(); }
    const std::string& PortPath() const { return portPath_; }
    // Bytes we sent that no client has read yet.
    int UnreadAtPort() const;

private:
    PseudoTerminal(UniqueFd master, UniqueFd port, std::string portPath);

    UniqueFd master_;
    UniqueFd heldPort_;
    std::string portPath_;
};

// A symlink to the current port; replaced atomically when the port changes and removed
// on destruction if it still points at a port of ours.
class PortLink {
public:
    // Throws std::runtime_error when the link cannot be made, or when something other than
    // a link to a pseudo-terminal (a stale one of ours) is at `linkPath`.
    PortLink(std::string linkPath, const std::string& target);
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;
    ~PortLink();

    void Repoint(const std::string& target);

private:
    std::string linkPath_;
    std::string target_;
};

}  // namespace kivo::sim
