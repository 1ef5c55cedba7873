#include "core/plot/ChartAxis.h"

#include <cmath>

namespace kivo {

namespace {

// A logarithmic axis cannot start at or below zero.
void KeepLogarithmicRangePositive(ChartAxis& axis) {
    if (!axis.logarithmic) return;
    if (!(axis.minimum > 0.0)) axis.minimum = 1.0;
    if (!(axis.span > 0.0)) axis.span = 1.0;
}

}  // namespace

void TrackValue(ChartAxis& axis, double value) {
    if (!axis.firstPointSeen) {
        axis.firstPointSeen = true;
        if (axis.alignment == FirstPointAlignment::Auto && !axis.Contains(value)) {
            axis.minimum = value;
        }
    }
    switch (axis.tracking) {
        case TrackingStyle::SmoothScroll:
            if (value > axis.Maximum()) axis.minimum = value - axis.span;
            break;
        case TrackingStyle::ScaleMinMax:
            if (value > axis.Maximum()) axis.span = value - axis.minimum;
            // Only the minimum moves down; the top edge goes down with it.
            if (value < axis.minimum) axis.minimum = value;
            break;
        case TrackingStyle::ExpandCollapse:
            break;
    }
    KeepLogarithmicRangePositive(axis);
}

void FitToSpread(ChartAxis& axis, const YSpread& spread) {
    if (!spread.any || spread.largest == spread.smallest) return;
    const double span = spread.largest - spread.smallest;
    // Values near the ends of the double range would give an infinite span.
    if (!std::isfinite(span)) return;
    axis.minimum = spread.smallest;
    axis.span = span;
    KeepLogarithmicRangePositive(axis);
}

}  // namespace kivo
