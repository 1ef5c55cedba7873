#include "core/protocol/Commands.h"

#include <cmath>

#include "core/text/CFormat.h"
#include "core/text/ScanNumbers.h"

namespace kivo {

namespace {

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

}  // namespace

bool HoldsLineBreak(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

std::optional<std::string> BuildEditCommand(EditCommand command, const std::string& text) {
    if (HoldsLineBreak(text)) return std::nullopt;
    std::string line = FormatC(EditCommandFormat(command), text.c_str());
    if (line.size() > kMaxCommandLength) return std::nullopt;
    return line;
}

std::string SetClockCommand(const LocalTime& time) {
    return FormatC("$CLK %02d%02d%02d", time.hour, time.minute, time.second);
}

std::string SetDateCommand(const LocalTime& time) {
    return FormatC("$DAT %02d%02d%02d", time.month, time.day, TwoDigitYear(time.year));
}

std::string SetDateAlternateCommand(const LocalTime& time) {
    return FormatC("$SDT %02d%02d%02d", time.month, time.day, TwoDigitYear(time.year));
}

std::string SetTimeAlternateCommand(const LocalTime& time) {
    return FormatC("$SCK %02d%02d%02d", time.hour, time.minute, time.second);
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
    return FormatC("$ASV %1d", AnalogRangeCode(itemIndex));
}

std::string EngrScaleCommand(long scaleCode) { return FormatC("$ugl %ld", scaleCode); }

std::string EngrOffsetCommand(int offset) { return FormatC("$off %d", offset); }

EntryResult CheckScaleEntry(const std::string& text) {
    if (text.size() > kMaxEntryLength) return {EntryCheck::TooLong, 0};
    // Read as a C string: a NUL ends the entry.
    std::size_t pos = 0;
    const std::optional<long double> scale = ScanLongDouble(text.c_str(), pos);
    if (!scale) return {EntryCheck::NotANumber, 0};
    // Written so that NaN fails the test.
    if (!(*scale >= 0.0001L && *scale <= 0.0255L)) return {EntryCheck::OutOfRange, 0};
    return {EntryCheck::Accepted, std::lround(*scale * 10000.0L)};
}

EntryResult CheckOffsetEntry(const std::string& text) {
    if (text.size() > kMaxEntryLength) return {EntryCheck::TooLong, 0};
    // A number past the 32-bit range is held at its ends, out of range either way.
    std::size_t pos = 0;
    const std::optional<std::int32_t> offset = ScanInt(text, pos);
    if (!offset) return {EntryCheck::NotANumber, 0};
    if (*offset < 0 || *offset > 127) return {EntryCheck::OutOfRange, 0};
    return {EntryCheck::Accepted, static_cast<long>(*offset)};
}

bool PasswordMatches(const std::string& entry) {
    static constexpr char kPassword[] = "MarbleOwl";
    constexpr std::size_t kLength = sizeof kPassword - 1;
    return entry.size() >= kLength && entry.compare(0, kLength, kPassword) == 0;
}

}  // namespace kivo
