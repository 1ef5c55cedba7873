#include "tools/kivo-log/LogOptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "core/seams/BaudRates.h"

namespace kivo {

std::string LogUsage() {
    return "Usage: kivo-log (--port PATH | --com N) [--baud 19200] --dev METER.dev [--alt]\n"
           "                [--raw OUT.raw] [--eng OUT.eng] [--csv OUT.csv]\n"
           "                [--append | --overwrite]\n"
           "                [--start] [--duration SECONDS] [--stall-after SECONDS]\n"
           "                [--station NAME] [--cast N] [--operator NAME] [--notes TEXT]\n"
           "                [--gps [HOST[:PORT]]] [--qc FILE|none]\n"
           "                [--rotate hourly|daily|SECONDS] [--quiet] [--config FILE]\n"
           "                [--udp HOST:PORT [--tag TEXT]]\n"
           "Logs a KIVO meter without a window: the same pump, conversion and record files as\n"
           "KIVO View, on the same 55 ms tick. Once a second it prints one status line: the\n"
           "sample rate, the data lines accepted, the readout of every channel and the file\n"
           "sizes (on stderr when a record file is standard output). SIGINT (Ctrl-C), SIGTERM\n"
           "and SIGHUP stop it cleanly. A port that goes away\n"
           "is told once and tried again every 2 seconds; logging resumes when it is back.\n"
           "A record file that fails (disk full) stops it at once. While --start was given or\n"
           "a record file is written, a meter silent for three sample intervals (at least\n"
           "3 s; a meter whose setup reports a cycle interval is given that interval on\n"
           "top, for its pause between cycles) or for --stall-after SECONDS is told once on\n"
           "stderr (\"No data for N s at TIME\"), and again when lines\n"
           "return (\"Data again at TIME after N s\"). Events (port, stalls, recordings,\n"
           "commands sent) are appended to kivoview-events.log beside the first record file.\n"
           "\n"
           "  --port PATH          the meter's serial device, e.g. /dev/ttyUSB0 or a\n"
           "                       /dev/serial/by-id/ name; COM1 to COM8 as --com\n"
           "  --com N              COMn, 1 to 8, as the window maps it: the device kept in\n"
           "                       ./kivoview-ports.ini, else /dev/ttyS(N-1)\n"
           "  --baud RATE          4800, 9600, 19200 (default) or 38400\n"
           "  --dev FILE           the meter's device file (required)\n"
           "  --alt                alternate-command mode: six-digit date and time fields\n"
           "  --raw FILE           record the accepted data lines (*.raw)\n"
           "  --eng FILE           record the engineering units (*.eng)\n"
           "  --csv FILE           record the engineering units as CSV (full precision, the\n"
           "                       meter's time in ISO 8601 and the computer's UTC receive\n"
           "                       time with milliseconds, a \"#\" header with the\n"
           "                       calibration and ./kivoview-metadata.ini's attributes),\n"
           "                       beside or instead of --eng\n"
           "  --append             add to record files that are already there (an *.eng\n"
           "                       file only when its heading is the one this device file\n"
           "                       gives, a CSV file only when its columns are); without it\n"
           "                       or --overwrite, a record file that is there and not\n"
           "                       empty is refused\n"
           "  --overwrite          replace record files that are already there\n"
           "  --start              send \"$run\" once the meter's setup was asked for, and\n"
           "                       \"!!!!!\" when stopping\n"
           "  --duration SECONDS   stop by itself after this long, even when a record file\n"
           "                       blocks (a write still waiting a second later fails)\n"
           "  --stall-after SECONDS\n"
           "                       the silence told as a stall, instead of the one the\n"
           "                       meter's rate and cycle interval give\n"
           "  --gps [HOST[:PORT]]  positions from gpsd (default localhost:2947): lat, lon,\n"
           "                       gps_time and fix columns in the CSV file and a track\n"
           "                       NAME.track.csv beside the raw (or first) record file;\n"
           "                       gpsd absent or lost is told once and tried again\n"
           "  --rotate hourly|daily|SECONDS\n"
           "                       files by the clock: every record file (and the track)\n"
           "                       is named with its UTC start, NAME_yyyymmddThhmmssZ.raw,\n"
           "                       and a new one begins at each UTC hour, day or multiple\n"
           "                       of SECONDS since 1970; no line is cut or written twice\n"
           "  --udp HOST:PORT      each sample as one UDP datagram to the ship's data system:\n"
           "                       the tag, a comma, then the CSV line (the meter's and the\n"
           "                       computer's UTC time, the position with --gps, every\n"
           "                       value); never waits, a failure counted and told once\n"
           "  --tag TEXT           the datagrams' first field (default the device file's\n"
           "                       name without .dev)\n"
           "  --quiet              the status line once a minute, not every second (events\n"
           "                       are told as they come); so under the service manager too\n"
           "  --config FILE        key = value lines, the keys the long options without \"--\"\n"
           "                       (dev = /etc/kivo-log/bb9.dev, rotate = daily, start =\n"
           "                       yes); an option given on the command line wins\n"
           "  --qc FILE|none       quality-test thresholds (see the README, \"Quality flags\"):\n"
           "                       a saturated or flat-lined channel is told on stderr\n"
           "                       and the CSV file gets each value's flag; without it\n"
           "                       saturation and flat line run with their defaults;\n"
           "                       'none': no flags in the CSV file\n"
           "  --station NAME, --cast N, --operator NAME, --notes TEXT\n"
           "                       the station header: in the event log as the recording\n"
           "                       starts and in the CSV file's header, as the window's\n"
           "                       Station window keeps them\n"
           "  --tick MS            the pump's tick, 1 to 1000 ms (default 55, as the window);\n"
           "                       a shorter tick takes a faster stream (soak tests)\n"
           "  -h, --help           show this text\n"
           "  --version            show the version\n"
           "\n"
           "Exit status: 0 stopped cleanly, 1 the port, the device file or a record file\n"
           "failed (a FIFO nobody reads fails at once), 2 a usage error or a refused record\n"
           "file (the same file twice under any name, the device file, the port, or one\n"
           "already there). All record files are opened before any is emptied.\n";
}

namespace {

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The options a configuration file may set, and whether each is a switch.
struct ConfigKey {
    const char* name;
    bool flag;
};
constexpr ConfigKey kConfigKeys[] = {
    {"port", false},        {"com", false},      {"baud", false},    {"dev", false},
    {"alt", true},          {"raw", false},      {"eng", false},     {"csv", false},
    {"append", true},       {"overwrite", true}, {"start", true},    {"duration", false},
    {"stall-after", false}, {"tick", false},     {"station", false}, {"cast", false},
    {"operator", false},    {"notes", false},    {"gps", false},     {"qc", false},
    {"rotate", false},      {"quiet", true},     {"udp", false},     {"tag", false},
};

std::optional<bool> Switch(const std::string& value) {
    for (const char* yes : {"yes", "true", "on", "1"})
        if (value == yes) return true;
    for (const char* no : {"no", "false", "off", "0"})
        if (value == no) return false;
    return std::nullopt;
}

// The options of a configuration file as command-line arguments, each line checked on its
// own so that a mistake is told with its line; an option the command line gives is left
// out, so that the command line wins.
std::optional<std::vector<std::string>> ConfigArguments(const std::string& path,
                                                        const std::vector<std::string>& given,
                                                        std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the configuration '" + path + "'";
        return std::nullopt;
    }
    const auto onCommandLine = [&given](const std::string& option) {
        const bool port = option == "--port" || option == "--com";
        return std::any_of(given.begin(), given.end(), [&](const std::string& a) {
            return a == option || (port && (a == "--port" || a == "--com"));
        });
    };
    std::vector<std::string> arguments;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const std::string where = path + " line " + std::to_string(number) + ": ";
        // A comment is a line of its own, or follows a blank: "notes = bottle #3" keeps its #.
        for (const char* blankHash : {" #", "\t#"}) line = line.substr(0, line.find(blankHash));
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            error = where + "a line is key = value";
            return std::nullopt;
        }
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        const auto known = std::find_if(std::begin(kConfigKeys), std::end(kConfigKeys),
                                        [&key](const ConfigKey& k) { return key == k.name; });
        if (known == std::end(kConfigKeys)) {
            error = where + "no option '" + key + "'";
            return std::nullopt;
        }
        const std::string option = "--" + key;
        std::vector<std::string> these;
        if (known->flag) {
            const std::optional<bool> on = Switch(value);
            if (!on) {
                error = where + key + " takes yes or no, not '" + value + "'";
                return std::nullopt;
            }
            if (*on) these = {option};
        } else if (key == "gps" && (value.empty() || Switch(value))) {
            if (Switch(value).value_or(true)) these = {option};
        } else {
            these = {option, value};
        }
        // Checked as the command line checks it.
        std::vector<std::string> alone = {"--port", "/dev/null", "--dev", "x"};
        if (key == "port" || key == "com") alone.clear();
        if (key == "dev") alone = {"--port", "/dev/null"};
        alone.insert(alone.end(), these.begin(), these.end());
        if (key == "port" || key == "com") alone.insert(alone.end(), {"--dev", "x"});
        const ParsedLogLine checked = ParseLogOptions(alone);
        if (checked.kind == ParsedLogLine::Kind::Error) {
            error = where + checked.error;
            return std::nullopt;
        }
        if (!onCommandLine(option)) arguments.insert(arguments.end(), these.begin(), these.end());
    }
    return arguments;
}

}  // namespace

ParsedLogLine ParseLogOptions(const std::vector<std::string>& given) {
    // A configuration file's options come first, so that the command line's win.
    std::vector<std::string> arguments;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given[i] != "--config") continue;
        if (i + 1 >= given.size()) {
            ParsedLogLine parsed;
            parsed.kind = ParsedLogLine::Kind::Error;
            parsed.error = "--config needs a file";
            return parsed;
        }
        std::string error;
        const std::optional<std::vector<std::string>> fromFile =
            ConfigArguments(given[i + 1], given, error);
        if (!fromFile) {
            ParsedLogLine parsed;
            parsed.kind = ParsedLogLine::Kind::Error;
            parsed.error = error;
            return parsed;
        }
        arguments.insert(arguments.end(), fromFile->begin(), fromFile->end());
    }
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given[i] == "--config") {
            ++i;
            continue;
        }
        arguments.push_back(given[i]);
    }
    ParsedLogLine parsed;
    LogOptions& o = parsed.options;
    const auto fail = [&parsed](const std::string& why) {
        parsed.kind = ParsedLogLine::Kind::Error;
        parsed.error = why;
        return parsed;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        std::string value;
        const auto take = [&]() {
            if (i + 1 >= arguments.size()) return false;
            value = arguments[++i];
            return true;
        };
        if (a == "-h" || a == "--help") {
            parsed.kind = ParsedLogLine::Kind::Help;
            return parsed;
        } else if (a == "--version") {
            parsed.kind = ParsedLogLine::Kind::Version;
            return parsed;
        } else if (a == "--port") {
            if (!take() || value.empty()) return fail("--port needs a device path");
            // "COM3" is the window's name for a port: the device it was mapped to.
            if (value.size() == 4 && value.compare(0, 3, "COM") == 0 && value[3] >= '1' &&
                value[3] <= '8')
                o.comNumber = value[3] - '0';
            else
                o.portPath = value;
        } else if (a == "--com") {
            if (!take() || value.size() != 1 || value[0] < '1' || value[0] > '8')
                return fail("--com needs a port number from 1 to 8");
            o.comNumber = value[0] - '0';
        } else if (a == "--baud") {
            if (!take()) return fail("--baud needs a rate");
            // The rate as written, digit for digit: "019200" is no speed of the meters.
            const auto rate =
                std::find_if(kBaudRates.begin(), kBaudRates.end(),
                             [&value](int known) { return std::to_string(known) == value; });
            if (rate == kBaudRates.end())
                return fail("--baud takes 4800, 9600, 19200 or 38400, not '" + value + "'");
            o.baud = *rate;
        } else if (a == "--dev") {
            if (!take()) return fail("--dev needs a device file");
            o.devicePath = value;
        } else if (a == "--raw") {
            if (!take()) return fail("--raw needs a file name");
            o.rawPath = value;
        } else if (a == "--eng") {
            if (!take()) return fail("--eng needs a file name");
            o.engPath = value;
        } else if (a == "--csv") {
            if (!take()) return fail("--csv needs a file name");
            o.csvPath = value;
        } else if (a == "--stall-after") {
            if (!take()) return fail("--stall-after needs a number of seconds");
            char* end = nullptr;
            errno = 0;
            o.stallAfterSeconds = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || errno != 0 || !(o.stallAfterSeconds > 0) ||
                o.stallAfterSeconds > 86400)
                return fail("--stall-after takes 0 < SECONDS <= 86400, not '" + value + "'");
        } else if (a == "--tick") {
            if (!take()) return fail("--tick needs milliseconds");
            char* end = nullptr;
            const long ms = std::strtol(value.c_str(), &end, 10);
            if (end == value.c_str() || *end != '\0' || ms < 1 || ms > 1000)
                return fail("--tick takes 1 to 1000 milliseconds, not '" + value + "'");
            o.tickMs = static_cast<int>(ms);
        } else if (a == "--station" || a == "--cast" || a == "--operator" || a == "--notes") {
            if (!take()) return fail(a + " needs a value");
            StationHeader& s = o.station;
            std::string& field = a == "--station"    ? s.station
                                 : a == "--cast"     ? s.cast
                                 : a == "--operator" ? s.operatorName
                                                     : s.notes;
            field = value;
        } else if (a == "--qc") {
            if (!take() || value.empty()) return fail("--qc needs a file, or none");
            o.qcOff = value == "none";
            o.qcPath = o.qcOff ? std::string() : value;
        } else if (a == "--gps") {
            o.gps.enabled = true;
            // The address is optional: an argument that is no option is taken as it.
            if (i + 1 < arguments.size() && arguments[i + 1].rfind("-", 0) != 0) {
                const std::optional<GpsSettings> address = ParseGpsAddress(arguments[++i]);
                if (!address)
                    return fail("--gps takes HOST, HOST:PORT or [IPV6]:PORT, not '" + arguments[i] +
                                "'");
                o.gps = *address;
            }
        } else if (a == "--rotate") {
            if (!take()) return fail("--rotate needs hourly, daily or a number of seconds");
            char* end = nullptr;
            const long seconds = value == "hourly"  ? 3600
                                 : value == "daily" ? 86400
                                                    : std::strtol(value.c_str(), &end, 10);
            if ((end != nullptr && (end == value.c_str() || *end != '\0')) || seconds < 10 ||
                seconds > 86400)
                return fail("--rotate takes hourly, daily or 10 to 86400 seconds, not '" + value +
                            "'");
            o.rotateSeconds = seconds;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--udp") {
            // HOST:PORT, [IPV6]:PORT: where the ship's data system listens.
            const std::size_t colon = take() ? value.rfind(':') : std::string::npos;
            std::string host = colon == std::string::npos ? "" : value.substr(0, colon);
            if (host.size() > 1 && host.front() == '[' && host.back() == ']')
                host = host.substr(1, host.size() - 2);
            char* end = nullptr;
            const long port =
                colon == std::string::npos ? 0 : std::strtol(value.c_str() + colon + 1, &end, 10);
            if (host.empty() || host.find_first_of(" \t") != std::string::npos || end == nullptr ||
                end == value.c_str() + colon + 1 || *end != '\0' || port < 1 || port > 65535)
                return fail("--udp takes HOST:PORT or [IPV6]:PORT, not '" + value + "'");
            o.udpHost = host;
            o.udpPort = static_cast<int>(port);
        } else if (a == "--tag") {
            if (!take()) return fail("--tag needs a text");
            const bool plain = !value.empty() && value.size() <= 32 &&
                               value.find_first_not_of(
                                   "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnop"
                                   "qrstuvwxyz0123456789-_.") == std::string::npos;
            if (!plain)
                return fail("--tag takes up to 32 letters, digits, '-', '_' and '.', not '" +
                            value + "'");
            o.tag = value;
        } else if (a == "--append") {
            o.append = true;
        } else if (a == "--overwrite") {
            o.overwrite = true;
        } else if (a == "--alt") {
            o.alternate = true;
        } else if (a == "--start") {
            o.start = true;
        } else if (a == "--duration") {
            if (!take()) return fail("--duration needs a number of seconds");
            char* end = nullptr;
            errno = 0;
            o.durationSeconds = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || errno != 0 ||
                !std::isfinite(o.durationSeconds) || o.durationSeconds <= 0)
                return fail("--duration takes a positive number of seconds, not '" + value + "'");
        } else {
            return fail("unknown argument '" + a + "'");
        }
    }
    if (o.portPath.empty() == (o.comNumber == 0))
        return fail("give the meter's port with either --port PATH or --com N");
    if (o.devicePath.empty()) return fail("no device file given (--dev METER.dev)");
    if (o.append && o.overwrite) return fail("give --append or --overwrite, not both");
    return parsed;
}

}  // namespace kivo
