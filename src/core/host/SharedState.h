#pragma once

#include <cstdint>
#include <string>

#include "core/recording/Download.h"

namespace kivo {

// The format of the window caption; "%s" takes the meter's identification line.
inline constexpr const char* kTitleFormat = "KIVO View:  v1.16 10/20/03      KIVO: %s";
inline constexpr const char* kDefaultDeviceName = "KIVO Sensor";

// Process-wide flags, modes, choices and counters, owned by the session.
// Byte counters are 64-bit so a recording of several GiB never wraps; the labels still
// show them as the program always did.
struct SharedState {
    // port
    int PortNumber = 0;  // 1-8 while open
    int BaudIndex = 2;   // 0 4800, 1 9600, 2 19200, 3 38400

    // device file
    std::string DevicePath;  // empty: no device file loaded
    std::string DeviceName = kDefaultDeviceName;
    bool PlotSetupPending = false;

    // user and plot choices
    int powerUser = 0;
    int StatsMode = 0;
    int PlotType = 0;
    int BBPlotChoice = 0;
    int ITempPlot = 0;
    int XTempPlot = 0;
    int PresPlot = 0;

    // corrections, changed only through last.rbs
    int RefChannelCorrection = 0;
    int TempCorrection = 0;

    // modes
    bool alternateCommands = false;     // the check mark of "Alternate Commands"
    bool advancedSetupChecked = false;  // the check mark of "Advanced Setup"
    bool ReplayMode = false;
    bool ReplayRunning = false;
    bool DownloadActive = false;
    DownloadState DownloadStatus = DownloadState::None;

    // counters
    std::uint64_t BytesRead = 0;
    std::int64_t DownloadByteCount = 0;
    std::uint32_t TickCount = 0;

    // sample-rate estimate
    int RateLineCount = -1;  // -1 restarts the measurement
    int RateWindow = 5;
    std::uint32_t RateTickStamp = 0;

    unsigned autoMenuCountdown = 10;  // 55 ms ticks until "$mnu" goes out
    bool NewDataLine = false;
};

}  // namespace kivo
