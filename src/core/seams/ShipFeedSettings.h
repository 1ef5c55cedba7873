#pragma once

#include <optional>
#include <string>

namespace kivo {

// The operator's choice of a feed for the ship's data system: each sample as one UDP
// datagram to a host and port, behind a short tag naming the instrument. Off unless turned on.
struct ShipFeedSettings {
    bool enabled = false;
    std::string host;
    int port = 0;
    std::string tag;  // empty: the device file's name without its folder and extension

    std::string Address() const {
        const bool ipv6 = host.find(':') != std::string::npos;
        return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
    }
    bool operator==(const ShipFeedSettings& other) const {
        return enabled == other.enabled && host == other.host && port == other.port &&
               tag == other.tag;
    }
    bool operator!=(const ShipFeedSettings& other) const { return !(*this == other); }
};

// Why a tag cannot begin a CSV line (a comma, a quote or a control character would change
// its fields), or nothing when it can.
inline std::optional<std::string> FeedTagProblem(const std::string& tag) {
    for (const char c : tag) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == ',' || c == '"' || u < 0x20 || u == 0x7f)
            return "the tag \"" + tag + "\" may hold no comma, quote or control character";
    }
    return std::nullopt;
}

}  // namespace kivo
