#pragma once

#include <array>
#include <optional>
#include <string>

namespace kivo {

// What the setup pages show of the meter: its setup as last reported, its memory, both
// clocks, the FL-Setup ranges of the device file. Each text is the label's whole text; an
// empty optional is a label never set, which keeps the window's own caption.
struct SetupPanel {
    std::optional<std::string> average;        // "Average: 30"
    std::optional<std::string> samples;        // "Number of Sample: 1"
    std::optional<std::string> cycles;         // "Number of Cycles: 0"
    std::optional<std::string> cycleInterval;  // "Cycle Interval: 00:00:10"
    std::optional<bool> loggingOn;             // "Logging: ON", "Turn Logging OFF"
    std::optional<bool> engrOutputOn;          // "Engr Output: ON", "Turn Engr Output OFF"
    std::optional<std::string> memoryUsed;     // "Used:  25 K  2.4 %"
    std::optional<std::string> memoryFree;     // "Free:  1029 K  97.6 %"
    std::optional<std::string> meterClock;     // the meter's date and time, or line count
    std::optional<std::string> hostClock;      // the computer's, in the meter's zone
    // The lamp timings, in the order ph1 on, ph1 off, ph11 on, ph11 off.
    std::array<std::optional<std::string>, 4> timings;
    std::optional<std::string> meterScale;   // the meter's engineering scale, "0.0031"
    std::optional<std::string> meterOffset;  // the meter's ug/l offset
    // The analog ranges of the device file and the arrow at the meter's range (1, 2 or 4).
    std::optional<std::string> hiResRange;
    std::optional<std::string> stdResRange;
    std::optional<std::string> wideRange;
    std::optional<int> analogRange;
    std::optional<std::string> deviceScale;   // the device file's engineering scale
    std::optional<std::string> deviceOffset;  // the device file's offset
    std::optional<bool> flSetupPage;          // the FL-Setup page shown
    // The meter runs the setup stored in its flash ("Setup is Current", hidden) or one
    // changed since ("Setup Not Stored", in yellow).
    std::optional<bool> setupStored;
};

}  // namespace kivo
