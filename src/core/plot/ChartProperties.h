#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

// Colours are R + 256 G + 65536 B, the way the device file and the channel table give them.
constexpr std::uint32_t Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return red + 256u * green + 65536u * blue;
}
constexpr std::uint32_t RedOf(std::uint32_t colour) { return colour & 0xFFu; }
constexpr std::uint32_t GreenOf(std::uint32_t colour) { return (colour >> 8) & 0xFFu; }
constexpr std::uint32_t BlueOf(std::uint32_t colour) { return (colour >> 16) & 0xFFu; }

// The chart's look, saved to and restored from "kivoiocomp.rbs". The defaults are the
// design look: dark plot area, white title, axis and legend text.
struct ChartProperties {
    std::uint32_t background = Rgb(0, 0, 0);
    std::uint32_t plotArea = Rgb(0, 0, 0);
    std::uint32_t text = Rgb(255, 255, 255);
    std::uint32_t grid = Rgb(64, 64, 64);
    bool gridVisible = true;
    bool legendVisible = true;
    int lineWidth = 1;       // [px]
    int titleFontSize = 12;  // [pt]
    int axisFontSize = 9;    // [pt]
    int legendFontSize = 9;  // [pt]

    bool operator==(const ChartProperties& other) const;
    bool operator!=(const ChartProperties& other) const { return !(*this == other); }
};

inline constexpr int kMinLineWidth = 1;
inline constexpr int kMaxLineWidth = 10;
inline constexpr int kMinFontSize = 4;
inline constexpr int kMaxFontSize = 72;

// The properties file: a "version=1" line, then one "key=value" line each. Colours are
// "#rrggbb", flags 0 or 1, sizes decimal integers.
std::string WriteChartProperties(const ChartProperties& properties);

// Reads what WriteChartProperties wrote. Unknown keys and blank lines are passed over, so a
// later version can add keys; a missing or other version line, a line without "=", or a
// value that is malformed or out of range makes the whole file unusable (nullopt), so a
// damaged file never leaves the chart half restyled.
std::optional<ChartProperties> ReadChartProperties(std::string_view text);

// File forms of the two above. Saving returns false when the file cannot be written or
// something other than a regular file is in its place (never waits on a pipe); loading
// returns nullopt for a missing, unreadable, oversized or damaged file and for anything
// but a regular file.
bool SaveChartProperties(const std::string& path, const ChartProperties& properties);
std::optional<ChartProperties> LoadChartProperties(const std::string& path);

}  // namespace kivo
