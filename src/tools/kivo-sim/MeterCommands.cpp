#include "MeterCommands.h"

#include <cstdio>
#include <optional>
#include <utility>

namespace kivo::sim {
namespace {

// A whole argument that is an unsigned decimal number, blanks allowed around it.
std::optional<long> ParseArgument(const std::string& text) {
    std::size_t at = text.find_first_not_of(' ');
    if (at == std::string::npos) return std::nullopt;
    long value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
        if (value > 1000000) return std::nullopt;
        value = value * 10 + (text[at] - '0');
    }
    if (digits == 0 || text.find_first_not_of(' ', at) != std::string::npos) return std::nullopt;
    return value;
}

// The argument of a command that starts with `prefix`; the prefix without its separator
// alone ("$AVE") is a command with an empty argument.
std::optional<std::string> ArgumentAfter(const std::string& command, const std::string& prefix) {
    if (command.compare(0, prefix.size(), prefix) == 0) return command.substr(prefix.size());
    if (command == prefix.substr(0, prefix.size() - 1)) return std::string();
    return std::nullopt;
}

std::string Reply(const char* keyword, long value) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %ld", keyword, value);
    return text;
}

struct NumericSetting {
    const char* prefix;   // as the host sends it, separator included
    const char* keyword;  // of the reply
    int MeterSettings::*field;
    long low;
    long high;
};

// Each setting answers with its value, new or, for a value it refuses, unchanged.
constexpr NumericSetting kNumericSettings[] = {
    {"$AVE ", "AVE", &MeterSettings::average, 1, 65535},
    {"$PKT ", "PKT", &MeterSettings::samples, 1, 65535},
    {"$SET ", "SET", &MeterSettings::cycles, 1, 65535},
    {"$REC ", "REC", &MeterSettings::logging, 0, 1},
    {"$ASV ", "ASV", &MeterSettings::analogRange, 1, 4},
    {"$cal ", "CAL", &MeterSettings::engrOutput, 0, 1},
    {"$ugl ", "UGL", &MeterSettings::uglScale, 1, 255},
    {"$off ", "OFF", &MeterSettings::uglOffset, 0, 127},
    {"$01n=", "01N", &MeterSettings::ph1On, 0, 255},
    {"$01f ", "01F", &MeterSettings::ph1Off, 0, 255},
    {"$11n=", "11N", &MeterSettings::ph11On, 0, 255},
    {"$11f=", "11F", &MeterSettings::ph11Off, 0, 255},
};

bool ValidInterval(const std::string& text) {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    return SplitSixDigits(text, hours, minutes, seconds) && minutes < 60 && seconds < 60;
}

}  // namespace

std::optional<long> CycleSeconds(const std::string& interval) {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    if (!ValidInterval(interval) || !SplitSixDigits(interval, hours, minutes, seconds))
        return std::nullopt;
    const long total = hours * 3600L + minutes * 60L + seconds;
    if (total == 0) return std::nullopt;
    return total;
}

void MeterCommands::SetCycle(int lines, const std::string& interval) {
    ram_.samples = lines;
    ram_.interval = interval;
    flash_ = ram_;
}

std::optional<CycleRhythm> MeterCommands::Cycle() const {
    const std::optional<long> seconds = CycleSeconds(ram_.interval);
    if (!seconds) return std::nullopt;
    return CycleRhythm{ram_.samples, *seconds};
}

MeterCommands::MeterCommands(std::string idLine, bool compactClock, SimClock& clock,
                             MeterMemory& memory)
    : idLine_(std::move(idLine)), compactClock_(compactClock), clock_(clock), memory_(memory) {}

CommandOutcome MeterCommands::Handle(const std::string& command) {
    CommandOutcome outcome;
    if (HandleSetting(command, outcome) || HandleClock(command, outcome) ||
        HandleOther(command, outcome)) {
        return outcome;
    }
    outcome.known = false;
    return outcome;
}

bool MeterCommands::HandleSetting(const std::string& command, CommandOutcome& outcome) {
    for (const NumericSetting& setting : kNumericSettings) {
        const std::optional<std::string> argument = ArgumentAfter(command, setting.prefix);
        if (!argument) continue;
        const std::optional<long> value = ParseArgument(*argument);
        const bool analogCode = setting.field != &MeterSettings::analogRange || value != 3;
        if (value && *value >= setting.low && *value <= setting.high && analogCode) {
            ram_.*(setting.field) = static_cast<int>(*value);
        }
        outcome.replies.push_back(Reply(setting.keyword, ram_.*(setting.field)));
        return true;
    }
    if (const std::optional<std::string> argument = ArgumentAfter(command, "$INT ")) {
        const std::size_t first = argument->find_first_not_of(' ');
        const std::string interval = first == std::string::npos ? "" : argument->substr(first);
        if (ValidInterval(interval)) ram_.interval = interval;
        outcome.replies.push_back("INT " + ram_.interval);
        return true;
    }
    return false;
}

bool MeterCommands::HandleClock(const std::string& command, CommandOutcome& outcome) {
    if (command == "$clk") {
        outcome.replies.push_back(ClockReply());
        return true;
    }
    if (command == "$dat") {
        outcome.replies.push_back(DateReply());
        return true;
    }
    for (const char* prefix : {"$CLK ", "$SCK "}) {
        if (const std::optional<std::string> argument = ArgumentAfter(command, prefix)) {
            int hour = 0;
            int minute = 0;
            int second = 0;
            if (SplitSixDigits(*argument, hour, minute, second)) {
                clock_.SetTime(hour, minute, second);
            }
            outcome.replies.push_back(ClockReply());
            return true;
        }
    }
    for (const char* prefix : {"$DAT ", "$SDT "}) {
        if (const std::optional<std::string> argument = ArgumentAfter(command, prefix)) {
            int month = 0;
            int day = 0;
            int year = 0;
            if (SplitSixDigits(*argument, month, day, year)) clock_.SetDate(month, day, year);
            outcome.replies.push_back(DateReply());
            return true;
        }
    }
    return false;
}

bool MeterCommands::HandleOther(const std::string& command, CommandOutcome& outcome) {
    using Action = CommandOutcome::Action;
    if (command == "$mnu") {
        outcome.replies = MenuReplies();
    } else if (command == "$par") {
        outcome.replies = TimingReplies();
    } else if (command == "$sto") {
        flash_ = ram_;
        outcome.replies.push_back("DONE");
    } else if (command == "$rls") {
        ram_ = flash_;
        outcome.replies.push_back(idLine_);
    } else if (command == "$emc") {
        memory_.Erase();
        outcome.replies.push_back("MEM 0");
    } else if (command == "$run") {
        outcome.action = Action::StartStream;
    } else if (command == "$one") {
        outcome.action = Action::OneLine;
    } else if (command == "$get") {
        outcome.action = Action::StartDownload;
    } else if (command == "$swp") {
        outcome.replies.push_back("SWP OK");
    } else if (command == "$mvs 1") {
        outcome.replies.push_back("MVS 1 SHUTTER OPEN");
    } else if (command == "$mvs 0") {
        outcome.replies.push_back("MVS 0 SHUTTER CLOSED");
    } else if (const std::optional<std::string> argument = ArgumentAfter(command, "$hex ")) {
        const std::optional<long> page = ParseArgument(*argument);
        if (page && *page < 4095) {
            outcome.replies = memory_.HexDump(*page);
        } else {
            outcome.replies.push_back("HEX ERR");
        }
    } else {
        return false;
    }
    return true;
}

std::vector<std::string> MeterCommands::MenuReplies() const {
    return {idLine_,
            Reply("AVE", ram_.average),
            Reply("PKT", ram_.samples),
            Reply("SET", ram_.cycles),
            "INT " + ram_.interval,
            Reply("REC", ram_.logging),
            Reply("CAL", ram_.engrOutput),
            Reply("ASV", ram_.analogRange),
            ClockReply(),
            DateReply(),
            Reply("MEM", memory_.PagesUsed())};
}

std::vector<std::string> MeterCommands::TimingReplies() const {
    return {Reply("01N", ram_.ph1On),   Reply("01F", ram_.ph1Off),   Reply("11N", ram_.ph11On),
            Reply("11F", ram_.ph11Off), Reply("UGL", ram_.uglScale), Reply("OFF", ram_.uglOffset)};
}

std::string MeterCommands::ClockReply() const {
    return "CLK " + FormatTime(clock_.Now(), compactClock_);
}

std::string MeterCommands::DateReply() const {
    return "DAT " + FormatDate(clock_.Now(), compactClock_);
}

}  // namespace kivo::sim
