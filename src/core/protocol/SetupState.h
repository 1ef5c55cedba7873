#pragma once

#include <cstdint>
#include <string>

#include "core/data/MeterClock.h"

namespace kivo {

// The host's copy of the meter's setup, filled only by the meter's replies.
struct SetupState {
    bool meterIdentified = false;
    std::string identification;  // the meter's last identification line, as received
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

}  // namespace kivo
