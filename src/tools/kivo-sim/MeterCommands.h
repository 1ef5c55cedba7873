#pragma once

#include <optional>
#include <string>
#include <vector>

#include "MeterMemory.h"
#include "SimClock.h"

namespace kivo::sim {

// The meter's setup. Defaults differ from the host's start values on purpose, so that a
// host which never reads the setup shows it.
struct MeterSettings {
    int average = 4;
    int samples = 2;
    int cycles = 3;
    // From the start of one cycle to the next, hhmmss; 000000: no cycles, the meter
    // streams. While it is not, each cycle is `samples` data lines, then silence.
    std::string interval = "000000";
    int logging = 0;
    int engrOutput = 0;
    int analogRange = 4;
    int ph1On = 12;
    int ph1Off = 20;
    int ph11On = 8;
    int ph11Off = 30;
    int uglScale = 10;
    int uglOffset = 3;
};

// The seconds of a cycle interval ("000015": 15); none for "000000" or no interval.
std::optional<long> CycleSeconds(const std::string& interval);

// How a meter in cycle mode sends: `lines` data lines, the next cycle `seconds` after the
// start of this one.
struct CycleRhythm {
    int lines = 1;
    long seconds = 1;
    bool operator==(const CycleRhythm& other) const {
        return lines == other.lines && seconds == other.seconds;
    }
};

// What a command asks of the meter beyond its reply lines.
struct CommandOutcome {
    enum class Action { None, StartStream, OneLine, StartDownload };
    bool known = true;                 // false: not a command of ours; ignored
    std::vector<std::string> replies;  // lines without line ends
    Action action = Action::None;
};

// Answers the host's command lines and keeps the setup in "RAM" and "flash".
class MeterCommands {
public:
    // `compactClock`: clock replies as "CLK hhmmss" / "DAT mmddyy" like older meters.
    MeterCommands(std::string idLine, bool compactClock, SimClock& clock, MeterMemory& memory);

    CommandOutcome Handle(const std::string& command);
    const std::string& IdLine() const { return idLine_; }
    // Starts in cycle mode, in RAM and in flash alike, as if stored before power-up.
    void SetCycle(int lines, const std::string& interval);
    // The rhythm of the setup in RAM; none while the meter streams without cycles.
    std::optional<CycleRhythm> Cycle() const;

private:
    bool HandleSetting(const std::string& command, CommandOutcome& outcome);
    bool HandleClock(const std::string& command, CommandOutcome& outcome);
    bool HandleOther(const std::string& command, CommandOutcome& outcome);
    std::vector<std::string> MenuReplies() const;
    std::vector<std::string> TimingReplies() const;
    std::string ClockReply() const;
    std::string DateReply() const;

    std::string idLine_;
    bool compactClock_;
    SimClock& clock_;
    MeterMemory& memory_;
    MeterSettings ram_;
    MeterSettings flash_;
};

}  // namespace kivo::sim
