#pragma once

#include <array>
#include <istream>
#include <string>

#include "core/position/PositionKeeper.h"
#include "core/seams/ShipFeedSettings.h"
#include "core/seams/StationHeader.h"

namespace kivo {

// Settings of our own beside last.rbs, which keeps its format: the device each COM number
// stands for (a USB adapter the operator chose in the port dialog), the folder of the last
// recording, and whether the meter's clock is kept in local time instead of UTC.
inline constexpr const char* kPortSettingsName = "kivoview-ports.ini";

struct PortSettings {
    std::array<std::string, 8> devices;  // COM1 to COM8; empty: not mapped
    std::string recordFolder;
    bool meterClockLocal = false;
    bool profileView = false;  // the Plot Data page shows the live profile
    StationHeader station;     // the station window's last values, proposed next time
    GpsSettings gps;           // off unless the operator turned it on
    std::string qualityFile;   // the QC file's thresholds; empty: the defaults
    ShipFeedSettings feed;     // off unless the operator turned it on
};

// Reads what it knows and skips the rest (comments, other sections, lines it cannot use),
// so a file written by a later version still gives its ports.
PortSettings ReadPortSettings(std::istream& in);
std::string FormatPortSettings(const PortSettings& settings);

}  // namespace kivo
