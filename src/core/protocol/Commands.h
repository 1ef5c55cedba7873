#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/seams/Clock.h"

namespace kivo {

// The meter's command texts, without the CR LF the sender appends. The letter case of each
// keyword is part of the protocol.
namespace commands {

// Stops the data stream; the only command sent without a line end.
inline constexpr char kStop[] = "!!!!!";
inline constexpr char kRun[] = "$run";
inline constexpr char kStoreToFlash[] = "$sto";
inline constexpr char kGetSetup[] = "$mnu";
// The alternate-command mode asks for time and date separately instead of "$mnu".
inline constexpr char kGetClock[] = "$clk";
inline constexpr char kGetDate[] = "$dat";
inline constexpr char kEraseMemory[] = "$emc";
inline constexpr char kGetMemory[] = "$get";
inline constexpr char kReloadFlash[] = "$rls";
inline constexpr char kGetParameters[] = "$par";
inline constexpr char kTimingSwap[] = "$swp";
inline constexpr char kOneMeasurement[] = "$one";
inline constexpr char kOpenShutter[] = "$mvs 1";
inline constexpr char kCloseShutter[] = "$mvs 0";

}  // namespace commands

// The meter reads a command line into 116 bytes including its NUL.
inline constexpr std::size_t kMaxCommandLength = 115;

// Commands that carry an edit box's text.
enum class EditCommand {
    Average,      // "$AVE %s"  MEAverage
    Packet,       // "$PKT %s"  MEPacket
    Sample,       // "$SET %s"  MESample
    Interval,     // "$INT %s"  TimeInterval
    Ph1OnTime,    // "$01n=%s"  MEph1onTime
    Ph1OffTime,   // "$01f %s"  MEph1offTime (a blank, not "=")
    Ph11OnTime,   // "$11n=%s"  MEph11onTime
    Ph11OffTime,  // "$11f=%s"  MEph11offTime
    HexDump,      // "$hex %s"  MEHexDump
};

// The box's text goes in exactly as typed (an empty box gives the keyword and its blank).
// Refused, never cut, when the command would exceed kMaxCommandLength: a cut argument could
// be taken for another value. Also refused when the text holds CR, LF or NUL, which would
// end the command early and let the rest of the text reach the meter as a command of its own.
std::optional<std::string> BuildEditCommand(EditCommand command, const std::string& text);

// True when the text holds CR, LF or NUL, for which BuildEditCommand refuses it.
bool HoldsLineBreak(const std::string& text);

// Clock commands from one reading of the host's local time, so that a "$CLK"/"$DAT" pair
// describes one instant. Years go out as two digits.
std::string SetClockCommand(const LocalTime& time);          // "$CLK hhmmss"
std::string SetDateCommand(const LocalTime& time);           // "$DAT mmddyy"
std::string SetDateAlternateCommand(const LocalTime& time);  // "$SDT mmddyy"
std::string SetTimeAlternateCommand(const LocalTime& time);  // "$SCK hhmmss"

// Toggles from the setup state as last reported: non-zero means on, so the command turns it off.
std::string LoggingCommand(std::uint32_t loggingOn);        // "$REC 0" / "$REC 1"
std::string EngrOutputCommand(std::uint32_t engrOutputOn);  // "$cal 0" / "$cal 1"

// CBAnalogRange item index -> ASV code: 0 -> 1, 1 -> 2, 2 -> 4; no selection (or any other
// index) -> 2.
int AnalogRangeCode(int itemIndex);
std::string AnalogRangeCommand(int itemIndex);  // "$ASV %1d"

std::string EngrScaleCommand(long scaleCode);  // "$ugl %ld"
std::string EngrOffsetCommand(int offset);     // "$off %d"

// The FL-Setup page's entry rules for the engineering scale and offset.
enum class EntryCheck {
    Accepted,
    TooLong,     // over kMaxEntryLength characters; nothing was read
    NotANumber,  // the scan found no value
    OutOfRange,
};

struct EntryResult {
    EntryCheck check = EntryCheck::NotANumber;
    long value = 0;  // valid only when Accepted
};

// The boxes were read into 100-byte buffers.
inline constexpr std::size_t kMaxEntryLength = 99;

// Scanned as C's "%Lf" does in the C locale, whatever the process locale: "0,0031" reads
// as 0. Accepted from 0.0001 to 0.0255; NaN is out of range. The value is the code the meter
// takes, scale x 10000 rounded to nearest: truncating made "0.0031" send 30.
EntryResult CheckScaleEntry(const std::string& text);

// Scanned as C's "%d" ("12abc" reads 12); accepted from 0 to 127. A number too large for an
// int is out of range rather than wrapped.
EntryResult CheckOffsetEntry(const std::string& text);

// The power-user password rule: the entry's first 9 characters must be "MarbleOwl"
// (case-sensitive); anything after them is ignored, a shorter entry never matches.
bool PasswordMatches(const std::string& entry);

}  // namespace kivo
