#include "core/data/DataLine.h"

#include "core/text/ScanNumbers.h"

namespace kivo {
namespace {

// "%d<sep>%d<sep>%d", or "%2d%2d%2d" when width is 2 and there is no separator.
std::optional<std::array<std::int32_t, 3>> ScanThree(std::string_view text, char separator,
                                                     int width) {
    std::array<std::int32_t, 3> parts{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0 && separator != '\0') {
            if (pos >= text.size() || text[pos] != separator) return std::nullopt;
            ++pos;
        }
        const auto part = ScanInt(text, pos, width);
        if (!part) return std::nullopt;
        parts[i] = *part;
    }
    return parts;
}

std::optional<DateFields> ToDate(const std::optional<std::array<std::int32_t, 3>>& parts) {
    if (!parts) return std::nullopt;
    return DateFields{(*parts)[0], (*parts)[1], (*parts)[2]};
}

std::optional<TimeFields> ToTime(const std::optional<std::array<std::int32_t, 3>>& parts) {
    if (!parts) return std::nullopt;
    return TimeFields{(*parts)[0], (*parts)[1], (*parts)[2]};
}

int Refuse(SplitLine& split) {
    split = SplitLine{};
    return 0;
}

}  // namespace

bool ParseField(std::string_view text, int slashCount, int colonCount, FieldResult& result) {
    result = FieldResult{};
    if (slashCount == 0 && colonCount == 0) {
        std::size_t pos = 0;
        const auto value = ScanDouble(text, pos);
        if (!value) return false;
        result.value = *value;
        return true;
    }
    if (colonCount == 2) {
        result.time = ToTime(ScanThree(text, ':', 0));
        return result.time.has_value();
    }
    if (slashCount == 2) {
        result.date = ToDate(ScanThree(text, '/', 0));
        return result.date.has_value();
    }
    if (slashCount == kCompactMark && colonCount == kCompactMark) {
        result.date = ToDate(ScanThree(text, '\0', 2));
        return result.date.has_value();
    }
    if (slashCount == 0 && colonCount == kCompactMark) {
        result.time = ToTime(ScanThree(text, '\0', 2));
        return result.time.has_value();
    }
    return false;
}

int SplitDataLine(std::string_view line, bool alternateMode, SplitLine& split) {
    split = SplitLine{};
    int slashes = alternateMode ? kCompactMark : 0;
    int colons = slashes;
    int count = 0;
    std::size_t fieldStart = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == '\t') {
            if (count >= kSlots) return Refuse(split);
            FieldResult field;
            if (!ParseField(line.substr(fieldStart, i - fieldStart), slashes, colons, field)) {
                return Refuse(split);
            }
            split.values[count] = field.value;
            if (field.date) split.date = field.date;
            if (field.time) split.time = field.time;
            ++count;
            if (!alternateMode) {
                slashes = 0;
                colons = 0;
            } else if (slashes > 0) {
                slashes = 0;  // after the compact date, the compact time
            } else {
                colons = 0;
            }
            fieldStart = i + 1;
            continue;
        }
        if (i - fieldStart >= kMaxFieldLength) return Refuse(split);
        const char c = line[i];
        if (c == '/') {
            ++slashes;
        } else if (c == ':') {
            ++colons;
        } else if (!((c >= '0' && c <= '9') || c == '.' || c == '-')) {
            return Refuse(split);
        }
    }
    return count;
}

}  // namespace kivo
