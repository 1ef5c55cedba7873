#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/data/ColumnTypes.h"

namespace kivo {

// The raw reading of each column type, indexed by type code.
using RawTable = std::array<double, kSlots>;

// A data line is TAB-separated fields of digits, ".", "-", "/" and ":" only, e.g.
// "11/20/03\t12:30:45\t4050\t2001\t3000". Any other character, an empty field, a field
// longer than kMaxFieldLength or more than kSlots fields make it a non-data line.
inline constexpr std::size_t kMaxFieldLength = 211;

struct DateFields {
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t year = 0;
};

struct TimeFields {
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
};

// One field as ParseField read it.
struct FieldResult {
    double value = 0.0;  // numbers only
    std::optional<DateFields> date;
    std::optional<TimeFields> time;
};

// The fields of a line. A date or time field has value 0.0 of its own; when a line holds
// several, the last one counts.
struct SplitLine {
    std::array<double, kSlots> values{};
    std::optional<DateFields> date;
    std::optional<TimeFields> time;
};

// Slash and colon counts of 99 mark the first two fields in alternate-command mode, where
// the meter sends its date and time as six digits without separators ("112003", "123045").
inline constexpr int kCompactMark = 99;

// Reads one field by its "/" and ":" counts. Numbers are read as "%lf", date and time
// fields as "%d/%d/%d" and "%d:%d:%d", compact ones as "%2d%2d%2d", in the "C" locale;
// characters after what was read are ignored. Returns false when the field is refused.
bool ParseField(std::string_view text, int slashCount, int colonCount, FieldResult& result);

// Splits a line into fields; returns the field count, 0 when it is not a data line (then
// `split` holds no date or time).
int SplitDataLine(std::string_view line, bool alternateMode, SplitLine& split);

}  // namespace kivo
