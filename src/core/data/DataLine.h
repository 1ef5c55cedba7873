#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/data/ColumnTypes.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/MeterClock.h"
#include "core/seams/Clock.h"
#include "core/seams/View.h"

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

// Decides for each received line whether it is a data line and keeps its raw values.
// One instance lives for the whole run: neither a new device file nor restarting the
// stream resets the counters.
struct DataLineParser {
    RawTable RawValues{};
    double rawITemp = 0.0;
    double DataLineCount = 0.0;
    double FirstLineCount = 0.0;
    double SampleX = 0.01;  // X of the latest data line: 0, 1, 2 ... (1, 2 ... without a date)
    std::int32_t MismatchCount = 0;
    // Lines refused while a device file is loaded, by reason, over the whole run.
    std::int64_t NotDataLineCount = 0;      // no data line at all: a reply or noise
    std::int64_t WrongColumnLineCount = 0;  // a data line with another field count

    // True when the line is a data line and its values were taken; false hands it on to the
    // reply parser. With no device file loaded every line is taken (none reaches the reply
    // parser then). With one loaded, a line whose field count differs from the declared
    // column count is refused; the sixth such line in a row raises the warning "Possible
    // Mis-Match between Device File and Meter". A line that is no data line at all (0
    // fields) is always refused while a device file is loaded, even one that declares no
    // columns. MeterClock takes only the date and time the line holds; a line without them
    // leaves those members as they were.
    bool ParseDataLine(std::string_view line, bool alternateMode, bool deviceLoaded,
                       DeviceCalibration& calibration, MeterClock& meterClock,
                       HostClockSnapshot& hostSnapshot, Clock& hostClock, Prompts& prompts);
};

}  // namespace kivo
