#pragma once

#include <string>
#include <string_view>

namespace kivo {

// Datagrams to one address on the network (the ship's data system listening on a UDP port).
// A send never waits: a datagram that cannot go at once is not sent, and the caller is told
// why, so that whatever sends never holds up the recording.
class DatagramSender {
public:
    virtual ~DatagramSender() = default;
    // Finds the address of `host` (a name, or a numeric IPv4 or IPv6 address) and `port` once
    // and makes ready to send there; a sender that was open is closed first. False, and
    // `error` saying why, when it cannot.
    virtual bool Open(const std::string& host, int port, std::string& error) = 0;
    // One datagram, at once or not at all. False, and `reason` saying why ("Connection
    // refused", "Resource temporarily unavailable"), when it did not go.
    virtual bool Send(std::string_view datagram, std::string& reason) = 0;
    virtual void Close() = 0;
    // Where the datagrams go, for messages: "192.0.2.7:5000", "[2001:db8::7]:5000".
    virtual std::string Description() const = 0;
};

}  // namespace kivo
