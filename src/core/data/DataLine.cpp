#include "core/data/DataLine.h"

#include <algorithm>
#include <cstdio>
#include <limits>

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

bool DataLineParser::ParseDataLine(std::string_view line, bool alternateMode, bool deviceLoaded,
                                   DeviceCalibration& cal, MeterClock& meterClock,
                                   HostClockSnapshot& hostSnapshot, Clock& hostClock,
                                   Prompts& prompts) {
    SplitLine split;
    const int fieldCount = SplitDataLine(line, alternateMode, split);
    if (deviceLoaded) {
        // A reply or noise; never counted as a mismatch.
        if (fieldCount == 0) {
            ++NotDataLineCount;
            return false;
        }
        if (fieldCount != cal.declaredColumns) {
            ++WrongColumnLineCount;
            // Warn once per run of mismatching lines, on the sixth.
            if (MismatchCount == 5) {
                std::array<char, 100> text{};
                std::snprintf(text.data(), text.size(),
                              "Execution Error - Columns found %d != Columns Expected %d",
                              fieldCount, static_cast<int>(cal.declaredColumns));
                prompts.ShowWarning("Possible Mis-Match between Device File and Meter",
                                    text.data());
            }
            if (MismatchCount < std::numeric_limits<std::int32_t>::max()) ++MismatchCount;
            return false;
        }
    }

    // Only columns the line has: without a device file a line of any length is taken.
    const int columns = std::clamp(std::min(cal.definitionCount, fieldCount), 0, kSlots);
    for (int i = 0; i < columns; ++i) {
        const int t = cal.columnType[i];
        if (!IsSlot(t)) continue;
        const double v = split.values[i];
        if (IsReference(t)) {
            RawValues[t] = v;
            if (cal.firstReference[t] > 9999.0) cal.firstReference[t] = v;
        } else if (IsMeasurement(t)) {
            RawValues[t] = v;
            if (t == column::kITemp) rawITemp = v;
        }
    }

    MismatchCount = 0;
    CaptureHostClock(hostSnapshot, hostClock);
    if (split.date) {
        meterClock.month = split.date->month;
        meterClock.day = split.date->day;
        meterClock.year = split.date->year;
    }
    if (split.time) {
        meterClock.hour = split.time->hour;
        meterClock.minute = split.time->minute;
        meterClock.second = split.time->second;
    }

    DataLineCount += 1.0;
    if (DataLineCount < FirstLineCount || !(FirstLineCount > 0.0)) FirstLineCount = DataLineCount;
    SampleX = meterClock.month == 99 ? DataLineCount : DataLineCount - FirstLineCount;
    return true;
}

}  // namespace kivo
