#pragma once

#include <string>

#include "core/protocol/SetupState.h"

namespace kivo {

// "KIVO:   MM/DD/YY  HH:MM:SS", or the count of data lines when the meter sends no date.
std::string MeterClockLabel(const MeterClock& clock, double dataLineCount);
// "Host:  MM/DD/YY  HH:MM:SS" of the host's time when the meter's clock was last written.
std::string HostClockLabel(const HostClockSnapshot& clock);

}  // namespace kivo
