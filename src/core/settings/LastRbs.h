#pragma once

#include <array>
#include <istream>
#include <optional>
#include <string>

namespace kivo {

// The settings a run leaves for the next: twelve integers on line 1, the device file's
// name and extension on line 2.
struct LastRbs {
    enum Field {
        HostPortItem,
        BaudRateItem,
        PowerUser,
        StatsMode,
        PlotType,
        BBPlotChoice,
        ITempPlot,
        XTempPlot,
        PresPlot,
        RefChannelCorrection,
        TempCorrection,
        AlternateCommands,
        kFieldCount
    };
    std::array<int, kFieldCount> values{};
    std::string deviceFile;  // name and extension, no directory
};

inline constexpr const char* kLastRbsName = "last.rbs";

// The file's exact text: "%d %d %d %d %d %d %d %d %d %d %d %d\n%s%s\n".
std::string FormatLastRbs(const LastRbs& settings);

// Reads the file: twelve integers scanned from line 1 across any white space (fewer than
// twelve: nothing), line 2 cut at 199 characters with CR and LF removed. Each line is read
// with room for 199 characters; the rest of a longer line 1 is read as line 2.
std::optional<LastRbs> ReadLastRbs(std::istream& in);

// "/home/x/meters/kivo.dev" -> "kivo.dev".
std::string FileNameOf(const std::string& path);

}  // namespace kivo
