#pragma once

#include <cstdint>

#include "core/seams/Clock.h"

namespace kivo {

// The meter's date and time as last reported. Month 99: the meter sends no date.
struct MeterClock {
    std::int32_t month = 99;
    std::int32_t day = 0;
    std::int32_t year = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
};

// The host's time at the moment MeterClock was last written, in the zone the meter is set in.
struct HostClockSnapshot {
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t day = 0;
    std::int32_t month = 0;  // 1-12
    std::int32_t year = 0;   // two digits
};

inline bool SameTime(const MeterClock& a, const MeterClock& b) {
    return a.month == b.month && a.day == b.day && a.year == b.year && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}

inline bool SameTime(const HostClockSnapshot& a, const HostClockSnapshot& b) {
    return a.month == b.month && a.day == b.day && a.year == b.year && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}

inline void CaptureHostClock(HostClockSnapshot& snapshot, Clock& clock) {
    const LocalTime now = clock.Now();
    snapshot.hour = now.hour;
    snapshot.minute = now.minute;
    snapshot.second = now.second;
    snapshot.day = now.day;
    snapshot.month = now.month;
    snapshot.year = TwoDigitYear(now.year);
}

}  // namespace kivo
