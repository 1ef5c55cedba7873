#include "core/protocol/ClockLabels.h"

#include <cstdio>

namespace kivo {

std::string MeterClockLabel(const MeterClock& clock, double dataLineCount) {
    char text[128];
    if (clock.month == 99) {
        std::snprintf(text, sizeof text, "KIVO:  %1.0lf", dataLineCount);
    } else {
        std::snprintf(text, sizeof text, "KIVO:   %02d/%02d/%02d  %02d:%02d:%02d", clock.month,
                      clock.day, clock.year, clock.hour, clock.minute, clock.second);
    }
    return text;
}

std::string HostClockLabel(const HostClockSnapshot& clock) {
    char text[128];
    std::snprintf(text, sizeof text, "Host:  %02d/%02d/%02d  %02d:%02d:%02d", clock.month,
                  clock.day, clock.year, clock.hour, clock.minute, clock.second);
    return text;
}

}  // namespace kivo
