#include "core/position/Track.h"

#include <algorithm>
#include <cmath>

namespace kivo {

Track::Track(std::vector<PositionFix> fixes) : fixes_(std::move(fixes)) {
    fixes_.erase(std::remove_if(fixes_.begin(), fixes_.end(),
                                [](const PositionFix& f) { return !std::isfinite(f.time); }),
                 fixes_.end());
    std::stable_sort(fixes_.begin(), fixes_.end(),
                     [](const PositionFix& a, const PositionFix& b) { return a.time < b.time; });
}

std::optional<PositionFix> Track::At(double time, double gapSeconds) const {
    if (!std::isfinite(time) || fixes_.empty()) return std::nullopt;
    const auto after =
        std::lower_bound(fixes_.begin(), fixes_.end(), time,
                         [](const PositionFix& fix, double t) { return fix.time < t; });
    const PositionFix* a = after != fixes_.end() ? &*after : nullptr;
    const PositionFix* b = after != fixes_.begin() ? &*std::prev(after) : nullptr;
    const auto position = [](const PositionFix& fix) -> std::optional<PositionFix> {
        if (!fix.HasPosition()) return std::nullopt;
        return fix;
    };
    if (a && a->time == time) return position(*a);
    const double toB = b ? time - b->time : INFINITY;
    const double toA = a ? a->time - time : INFINITY;
    if (std::min(toB, toA) > gapSeconds) return std::nullopt;
    if (a && b && a->HasPosition() && b->HasPosition()) {
        const double share = toB / (a->time - b->time);
        PositionFix fix = toB <= toA ? *b : *a;
        fix.time = time;
        fix.lat = b->lat + (a->lat - b->lat) * share;
        double dLon = a->lon - b->lon;
        if (dLon > 180) dLon -= 360;
        if (dLon < -180) dLon += 360;
        double lon = b->lon + dLon * share;
        if (lon >= 180) lon -= 360;
        if (lon < -180) lon += 360;
        fix.lon = lon;
        return fix;
    }
    return position(toB <= toA ? *b : *a);
}

}  // namespace kivo
