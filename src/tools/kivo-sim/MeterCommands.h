#pragma once

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
    std::string interval = "000030";
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
