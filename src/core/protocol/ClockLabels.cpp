#include "core/protocol/ClockLabels.h"

#include "core/text/CFormat.h"

namespace kivo {

std::string MeterClockLabel(const MeterClock& clock, double dataLineCount) {
    if (clock.month == 99) return FormatC("KIVO:  %1.0lf", dataLineCount);
    return FormatC("KIVO:   %02d/%02d/%02d  %02d:%02d:%02d", clock.month, clock.day, clock.year,
                   clock.hour, clock.minute, clock.second);
}

std::string HostClockLabel(const HostClockSnapshot& clock, const std::string& zone) {
    return FormatC("Host:  %02d/%02d/%02d  %02d:%02d:%02d %s", clock.month, clock.day, clock.year,
                   clock.hour, clock.minute, clock.second, zone.c_str());
}

}  // namespace kivo
