#pragma once

#include "core/plot/PointStore.h"

namespace kivo {

// How an axis follows the values plotted on it.
enum class TrackingStyle {
    SmoothScroll,    // the newest value stays at the top (right) edge, the span is kept
    ExpandCollapse,  // the range is exactly the spread of the visible points
    ScaleMinMax,     // the range only ever grows to take in each value
};

// What an axis does with the first value after its first-point flag was cleared.
enum class FirstPointAlignment {
    None,
    Auto,  // a value outside the range becomes the new minimum
};

// One axis: the visible range is minimum .. minimum + span.
struct ChartAxis {
    double minimum = 0.0;
    double span = 100.0;
    bool firstPointSeen = false;
    TrackingStyle tracking = TrackingStyle::SmoothScroll;
    FirstPointAlignment alignment = FirstPointAlignment::None;
    bool logarithmic = false;

    double Maximum() const { return minimum + span; }
    bool Contains(double value) const { return value >= minimum && value <= minimum + span; }
};

// Moves the axis for one plotted value: first-point alignment, then smooth scroll or
// scale-to-min-and-max. Expand/collapse needs the visible points and is left to
// FitToSpread.
void TrackValue(ChartAxis& axis, double value);

// Expand/collapse: the range becomes the spread when there is one; no visible point or a
// flat trace leaves the range as it was.
void FitToSpread(ChartAxis& axis, const YSpread& spread);

}  // namespace kivo
