#pragma once

#include <cstdint>
#include <string>

#include "core/data/DeviceCalibration.h"
#include "core/protocol/SetupPanel.h"
#include "core/protocol/SetupState.h"

namespace kivo {

// "Used:  25 K  2.4 %" for 100 of the meter's 4095 pages of 264 bytes.
std::string MemoryUsedLabel(std::int32_t usedPages);
// "Free:  1029 K  97.6 %" for 100 pages used.
std::string MemoryFreeLabel(std::int32_t usedPages);
// The meter's engineering scale from its code: 31 -> "0.0031".
std::string EngrScaleLabel(std::int32_t scaleCode);

// What the clock labels show: the meter's clock as last reported (or the count of data
// lines when it sends no date), and the host's clock at that moment in the named zone.
struct ShownClocks {
    const MeterClock& meter;
    const HostClockSnapshot& host;
    std::string hostZone;  // "UTC", or the local zone's short name
    double dataLineCount = 0;
};

// The half-second refresh of the setup pages: the values the meter last reported, its
// memory, both clocks, the FL-Setup ranges of the device file. Clears the one-shot flags of
// the engineering scale and offset once it has shown them.
void RefreshSetupDisplay(SetupState& setup, const ShownClocks& clocks,
                         const DeviceCalibration& calibration, SetupPanel& panel);

}  // namespace kivo
