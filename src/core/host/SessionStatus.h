#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/plot/Readout.h"
#include "core/recording/Download.h"

namespace kivo {

// Where a session stands, as data: the window presents it through its labels, kivo-log
// prints it. Taken whenever wanted; nothing in it is formatted for a control.
struct SessionStatus {
    std::optional<float> sampleRateHz;  // the last estimate; none before the first
    bool replay = false;                // lines come from a raw file, not the meter
    double dataLines = 0.0;             // accepted since the start
    std::uint64_t bytesRead = 0;
    int port = 0;                      // the COM number open, 0 none
    int lostPort = 0;                  // the COM number being retried after it went away, 0 none
    bool setupRequestPending = false;  // the automatic "$mnu" after a port opened is yet to go

    bool rawRecording = false;
    std::string rawFile;
    std::int64_t rawBytes = 0;
    bool engRecording = false;
    std::string engFile;
    std::int64_t engBytes = 0;

    DownloadState download = DownloadState::None;
    std::int64_t downloadBytes = 0;

    PlotChoices choices;
    bool powerUser = false;
    std::string deviceFile;  // the loaded device file's path; empty: none
};

}  // namespace kivo
