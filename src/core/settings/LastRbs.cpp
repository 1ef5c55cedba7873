#include "core/settings/LastRbs.h"

#include <cstdint>
#include <cstdio>

#include "core/text/ScanNumbers.h"

namespace kivo {

namespace {

constexpr std::size_t kLineRoom = 199;

// fgets with a 200-byte buffer: up to 199 characters, or through the line end.
std::optional<std::string> ReadPiece(std::istream& in) {
    std::string piece;
    char c = 0;
    while (piece.size() < kLineRoom && in.get(c)) {
        piece.push_back(c);
        if (c == '\n') break;
    }
    if (piece.empty()) return std::nullopt;
    return piece;
}

}  // namespace

std::string FormatLastRbs(const LastRbs& settings) {
    std::string text;
    for (int i = 0; i < LastRbs::kFieldCount; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, i == 0 ? "%d" : " %d", settings.values[i]);
        text += number;
    }
    text += "\n" + settings.deviceFile + "\n";
    return text;
}

std::optional<LastRbs> ReadLastRbs(std::istream& in) {
    const std::optional<std::string> line1 = ReadPiece(in);
    if (!line1) return std::nullopt;
    LastRbs settings;
    std::size_t pos = 0;
    for (int i = 0; i < LastRbs::kFieldCount; ++i) {
        const std::optional<std::int32_t> value = ScanInt(*line1, pos);
        if (!value) return std::nullopt;
        settings.values[i] = *value;
    }
    std::string line2 = ReadPiece(in).value_or("");
    // Every CR and LF ends the name, as a string end put in their place would.
    const std::size_t end = line2.find_first_of("\r\n");
    if (end != std::string::npos) line2.erase(end);
    settings.deviceFile = line2;
    return settings;
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace kivo
