#pragma once

#include <string>

#include "core/protocol/SetupState.h"
#include "core/seams/Clock.h"

namespace kivo {

// What a reply changed besides the setup state and the clocks, for the session to show.
struct ReplyChanges {
    bool setupStored = false;  // the meter runs the setup in its flash ("DONE", or the
                               // identification after a reload)
    bool memoryFull = false;   // the meter's memory is full
    bool identified = false;   // the meter sent its identification line
};

// What a reply line may change.
struct ReplyTarget {
    SetupState& setup;
    MeterClock& meterClock;
    HostClockSnapshot& hostClock;
    Clock& clock;
    ReplyChanges changes{};
};

// One received line that is not a data line (no CR/LF). The line is read as the meter's C
// string, so it ends at a NUL byte if it holds one. Keywords are matched on an ASCII
// upper-case copy at the very start of the line: three characters ("DONE": four). Values
// are scanned with C scanf rules, independent of the process locale:
//   "AVE30", "AVE 30", "ave 30" -> 30; "AVE=30" changes nothing;
//   "CLK 1:2:3", "CLK 123456", "CLK 12:34:56" (two digits a field at most);
//   "DAT 10/20/03" or "DAT 102003" -> month 10, day 20, year 3.
// A number too large for its field makes the scan fail (C leaves it undefined); "%u" takes
// a sign as C does, so "AVE -1" gives 4294967295. Tokens are cut as a width in the scan
// format would cut them: the CLK/DAT token after 199 characters (the time and date fields
// lie in its first eight), the INT token after 79, and the cycle interval keeps the first
// 39 characters of it. Lines that match no keyword or do not scan change nothing.
ReplyChanges ParseReply(const std::string& line, ReplyTarget& target);

// Only what a reply does to the meter's clock ("CLK ...", "DAT ..."), exactly as ParseReply
// does it: for a converter of recorded lines, which keeps no setup and shows nothing.
void TakeClockReply(const std::string& line, MeterClock& meterClock, HostClockSnapshot& hostClock,
                    Clock& clock);

// The main window's caption for a meter identification line, at most 199 characters (the
// rest of a long line is dropped). At start-up the identification is " ".
std::string FormatTitle(const std::string& identification);

}  // namespace kivo
