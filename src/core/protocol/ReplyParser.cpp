#include "core/protocol/ReplyParser.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/text/CFormat.h"
#include "core/text/ScanNumbers.h"

namespace kivo {

namespace {

constexpr std::int32_t kMemoryFullPages = 4094;
constexpr std::size_t kClockTokenWidth = 199;     // "%199s"
constexpr std::size_t kIntervalTokenWidth = 79;   // "%79s"
constexpr std::size_t kCycleIntervalLength = 39;  // what SetupState::cycleInterval holds
constexpr std::size_t kMaxTitleLength = 199;

// "%d" of a reply: a number too large for its field changes nothing.
std::optional<std::int32_t> ScanSigned(std::string_view rest) {
    std::size_t pos = 0;
    return ScanInt(rest, pos, 0, IntOverflow::Refuse);
}

// "%2d:%2d:%2d" (separator ':' or '/') or "%2d%2d%2d" (separator '\0'); how many fields it
// assigned, as sscanf counts them.
int ScanThreeFields(std::string_view token, char separator, std::array<std::int32_t, 3>& fields) {
    std::size_t pos = 0;
    int assigned = 0;
    for (std::int32_t& field : fields) {
        if (assigned > 0 && separator != '\0' && !ScanLiteral(token, pos, separator)) break;
        const std::optional<std::int32_t> value = ScanInt(token, pos, 2, IntOverflow::Refuse);
        if (!value) break;
        field = *value;
        ++assigned;
    }
    return assigned;
}

// The CLK and DAT token, read first with the separated form and then with the packed one.
std::optional<std::array<std::int32_t, 3>> ScanClockToken(std::string_view rest, char separator) {
    std::size_t pos = 0;
    const std::optional<std::string_view> token = ScanToken(rest, pos, kClockTokenWidth);
    if (!token) return std::nullopt;
    std::array<std::int32_t, 3> fields{};
    if (ScanThreeFields(*token, separator, fields) == 3) return fields;
    if (ScanThreeFields(*token, '\0', fields) == 3) return fields;
    return std::nullopt;
}

// `rest` is the upper-case line after the keyword; `received` the whole line as it came.
using RowAction = void (*)(std::string_view rest, std::string_view received, ReplyTarget& target);

struct ReplyRow {
    std::string_view keyword;
    RowAction apply;
};

template <std::uint32_t SetupState::*field>
void StoreUnsigned(std::string_view rest, std::string_view, ReplyTarget& target) {
    std::size_t pos = 0;
    if (const std::optional<std::uint32_t> value = ScanUnsigned(rest, pos)) {
        target.setup.*field = *value;
    }
}

// A signed value with its flag saying the meter has reported it.
template <std::int32_t SetupState::*field, bool SetupState::*reported>
void StoreReported(std::string_view rest, std::string_view, ReplyTarget& target) {
    if (const std::optional<std::int32_t> value = ScanSigned(rest)) {
        target.setup.*reported = true;
        target.setup.*field = *value;
    }
}

void SetTime(std::string_view rest, MeterClock& meter, HostClockSnapshot& host, Clock& clock) {
    const auto fields = ScanClockToken(rest, ':');
    if (!fields) return;
    meter.hour = (*fields)[0];
    meter.minute = (*fields)[1];
    meter.second = (*fields)[2];
    CaptureHostClock(host, clock);
}

void SetDate(std::string_view rest, MeterClock& meter, HostClockSnapshot& host, Clock& clock) {
    const auto fields = ScanClockToken(rest, '/');
    if (!fields) return;
    meter.month = (*fields)[0];
    meter.day = (*fields)[1];
    meter.year = (*fields)[2];
    CaptureHostClock(host, clock);
}

void ApplyClock(std::string_view rest, std::string_view, ReplyTarget& target) {
    SetTime(rest, target.meterClock, target.hostClock, target.clock);
}

void ApplyDate(std::string_view rest, std::string_view, ReplyTarget& target) {
    SetDate(rest, target.meterClock, target.hostClock, target.clock);
}

// Only ASCII letters change, as toupper does in the C locale.
std::string UpperCase(std::string_view received) {
    std::string upper(received);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

void ApplyDone(std::string_view, std::string_view, ReplyTarget& target) {
    target.changes.setupStored = true;
}

void ApplyInterval(std::string_view rest, std::string_view, ReplyTarget& target) {
    std::size_t pos = 0;
    if (const std::optional<std::string_view> token = ScanToken(rest, pos, kIntervalTokenWidth)) {
        target.setup.cycleInterval = std::string(token->substr(0, kCycleIntervalLength));
    }
}

void ApplyMemory(std::string_view rest, std::string_view, ReplyTarget& target) {
    const std::optional<std::int32_t> pages = ScanSigned(rest);
    if (!pages) return;
    target.setup.memoryUsedPages = *pages;
    if (*pages >= kMemoryFullPages) target.changes.memoryFull = true;
}

void ApplyIdentification(std::string_view, std::string_view received, ReplyTarget& target) {
    target.setup.meterIdentified = true;
    target.setup.identification = std::string(received);
    target.changes.identified = true;
    // The identification that follows a flash reload shows the meter runs the stored setup.
    if (target.setup.reloadPending) target.changes.setupStored = true;
    target.setup.reloadPending = false;
}

// The keywords differ, so a line matches one row at most.
constexpr ReplyRow kReplyRows[] = {
    {"AVE", StoreUnsigned<&SetupState::averageCount>},
    {"CAL", StoreUnsigned<&SetupState::engrOutputOn>},
    {"CLK", ApplyClock},
    {"DAT", ApplyDate},
    {"DONE", ApplyDone},
    {"INT", ApplyInterval},
    {"MEM", ApplyMemory},
    {"PKT", StoreUnsigned<&SetupState::sampleCount>},
    {"OFF", StoreReported<&SetupState::uglOffset, &SetupState::uglOffsetFresh>},
    {"UGL", StoreReported<&SetupState::uglScaleCode, &SetupState::uglScaleFresh>},
    {"01N", StoreReported<&SetupState::ph1OnTime, &SetupState::ph1OnKnown>},
    {"01F", StoreReported<&SetupState::ph1OffTime, &SetupState::ph1OffKnown>},
    {"11N", StoreReported<&SetupState::ph11OnTime, &SetupState::ph11OnKnown>},
    {"11F", StoreReported<&SetupState::ph11OffTime, &SetupState::ph11OffKnown>},
    {"REC", StoreUnsigned<&SetupState::loggingOn>},
    {"SET", StoreUnsigned<&SetupState::cycleCount>},
    {"ASV", StoreUnsigned<&SetupState::analogRange>},
    {"VER", ApplyIdentification},
};

}  // namespace

ReplyChanges ParseReply(const std::string& line, ReplyTarget& target) {
    target.changes = ReplyChanges{};
    const std::string_view received(line.c_str());
    const std::string upper = UpperCase(received);
    const std::string_view copy(upper);
    for (const ReplyRow& row : kReplyRows) {
        if (copy.substr(0, row.keyword.size()) == row.keyword) {
            row.apply(copy.substr(row.keyword.size()), received, target);
            return target.changes;
        }
    }
    return target.changes;
}

void TakeClockReply(const std::string& line, MeterClock& meterClock, HostClockSnapshot& hostClock,
                    Clock& clock) {
    const std::string upper = UpperCase(line.c_str());
    const std::string_view copy(upper);
    if (copy.substr(0, 3) == "CLK") SetTime(copy.substr(3), meterClock, hostClock, clock);
    if (copy.substr(0, 3) == "DAT") SetDate(copy.substr(3), meterClock, hostClock, clock);
}

std::string FormatTitle(const std::string& identification) {
    std::string caption =
        FormatC("KIVO View:  v1.16 10/20/03      KIVO: %s", identification.c_str());
    if (caption.size() > kMaxTitleLength) caption.resize(kMaxTitleLength);
    return caption;
}

}  // namespace kivo
