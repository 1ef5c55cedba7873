#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SimClock.h"

namespace kivo::sim {

// Everything the command line can set; defaults are what a plain `kivo-sim` runs with.
struct SimOptions {
    std::string link;      // symlink to the port end; empty: none
    std::string logPath;   // commands received, one a line; empty: none
    std::string sentPath;  // data lines streamed, one a line; empty: none
    std::string id = "VER KIVO-SIM 1.0 SN 0001";
    double rate = 1.0;       // data lines per second while streaming [Hz]
    bool dateField = false;  // "MM/DD/YY" field
    bool timeField = false;  // "HH:MM:SS" field
    bool alternate = false;  // "MMDDYY" and "HHMMSS" as the first two fields
    int counts = 3;          // count columns per data line
    std::string devicePath;  // data lines that fit this device file; empty: the options above
    std::uint32_t seed = 1;
    bool autorun = false;
    std::size_t memorySize = 4096;   // bytes of the memory image [bytes]
    std::string memoryOut;           // copy of each download's bytes; empty: none
    bool fast = false;               // no baud pacing of the download
    std::optional<CivilTime> clock;  // start of the meter clock; none: host time
    // Cycle mode from the start: this many data lines a cycle, and the cycle interval
    // (hhmmss) the setup reports; none: the meter streams until its setup says otherwise.
    std::optional<int> cycleLines;
    std::string cycleInterval;
    // Casts to this depth, one after another, with the --dev file's pressure column [dbar];
    // none: the counts wander as usual.
    std::optional<double> castDepth;

    // Faults, each off unless given.
    int garbageBytes = 0;                     // random non-LF bytes before a run's first line
    bool overlong = false;                    // a 300-character line before a run's first line
    std::optional<int> faultColumns;          // count columns instead of `counts`
    std::optional<std::size_t> silenceAfter;  // download stops after this many bytes, no "etx"
    std::optional<long> reopenAfter;          // data lines before the port is replaced once
    std::optional<long> freezeAfter;          // data lines before the stream stops once
    double freezeFor = 0.0;                   // how long it stays stopped [s]; 0: for ever
    std::optional<long> closeAfter;           // data lines before the port closes for good
};

// What the command line asks for: run, print the usage or the version, or refuse.
struct ParsedCommandLine {
    enum class Kind { Run, Help, Version, Error };
    Kind kind = Kind::Run;
    SimOptions options;
    std::string error;  // one line, for Kind::Error
};

ParsedCommandLine ParseSimOptions(const std::vector<std::string>& arguments);
std::string SimUsage();

// The longest memory the meter has: 4095 pages of 264 bytes.
inline constexpr std::size_t kMaxMemoryBytes = 4095u * 264u;

}  // namespace kivo::sim
