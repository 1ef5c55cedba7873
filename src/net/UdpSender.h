#pragma once

#include <string>
#include <string_view>

#include "core/seams/DatagramSender.h"

namespace kivo {

// UDP datagrams through a non-blocking socket connected to one address, so that the refusal
// an ICMP message brings back ("Connection refused") is told on a later send. The address is
// looked up once, at Open: a name server gone later costs nothing.
class UdpSender final : public DatagramSender {
public:
    UdpSender() = default;
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;
    ~UdpSender() override { Close(); }

    bool Open(const std::string& host, int port, std::string& error) override;
    bool Send(std::string_view datagram, std::string& reason) override;
    void Close() override;
    std::string Description() const override { return description_; }

private:
    int socket_ = -1;
    std::string description_;
};

}  // namespace kivo
