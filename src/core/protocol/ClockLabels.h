#pragma once

#include <string>

#include "core/protocol/SetupState.h"

namespace kivo {

// "KIVO:   MM/DD/YY  HH:MM:SS", or the count of data lines when the meter sends no date.
std::string MeterClockLabel(const MeterClock& clock, double dataLineCount);
// "Host:  MM/DD/YY  HH:MM:SS UTC" of the host's time when the meter's clock was last
// written, in the zone the meter is set in, named.
std::string HostClockLabel(const HostClockSnapshot& clock, const std::string& zone);

}  // namespace kivo
