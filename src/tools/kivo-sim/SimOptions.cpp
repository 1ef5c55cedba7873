#include "SimOptions.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <utility>

#include "CastProfile.h"
#include "MeterCommands.h"
#include "SimClock.h"

namespace kivo::sim {
namespace {

// Whole-text decimal integer within [low, high]; locale plays no part.
bool ParseInteger(const std::string& text, long long low, long long high, long long& value) {
    long long parsed = 0;
    const char* const end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, parsed);
    if (error != std::errc() || rest != end || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

// Whole-text decimal number above 0 and at most `high`.
bool ParsePositive(const std::string& text, double high, double& value) {
    double parsed = 0.0;
    const char* const end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, parsed);
    if (error != std::errc() || rest != end || !(parsed > 0.0) || parsed > high) return false;
    value = parsed;
    return true;
}

// "LINES,HHMMSS": at least one line a cycle, and a cycle interval that is one.
bool ParseCycle(const std::string& text, SimOptions& options) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    long long lines = 0;
    const std::string interval = text.substr(comma + 1);
    if (!ParseInteger(text.substr(0, comma), 1, 65535, lines) || !CycleSeconds(interval))
        return false;
    options.cycleLines = static_cast<int>(lines);
    options.cycleInterval = interval;
    return true;
}

std::string Describe(const std::string& option, const char* expected) {
    return "option " + option + " needs " + expected;
}

using Setter = std::function<bool(SimOptions&, const std::string&)>;

struct ValueOption {
    const char* expected;  // for the error line
    Setter set;
};

Setter IntegerInto(long long low, long long high, std::function<void(SimOptions&, long long)> put) {
    return [=](SimOptions& options, const std::string& text) {
        long long value = 0;
        if (!ParseInteger(text, low, high, value)) return false;
        put(options, value);
        return true;
    };
}

Setter TextInto(std::string SimOptions::*field, bool allowEmpty) {
    return [=](SimOptions& options, const std::string& text) {
        if (!allowEmpty && text.empty()) return false;
        if (text.find_first_of("\r\n") != std::string::npos) return false;
        options.*field = text;
        return true;
    };
}

const std::map<std::string, ValueOption>& ValueOptions() {
    static const std::map<std::string, ValueOption> table = {
        {"--link", {"a path", TextInto(&SimOptions::link, false)}},
        {"--log", {"a path", TextInto(&SimOptions::logPath, false)}},
        {"--sent", {"a path", TextInto(&SimOptions::sentPath, false)}},
        {"--id", {"a text without line ends", TextInto(&SimOptions::id, true)}},
        {"--memory-out", {"a path", TextInto(&SimOptions::memoryOut, false)}},
        {"--dev", {"a device file path", TextInto(&SimOptions::devicePath, false)}},
        {"--rate",
         {"a rate above 0 and at most 1000 [Hz]",
          [](SimOptions& o, const std::string& t) { return ParsePositive(t, 1000.0, o.rate); }}},
        {"--cast",
         {"a depth above 0 and at most 11000 [dbar]",
          [](SimOptions& o, const std::string& t) {
              double depth = 0.0;
              if (!ParsePositive(t, CastRoutine::kMaxDepth, depth)) return false;
              o.castDepth = depth;
              return true;
          }}},
        {"--counts",
         {"an integer 0-200",
          IntegerInto(0, 200, [](SimOptions& o, long long v) { o.counts = static_cast<int>(v); })}},
        {"--seed",
         {"an integer 0-4294967295",
          IntegerInto(0, 4294967295LL,
                      [](SimOptions& o, long long v) { o.seed = static_cast<std::uint32_t>(v); })}},
        {"--memory-size",
         {"a byte count 0-1081080", IntegerInto(0, static_cast<long long>(kMaxMemoryBytes),
                                                [](SimOptions& o, long long v) {
                                                    o.memorySize = static_cast<std::size_t>(v);
                                                })}},
        {"--cycle",
         {"data lines 1-65535 and a cycle interval HHMMSS above 000000, as 8,000015",
          [](SimOptions& o, const std::string& t) { return ParseCycle(t, o); }}},
        {"--clock",
         {"a date and time as MMDDYYHHMMSS",
          [](SimOptions& o, const std::string& t) {
              o.clock = ParseClockText(t);
              return o.clock.has_value();
          }}},
        {"--fault-garbage",
         {"a byte count 1-4096",
          IntegerInto(1, 4096,
                      [](SimOptions& o, long long v) { o.garbageBytes = static_cast<int>(v); })}},
        {"--fault-columns",
         {"an integer 0-200",
          IntegerInto(0, 200,
                      [](SimOptions& o, long long v) { o.faultColumns = static_cast<int>(v); })}},
        {"--fault-silence-after",
         {"a byte count 0-1081083", IntegerInto(0, static_cast<long long>(kMaxMemoryBytes) + 3,
                                                [](SimOptions& o, long long v) {
                                                    o.silenceAfter = static_cast<std::size_t>(v);
                                                })}},
        {"--fault-reopen-after",
         {"a line count 1-1000000000",
          IntegerInto(1, 1000000000LL,
                      [](SimOptions& o, long long v) { o.reopenAfter = static_cast<long>(v); })}},
        {"--fault-freeze-after",
         {"a line count 1-1000000000",
          IntegerInto(1, 1000000000LL,
                      [](SimOptions& o, long long v) { o.freezeAfter = static_cast<long>(v); })}},
        {"--fault-freeze-for",
         {"a number of seconds 1-86400",
          IntegerInto(1, 86400,
                      [](SimOptions& o, long long v) { o.freezeFor = static_cast<double>(v); })}},
        {"--fault-close-after",
         {"a line count 1-1000000000",
          IntegerInto(1, 1000000000LL,
                      [](SimOptions& o, long long v) { o.closeAfter = static_cast<long>(v); })}},
    };
    return table;
}

const std::map<std::string, bool SimOptions::*>& FlagOptions() {
    static const std::map<std::string, bool SimOptions::*> table = {
        {"--date", &SimOptions::dateField}, {"--time", &SimOptions::timeField},
        {"--alt", &SimOptions::alternate},  {"--autorun", &SimOptions::autorun},
        {"--fast", &SimOptions::fast},      {"--fault-overlong", &SimOptions::overlong},
    };
    return table;
}

ParsedCommandLine Refuse(std::string reason) {
    ParsedCommandLine parsed;
    parsed.kind = ParsedCommandLine::Kind::Error;
    parsed.error = std::move(reason);
    return parsed;
}

}  // namespace

ParsedCommandLine ParseSimOptions(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            parsed.kind = ParsedCommandLine::Kind::Help;
            return parsed;
        }
        if (argument == "--version") {
            parsed.kind = ParsedCommandLine::Kind::Version;
            return parsed;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (const auto flag = FlagOptions().find(name); flag != FlagOptions().end()) {
            if (equals != std::string::npos) return Refuse("option " + name + " takes no value");
            parsed.options.*(flag->second) = true;
            continue;
        }
        const auto option = ValueOptions().find(name);
        if (option == ValueOptions().end()) return Refuse("unknown option " + argument);
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return Refuse(Describe(name, option->second.expected));
        }
        if (!option->second.set(parsed.options, value)) {
            return Refuse(Describe(name, option->second.expected) + ", not \"" + value + "\"");
        }
    }
    const SimOptions& options = parsed.options;
    const int countColumns = options.faultColumns.value_or(options.counts);
    if (countColumns == 0 && !options.alternate && !options.dateField && !options.timeField) {
        return Refuse("a data line needs at least one field");
    }
    if (options.castDepth && options.devicePath.empty()) {
        return Refuse("option --cast needs --dev with a pressure column (PRES=)");
    }
    return parsed;
}

std::string SimUsage() {
    return "Usage: kivo-sim [OPTIONS]\n"
           "A simulated KIVO meter on a pseudo-terminal. The first line of standard output is\n"
           "the port path; open it as the meter's serial port. Commands end with CR LF (LF\n"
           "alone is accepted) and are matched exactly, letter case and separators included;\n"
           "\"!!!!!\" stops the stream wherever it appears. Unknown commands are ignored.\n"
           "\n"
           "  --link PATH            also make PATH a symlink to the port (removed on exit)\n"
           "  --log FILE             append each command received to FILE, one a line\n"
           "  --sent FILE            append each data line streamed to FILE, one a line\n"
           "  --id TEXT              identification line (default \"VER KIVO-SIM 1.0 SN 0001\";\n"
           "                         with --dev, the serial number of the device file)\n"
           "  --rate HZ              data lines per second while streaming (default 1)\n"
           "  --date                 a MM/DD/YY field in each data line\n"
           "  --time                 a HH:MM:SS field in each data line\n"
           "  --alt                  MMDDYY and HHMMSS as the first two fields (older meters);\n"
           "                         clock replies use the six-digit forms too\n"
           "  --counts N             count columns per data line (default 3)\n"
           "  --dev FILE             data lines that fit the device file FILE: one field per\n"
           "                         declared column, of its kind (--date, --time and --counts\n"
           "                         are then ignored; --alt still applies)\n"
           "  --seed N               seed of the counts and the memory image (default 1)\n"
           "  --autorun              stream from start, as some meters do after power-up\n"
           "  --clock MMDDYYHHMMSS   start value of the meter clock (default: host time)\n"
           "  --cycle LINES,HHMMSS   cycle mode: LINES data lines at --rate, then silence\n"
           "                         until HHMMSS after the cycle began; the setup reports\n"
           "                         them as \"PKT LINES\" and \"INT HHMMSS\"\n"
           "  --cast DEPTH           with a --dev file that has a pressure column (PRES=):\n"
           "                         CTD casts to DEPTH dbar, one after another: 30 s on\n"
           "                         deck, a 60 s soak at 5 dbar, up to 1 dbar, down at\n"
           "                         1 dbar/s with heave, 20 s at DEPTH, up at 1 dbar/s;\n"
           "                         each data line moves the cast on by 1/--rate seconds.\n"
           "                         The scattering channels show a layer at 40% of DEPTH\n"
           "  --memory-size BYTES    size of the memory image that \"$get\" sends (default 4096)\n"
           "  --memory-out FILE      write the exact bytes of each download (image + \"etx\")\n"
           "  --fast                 send the download unpaced (default: about 3840 bytes/s)\n"
           "  -h, --help             show this text\n"
           "  --version              show the version\n"
           "\n"
           "Faults:\n"
           "  --fault-garbage N      N random bytes (never LF) before the first data line of\n"
           "                         each run, glued to that line\n"
           "  --fault-overlong       a 300-character line (\"Z\"s, then CR LF) before the first\n"
           "                         data line of each run\n"
           "  --fault-columns N      data lines carry N count columns instead of --counts;\n"
           "                         with --dev, N count columns are added to its columns\n"
           "  --fault-silence-after BYTES\n"
           "                         a download stops after BYTES bytes and never sends \"etx\"\n"
           "  --fault-reopen-after LINES\n"
           "                         after LINES data lines, replace the port once by a new\n"
           "                         one: its path is printed as a further stdout line and\n"
           "                         --link is re-pointed\n"
           "  --fault-freeze-after LINES\n"
           "                         after LINES data lines the stream stops once, the port\n"
           "                         kept open and commands still answered (a frozen meter)\n"
           "  --fault-freeze-for SECONDS\n"
           "                         the stream comes back after SECONDS (default: never)\n"
           "  --fault-close-after LINES\n"
           "                         after LINES data lines the port closes and kivo-sim\n"
           "                         exits 0 (a meter whose cable was cut)\n"
           "\n"
           "The meter cycles whenever its cycle interval is not 000000 (\"$INT\" sets it, and\n"
           "\"$PKT\" the lines a cycle); it streams without pause otherwise, as it starts.\n"
           "With --dev the memory image holds lines of that device file, one a minute from\n"
           "1 January 2004 (--alt applies); without it, lines of a date, a time and three\n"
           "counts.\n"
           "\"!!!!!\" also ends a download early, without \"etx\". SIGTERM and SIGINT exit 0.\n"
           "A bad option exits 2.\n";
}

}  // namespace kivo::sim
