#pragma once

#include <cstdint>
#include <string>

#include "core/data/DeviceCalibration.h"
#include "core/protocol/SetupState.h"
#include "core/seams/View.h"

namespace kivo {

// "Used:  25 K  2.4 %" for 100 of the meter's 4095 pages of 264 bytes.
std::string MemoryUsedLabel(std::int32_t usedPages);
// "Free:  1029 K  97.6 %" for 100 pages used.
std::string MemoryFreeLabel(std::int32_t usedPages);
// The meter's engineering scale from its code: 31 -> "0.0031".
std::string EngrScaleLabel(std::int32_t scaleCode);

// The half-second refresh of the setup pages: the values the meter last reported, its
// memory, both clocks, the FL-Setup ranges of the device file. Clears the one-shot flags of
// the engineering scale and offset once it has shown them.
void RefreshSetupDisplay(SetupState& setup, const MeterClock& meterClock,
                         const HostClockSnapshot& hostClock, const DeviceCalibration& calibration,
                         double dataLineCount, View& view);

}  // namespace kivo
