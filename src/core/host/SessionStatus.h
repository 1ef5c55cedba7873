#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/plot/Readout.h"
#include "core/position/PositionKeeper.h"
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
    bool csvRecording = false;  // the CSV file with the host's receive time
    std::string csvFile;
    std::int64_t csvBytes = 0;

    // The stall watch: "Last line: N s ago", red while stalled.
    std::optional<double> secondsSinceLastLine;  // none before the first data line
    bool stalled = false;       // watched (data started or recording) and silent too long
    int stalls = 0;             // stalls begun so far: one more, one beep
    double stallSeconds = 0.0;  // the silence of the current stall, or of the last one
    bool dataStarted = false;   // Start Data sent and no Stop Data since

    // Meter minus computer UTC [s] from the meter's last report of its date and time.
    std::optional<std::int64_t> clockOffsetSeconds;

    DownloadState download = DownloadState::None;
    std::int64_t downloadBytes = 0;

    PlotChoices choices;
    bool powerUser = false;
    std::string deviceFile;        // the loaded device file's path; empty: none
    std::optional<GpsStatus> gps;  // none while the GPS is off
    // The live quality tests: what is wrong now ("470 nm saturated"), and the device-file
    // columns (1-based) whose last value failed.
    std::vector<std::string> qualityProblems;
    std::vector<int> failedColumns;
    // The disk watch while recording: "Disk: 41 h left"; empty while nothing is recorded.
    std::string diskText;
    bool diskLow = false;             // less left than an hour or 1 GB
    bool stoppedForFullDisk = false;  // the recordings were stopped before the disk was full
    // The ship's feed while it runs: where to, datagrams sent, lines that could not go.
    struct Feed {
        std::string destination;
        std::int64_t sent = 0;
        std::int64_t notSent = 0;
        bool failing = false;
    };
    std::optional<Feed> feed;
};

}  // namespace kivo
