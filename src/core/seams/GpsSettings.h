#pragma once

#include <string>

namespace kivo {

// The operator's GPS choice, kept with the program's settings: gpsd's address, off unless
// turned on.
struct GpsSettings {
    static constexpr int kDefaultPort = 2947;  // gpsd's own
    bool enabled = false;
    std::string host = "localhost";
    int port = kDefaultPort;

    std::string Address() const {
        const bool ipv6 = host.find(':') != std::string::npos;
        return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
    }
    bool operator==(const GpsSettings& other) const {
        return enabled == other.enabled && host == other.host && port == other.port;
    }
};

}  // namespace kivo
