#include "core/recording/Rotation.h"

#include <cstdio>

#include "core/data/MeterClockZone.h"

namespace kivo {

std::int64_t PeriodStart(std::int64_t utcSeconds, std::int64_t periodSeconds) {
    if (periodSeconds <= 0) return utcSeconds;
    std::int64_t start = utcSeconds - utcSeconds % periodSeconds;
    if (utcSeconds < 0 && utcSeconds % periodSeconds != 0) start -= periodSeconds;
    return start;
}

std::string RotatedPath(const std::string& path, std::int64_t startUtcSeconds) {
    const CalendarTime t = UtcCalendarTime(startUtcSeconds);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "_%04d%02d%02dT%02d%02d%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    // A name that is all extension (".raw") keeps it whole.
    if (dot == std::string::npos || dot <= nameStart) return path + stamp;
    return path.substr(0, dot) + stamp + path.substr(dot);
}

}  // namespace kivo
