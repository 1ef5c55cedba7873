#include "core/protocol/ReplyParser.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

namespace kivo {

namespace {

constexpr std::int32_t kMemoryFullPages = 4094;
constexpr std::size_t kClockTokenWidth = 199;     // "%199s"
constexpr std::size_t kIntervalTokenWidth = 79;   // "%79s"
constexpr std::size_t kCycleIntervalLength = 39;  // what SetupState::cycleInterval holds

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The few scanf conversions the replies use, with C's rules and no locale: each call is one
// directive of a format and consumes input as sscanf would.
class ScanCursor {
public:
    explicit ScanCursor(std::string_view input) : input_(input) {}

    // An ordinary format character: it must be the next input character.
    bool Literal(char expected) {
        if (at_ >= input_.size() || input_[at_] != expected) return false;
        ++at_;
        return true;
    }

    // "%d", or "%2d" with a width; the width counts the sign.
    std::optional<std::int32_t> Signed(std::size_t width = 0) {
        const std::optional<Integer> number = ReadInteger(width);
        if (!number) return std::nullopt;
        const std::uint64_t limit = number->negative ? 0x80000000u : 0x7FFFFFFFu;
        if (number->magnitude > limit) return std::nullopt;
        const std::int64_t magnitude = static_cast<std::int64_t>(number->magnitude);
        return static_cast<std::int32_t>(number->negative ? -magnitude : magnitude);
    }

    // "%u": C takes a sign here too and negates modulo 2^32.
    std::optional<std::uint32_t> Unsigned() {
        const std::optional<Integer> number = ReadInteger(0);
        if (!number || number->magnitude > 0xFFFFFFFFu) return std::nullopt;
        const auto magnitude = static_cast<std::uint32_t>(number->magnitude);
        return number->negative ? static_cast<std::uint32_t>(0u - magnitude) : magnitude;
    }

    // "%Ns": the next run of non-blank characters, at most `width` of them.
    std::optional<std::string> Token(std::size_t width) {
        SkipSpace();
        const std::size_t start = at_;
        while (at_ < input_.size() && !IsCSpace(input_[at_]) && at_ - start < width) ++at_;
        if (at_ == start) return std::nullopt;
        return std::string(input_.substr(start, at_ - start));
    }

private:
    struct Integer {
        bool negative;
        std::uint64_t magnitude;  // saturates just past 32 bits
    };

    void SkipSpace() {
        while (at_ < input_.size() && IsCSpace(input_[at_])) ++at_;
    }

    std::optional<Integer> ReadInteger(std::size_t width) {
        SkipSpace();
        std::size_t left = width == 0 ? input_.size() : width;
        Integer number{false, 0};
        if (left > 0 && at_ < input_.size() && (input_[at_] == '+' || input_[at_] == '-')) {
            number.negative = input_[at_] == '-';
            ++at_;
            --left;
        }
        bool anyDigit = false;
        while (left > 0 && at_ < input_.size() && IsDigit(input_[at_])) {
            if (number.magnitude <= 0xFFFFFFFFu) {
                number.magnitude = number.magnitude * 10 + static_cast<unsigned>(input_[at_] - '0');
            }
            anyDigit = true;
            ++at_;
            --left;
        }
        if (!anyDigit) return std::nullopt;
        return number;
    }

    std::string_view input_;
    std::size_t at_ = 0;
};

// "%2d:%2d:%2d" (separator ':' or '/') or "%2d%2d%2d" (separator '\0'); how many fields it
// assigned, as sscanf counts them.
int ScanThreeFields(std::string_view token, char separator, std::array<std::int32_t, 3>& fields) {
    ScanCursor cursor(token);
    int assigned = 0;
    for (std::int32_t& field : fields) {
        if (assigned > 0 && separator != '\0' && !cursor.Literal(separator)) break;
        const std::optional<std::int32_t> value = cursor.Signed(2);
        if (!value) break;
        field = *value;
        ++assigned;
    }
    return assigned;
}

// The CLK and DAT token, read first with the separated form and then with the packed one.
std::optional<std::array<std::int32_t, 3>> ScanClockToken(std::string_view rest, char separator) {
    const std::optional<std::string> token = ScanCursor(rest).Token(kClockTokenWidth);
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
    if (const std::optional<std::uint32_t> value = ScanCursor(rest).Unsigned()) {
        target.setup.*field = *value;
    }
}

// A signed value with its flag saying the meter has reported it.
template <std::int32_t SetupState::*field, bool SetupState::*reported>
void StoreReported(std::string_view rest, std::string_view, ReplyTarget& target) {
    if (const std::optional<std::int32_t> value = ScanCursor(rest).Signed()) {
        target.setup.*reported = true;
        target.setup.*field = *value;
    }
}

void ApplyClock(std::string_view rest, std::string_view, ReplyTarget& target) {
    const auto fields = ScanClockToken(rest, ':');
    if (!fields) return;
    target.meterClock.hour = (*fields)[0];
    target.meterClock.minute = (*fields)[1];
    target.meterClock.second = (*fields)[2];
    CaptureHostClock(target.hostClock, target.clock);
}

void ApplyDate(std::string_view rest, std::string_view, ReplyTarget& target) {
    const auto fields = ScanClockToken(rest, '/');
    if (!fields) return;
    target.meterClock.month = (*fields)[0];
    target.meterClock.day = (*fields)[1];
    target.meterClock.year = (*fields)[2];
    CaptureHostClock(target.hostClock, target.clock);
}

void ApplyDone(std::string_view, std::string_view, ReplyTarget& target) {
    ShowStoreStatus(target.view, true);
}

void ApplyInterval(std::string_view rest, std::string_view, ReplyTarget& target) {
    if (const std::optional<std::string> token = ScanCursor(rest).Token(kIntervalTokenWidth)) {
        target.setup.cycleInterval = token->substr(0, kCycleIntervalLength);
    }
}

void ApplyMemory(std::string_view rest, std::string_view, ReplyTarget& target) {
    const std::optional<std::int32_t> pages = ScanCursor(rest).Signed();
    if (!pages) return;
    target.setup.memoryUsedPages = *pages;
    if (*pages >= kMemoryFullPages) target.view.ShowMemoryFullWindow();
}

void ApplyIdentification(std::string_view, std::string_view received, ReplyTarget& target) {
    target.setup.meterIdentified = true;
    target.view.SetCaption(FormatTitle(std::string(received)));
    // The identification that follows a flash reload shows the meter runs the stored setup.
    if (target.setup.reloadPending) ShowStoreStatus(target.view, true);
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

void ParseReply(const std::string& line, ReplyTarget& target) {
    const std::string_view received(line.c_str());
    // Only ASCII letters change, as toupper does in the C locale.
    std::string upper(received);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    const std::string_view copy(upper);
    for (const ReplyRow& row : kReplyRows) {
        if (copy.substr(0, row.keyword.size()) == row.keyword) {
            row.apply(copy.substr(row.keyword.size()), received, target);
            return;
        }
    }
}

void ShowStoreStatus(View& view, bool current) {
    if (current) {
        view.SetVisible(Control::PStore, false);
        view.SetText(Control::PStore, "Setup is Current");
        view.SetColour(Control::PStore, Colour::MenuFace);
    } else {
        view.SetVisible(Control::PStore, true);
        view.SetText(Control::PStore, "Setup Not Stored");
        view.SetColour(Control::PStore, Colour::Yellow);
    }
}

std::string FormatTitle(const std::string& identification) {
    std::array<char, 200> caption{};
    std::snprintf(caption.data(), caption.size(), "KIVO View:  v1.16 10/20/03      KIVO: %s",
                  identification.c_str());
    return std::string(caption.data());
}

}  // namespace kivo
