#include "net/UdpSender.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace kivo {

namespace {

struct AddressListFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

std::string Bracketed(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

}  // namespace

bool UdpSender::Open(const std::string& host, int port, std::string& error) {
    Close();
    description_ = Bracketed(host) + ":" + std::to_string(port);
    if (host.empty() || port < 1 || port > 65535) {
        error = "no host and port (1 to 65535) given for the UDP feed";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        status != 0) {
        error = "cannot find the address of " + host + ": " + gai_strerror(status);
        return false;
    }
    const std::unique_ptr<addrinfo, AddressListFree> list(found);
    std::string why = "no address";
    // The first address a socket connects to: IPv6 or IPv4, as the system orders them.
    for (const addrinfo* a = list.get(); a != nullptr; a = a->ai_next) {
        const int s =
            socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            why = std::strerror(errno);
            continue;
        }
        if (connect(s, a->ai_addr, a->ai_addrlen) == 0) {
            socket_ = s;
            return true;
        }
        why = std::strerror(errno);
        close(s);
    }
    error = "cannot send to " + description_ + ": " + why;
    return false;
}

bool UdpSender::Send(std::string_view datagram, std::string& reason) {
    if (socket_ < 0) {
        reason = "not open";
        return false;
    }
    // MSG_DONTWAIT besides the socket's own O_NONBLOCK: a send never waits, whoever made it.
    const ssize_t sent =
        send(socket_, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent == static_cast<ssize_t>(datagram.size())) return true;
    reason = sent < 0 ? std::strerror(errno) : "cut short";
    return false;
}

void UdpSender::Close() {
    if (socket_ < 0) return;
    close(socket_);
    socket_ = -1;
}

}  // namespace kivo
