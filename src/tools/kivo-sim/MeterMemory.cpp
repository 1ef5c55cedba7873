#include "MeterMemory.h"

#include <cctype>
#include <cstdio>

#include "LineLayout.h"

namespace kivo::sim {
namespace {

bool IsEndMarkerAt(const std::string& text, std::size_t at) {
    return at + 3 <= text.size() && std::tolower(static_cast<unsigned char>(text[at])) == 'e' &&
           std::tolower(static_cast<unsigned char>(text[at + 1])) == 't' &&
           std::tolower(static_cast<unsigned char>(text[at + 2])) == 'x';
}

// The host ends a download at the first "etx" in any case, so the image must hold none.
void BreakEndMarkers(std::string& text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (IsEndMarkerAt(text, at)) text[at + 2] = '_';
    }
}

// Logged records: a heading, then one line a minute from 1 January 2004.
std::string BuildImage(std::size_t size, std::uint32_t seed, LineLayout* records) {
    SeededRandom random(seed ^ 0x6D656D6FULL);
    std::string image;
    char line[128];
    std::snprintf(line, sizeof line, "KIVO SIM MEMORY IMAGE SEED %lu\r\n",
                  static_cast<unsigned long>(seed));
    image += line;
    for (long minute = 0; image.size() < size; ++minute) {
        const long hour = minute / 60;
        if (records != nullptr) {
            const CivilTime logged{2004,
                                   1,
                                   static_cast<int>(hour / 24 % 28 + 1),
                                   static_cast<int>(hour % 24),
                                   static_cast<int>(minute % 60),
                                   0};
            image += records->NextLine(logged) + "\r\n";
            continue;
        }
        std::snprintf(line, sizeof line, "01/%02ld/04\t%02ld:%02ld:00\t%u\t%u\t%u\r\n",
                      hour / 24 % 28 + 1, hour % 24, minute % 60, random.Below(4096),
                      random.Below(4096), random.Below(4096));
        image += line;
    }
    image.resize(size);
    BreakEndMarkers(image);
    return image;
}

}  // namespace

MeterMemory::MeterMemory(std::size_t size, std::uint32_t seed, LineLayout* records)
    : image_(BuildImage(size, seed, records)) {}

int MeterMemory::PagesUsed() const {
    return static_cast<int>((image_.size() + kPageBytes - 1) / kPageBytes);
}

std::vector<std::string> MeterMemory::HexDump(long page) const {
    std::vector<std::string> lines;
    const std::size_t start = static_cast<std::size_t>(page) * kPageBytes;
    for (std::size_t row = 0; row < 4; ++row) {
        const std::size_t address = start + row * 16;
        char text[16];
        std::snprintf(text, sizeof text, "%06zX ", address);
        std::string line = text;
        for (std::size_t offset = 0; offset < 16; ++offset) {
            const std::size_t at = address + offset;
            // Erased flash reads as all ones.
            const unsigned byte =
                at < image_.size() ? static_cast<unsigned char>(image_[at]) : 0xFFu;
            std::snprintf(text, sizeof text, " %02X", byte);
            line += text;
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace kivo::sim
