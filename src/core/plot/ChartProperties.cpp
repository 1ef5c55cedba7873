#include "core/plot/ChartProperties.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/files/OutputFile.h"
#include "core/files/RegularFile.h"

namespace kivo {

namespace {

constexpr std::string_view kVersionLine = "version=1";
// A properties file is a few hundred bytes; anything far larger is not one of ours.
constexpr std::size_t kMaxFileSize = 64 * 1024;

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool ParseInt(std::string_view text, int low, int high, int& out) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || value < low || value > high) return false;
    out = value;
    return true;
}

bool ParseFlag(std::string_view text, bool& out) {
    if (text == "0" || text == "1") {
        out = text == "1";
        return true;
    }
    return false;
}

bool ParseColour(std::string_view text, std::uint32_t& out) {
    if (text.size() != 7 || text[0] != '#') return false;
    std::uint32_t hex = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data() + 1, end, hex, 16);
    if (error != std::errc() || stop != end) return false;
    out = Rgb((hex >> 16) & 0xFFu, (hex >> 8) & 0xFFu, hex & 0xFFu);
    return true;
}

void AppendColour(std::string& out, const char* key, std::uint32_t colour) {
    char line[64];
    std::snprintf(line, sizeof line, "%s=#%02x%02x%02x\n", key,
                  static_cast<unsigned>(RedOf(colour)), static_cast<unsigned>(GreenOf(colour)),
                  static_cast<unsigned>(BlueOf(colour)));
    out += line;
}

void AppendInt(std::string& out, const char* key, int value) {
    char line[64];
    std::snprintf(line, sizeof line, "%s=%d\n", key, value);
    out += line;
}

// Applies one known key; false when its value is not acceptable. Unknown keys pass.
bool ApplyKey(std::string_view key, std::string_view value, ChartProperties& p) {
    if (key == "version") return value == "1";
    if (key == "background") return ParseColour(value, p.background);
    if (key == "plotArea") return ParseColour(value, p.plotArea);
    if (key == "text") return ParseColour(value, p.text);
    if (key == "grid") return ParseColour(value, p.grid);
    if (key == "gridVisible") return ParseFlag(value, p.gridVisible);
    if (key == "legendVisible") return ParseFlag(value, p.legendVisible);
    if (key == "lineWidth") return ParseInt(value, kMinLineWidth, kMaxLineWidth, p.lineWidth);
    if (key == "titleFontSize") return ParseInt(value, kMinFontSize, kMaxFontSize, p.titleFontSize);
    if (key == "axisFontSize") return ParseInt(value, kMinFontSize, kMaxFontSize, p.axisFontSize);
    if (key == "legendFontSize") {
        return ParseInt(value, kMinFontSize, kMaxFontSize, p.legendFontSize);
    }
    return true;
}

}  // namespace

bool ChartProperties::operator==(const ChartProperties& o) const {
    return background == o.background && plotArea == o.plotArea && text == o.text &&
           grid == o.grid && gridVisible == o.gridVisible && legendVisible == o.legendVisible &&
           lineWidth == o.lineWidth && titleFontSize == o.titleFontSize &&
           axisFontSize == o.axisFontSize && legendFontSize == o.legendFontSize;
}

std::string WriteChartProperties(const ChartProperties& p) {
    std::string out(kVersionLine);
    out += '\n';
    AppendColour(out, "background", p.background);
    AppendColour(out, "plotArea", p.plotArea);
    AppendColour(out, "text", p.text);
    AppendColour(out, "grid", p.grid);
    AppendInt(out, "gridVisible", p.gridVisible ? 1 : 0);
    AppendInt(out, "legendVisible", p.legendVisible ? 1 : 0);
    AppendInt(out, "lineWidth", p.lineWidth);
    AppendInt(out, "titleFontSize", p.titleFontSize);
    AppendInt(out, "axisFontSize", p.axisFontSize);
    AppendInt(out, "legendFontSize", p.legendFontSize);
    return out;
}

std::optional<ChartProperties> ReadChartProperties(std::string_view text) {
    ChartProperties properties;
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (first) {
            if (line != kVersionLine) return std::nullopt;
            first = false;
            continue;
        }
        if (line.empty()) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        if (!ApplyKey(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), properties)) {
            return std::nullopt;
        }
    }
    if (first) return std::nullopt;  // empty file
    return properties;
}

bool SaveChartProperties(const std::string& path, const ChartProperties& properties) {
    // A pipe would hold the write until something reads it; a folder or device is not a
    // file, and a link in the settings folder is not followed.
    OwnFile file = OpenOwnFile(path, false);
    return file.refusal.empty() && WriteOwnFile(file, WriteChartProperties(properties));
}

std::optional<ChartProperties> LoadChartProperties(const std::string& path) {
    if (!IsRegularFile(path)) return std::nullopt;  // a pipe would hold the open
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text;
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        text.append(block, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxFileSize) return std::nullopt;
    }
    if (in.bad()) return std::nullopt;
    return ReadChartProperties(text);
}

}  // namespace kivo
