#pragma once

#include <cstdint>
#include <string>

#include "core/host/Clock.h"

namespace kivo {

// The host's copy of the meter's setup, filled only by the meter's replies.
struct SetupState {
    bool meterIdentified = false;
    std::uint32_t averageCount = 1;
    std::uint32_t sampleCount = 1;
    std::uint32_t cycleCount = 1;
    std::string cycleInterval = "hhmmss";  // at most 39 characters
    std::uint32_t loggingOn = 0;
    std::uint32_t engrOutputOn = 0;
    std::uint32_t analogRange = 2;
    std::int32_t uglScaleCode = 1;  // engineering scale x 10000
    bool uglScaleFresh = false;
    std::int32_t uglOffset = 0;
    bool uglOffsetFresh = false;
    std::int32_t ph1OnTime = 5;
    std::int32_t ph1OffTime = 5;
    std::int32_t ph11OnTime = 5;
    std::int32_t ph11OffTime = 5;
    bool ph1OnKnown = false;
    bool ph1OffKnown = false;
    bool ph11OnKnown = false;
    bool ph11OffKnown = false;
    std::int32_t memoryUsedPages = -1;  // of 4095 pages of 264 bytes
    bool reloadPending = false;
};

// The meter's date and time as last reported. Month 99: the meter sends no date.
struct MeterClock {
    std::int32_t month = 99;
    std::int32_t day = 0;
    std::int32_t year = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
};

// The host's local time at the moment MeterClock was last written.
struct HostClockSnapshot {
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t day = 0;
    std::int32_t month = 0;  // 1-12
    std::int32_t year = 0;   // two digits
};

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
