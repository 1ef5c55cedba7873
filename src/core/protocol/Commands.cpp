#include "core/protocol/Commands.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/text/CFormat.h"
#include "core/text/ScanNumbers.h"

namespace kivo {

namespace {

// printf into a string of exactly the needed size.
template <typename... Args>
std::string Format(const char* format, Args... args) {
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

const char* EditCommandFormat(EditCommand command) {
    switch (command) {
        case EditCommand::Average:
            return "$AVE %s";
        case EditCommand::Packet:
            return "$PKT %s";
        case EditCommand::Sample:
            return "$SET %s";
        case EditCommand::Interval:
            return "$INT %s";
        case EditCommand::Ph1OnTime:
            return "$01n=%s";
        case EditCommand::Ph1OffTime:
            return "$01f %s";
        case EditCommand::Ph11OnTime:
            return "$11n=%s";
        case EditCommand::Ph11OffTime:
            return "$11f=%s";
        case EditCommand::HexDump:
            return "$hex %s";
    }
    return "";
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool HoldsLineBreak(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

std::optional<std::string> BuildEditCommand(EditCommand command, const std::string& text) {
    if (HoldsLineBreak(text)) return std::nullopt;
    std::string line = Format(EditCommandFormat(command), text.c_str());
    if (line.size() > kMaxCommandLength) return std::nullopt;
    return line;
}

std::string SetClockCommand(const LocalTime& time) {
    return Format("$CLK %02d%02d%02d", time.hour, time.minute, time.second);
}

std::string SetDateCommand(const LocalTime& time) {
    return Format("$DAT %02d%02d%02d", time.month, time.day, TwoDigitYear(time.year));
}

std::string SetDateAlternateCommand(const LocalTime& time) {
    return Format("$SDT %02d%02d%02d", time.month, time.day, TwoDigitYear(time.year));
}

std::string SetTimeAlternateCommand(const LocalTime& time) {
    return Format("$SCK %02d%02d%02d", time.hour, time.minute, time.second);
}

std::string LoggingCommand(std::uint32_t loggingOn) { return loggingOn != 0 ? "$REC 0" : "$REC 1"; }

std::string EngrOutputCommand(std::uint32_t engrOutputOn) {
    return engrOutputOn != 0 ? "$cal 0" : "$cal 1";
}

int AnalogRangeCode(int itemIndex) {
    switch (itemIndex) {
        case 0:
            return 1;
        case 2:
            return 4;
        default:
            return 2;
    }
}

std::string AnalogRangeCommand(int itemIndex) {
    return Format("$ASV %1d", AnalogRangeCode(itemIndex));
}

std::string EngrScaleCommand(long scaleCode) { return Format("$ugl %ld", scaleCode); }

std::string EngrOffsetCommand(int offset) { return Format("$off %d", offset); }

EntryResult CheckScaleEntry(const std::string& text) {
    if (text.size() > kMaxEntryLength) return {EntryCheck::TooLong, 0};
    long double scale = 0.0L;
    int assigned = 0;
    {
        const CNumericLocale cLocale;
        assigned = std::sscanf(text.c_str(), "%Lf", &scale);
    }
    if (assigned != 1) return {EntryCheck::NotANumber, 0};
    // Written so that NaN fails the test.
    if (!(scale >= 0.0001L && scale <= 0.0255L)) return {EntryCheck::OutOfRange, 0};
    return {EntryCheck::Accepted, std::lround(scale * 10000.0L)};
}

EntryResult CheckOffsetEntry(const std::string& text) {
    if (text.size() > kMaxEntryLength) return {EntryCheck::TooLong, 0};
    // "%d": leading blanks, a sign, then as many digits as there are.
    std::size_t at = 0;
    while (at < text.size() && IsCSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at >= text.size() || !IsDigit(text[at])) return {EntryCheck::NotANumber, 0};
    // Anything past int's range is out of range anyway; stop counting there.
    constexpr long long kCap = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    long long magnitude = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        if (magnitude < kCap) magnitude = magnitude * 10 + (text[at] - '0');
    }
    const long long offset = negative ? -magnitude : magnitude;
    if (offset < 0 || offset > 127) return {EntryCheck::OutOfRange, 0};
    return {EntryCheck::Accepted, static_cast<long>(offset)};
}

bool PasswordMatches(const std::string& entry) {
    static constexpr char kPassword[] = "MarbleOwl";
    constexpr std::size_t kLength = sizeof kPassword - 1;
    return entry.size() >= kLength && entry.compare(0, kLength, kPassword) == 0;
}

}  // namespace kivo
