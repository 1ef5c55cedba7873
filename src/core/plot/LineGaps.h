#pragma once

namespace kivo {

// A pause in the data longer than this many sample intervals is a loss, not the meter's
// pace: the chart breaks its line there instead of drawing a straight one across it.
inline constexpr double kGapIntervals = 5.0;

// Whether a pause of `pause` between two lines breaks the line, at a sample interval of
// `sampleInterval` (both in the same unit); never without an interval.
inline bool BreaksLine(double pause, double sampleInterval) {
    return sampleInterval > 0.0 && pause > kGapIntervals * sampleInterval;
}

}  // namespace kivo
