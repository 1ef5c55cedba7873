#pragma once

#include <string>
#include <vector>

#include "core/position/PositionKeeper.h"
#include "core/seams/StationHeader.h"

namespace kivo {

struct LogOptions {
    std::string portPath;  // --port, or the device COMn stands for
    int comNumber = 0;     // --com N
    int baud = 19200;
    std::string devicePath;
    bool alternate = false;
    std::string rawPath;
    std::string engPath;
    std::string csvPath;  // the engineering units again, as CSV for other programs
    // What to do with a record file that is already there and not empty: refuse (the
    // default, so a restarted command line never wipes the earlier recording), append, or
    // overwrite.
    bool append = false;
    bool overwrite = false;
    bool start = false;
    double durationSeconds = 0.0;  // 0: until stopped
    int tickMs = 55;               // the pump's tick [ms]
    // The silence told as a stall [s]; 0: the one the meter's rate and cycle interval give.
    double stallAfterSeconds = 0.0;
    // --station, --cast, --operator, --notes: into the event log and every export's attributes.
    StationHeader station;
    GpsSettings gps;         // --gps [HOST[:PORT]]: positions from gpsd; off without it
    bool quiet = false;      // --quiet: the status line once a minute
    long rotateSeconds = 0;  // --rotate: a new piece of every file at each boundary [s]; 0: none
    std::string qcPath;      // --qc: the quality tests' thresholds; empty: the defaults
    bool qcOff = false;      // --qc none: no flags in the CSV file
    std::string udpHost;     // --udp HOST:PORT: each sample as a datagram; empty: no feed
    int udpPort = 0;
    std::string tag;  // --tag: the datagrams' first field; empty: the device file's stem
};

struct ParsedLogLine {
    enum class Kind { Run, Help, Version, Error };
    Kind kind = Kind::Run;
    LogOptions options;
    std::string error;
};

ParsedLogLine ParseLogOptions(const std::vector<std::string>& arguments);
std::string LogUsage();

}  // namespace kivo
