#pragma once

#include <optional>
#include <vector>

#include "core/position/PositionFix.h"

namespace kivo {

// The fixes of one or more tracks, in time order, for giving each record of a recording the
// position where it was made.
//
// At(t, gap): the nearest fix before or at t (b) and after or at t (a) are looked at, among all
// fixes, those without a position included (a receiver that had lost its fix):
//   - t exactly on a fix: that fix's position (none if it had none);
//   - b and a both with a position, and the nearer of them at most `gap` seconds from t:
//     latitude and longitude each interpolated linearly in time, longitude the short way round
//     (across 180° when that is shorter), the result in [-180, 180);
//   - otherwise the nearer of b and a when it has a position and is at most `gap` seconds
//     away (no extrapolation beyond the first or last fix, and no bridging of a lost fix);
//   - otherwise none.
// A time that is NaN has no position.
class Track {
public:
    explicit Track(std::vector<PositionFix> fixes);

    std::optional<PositionFix> At(double time, double gapSeconds) const;
    bool Empty() const { return fixes_.empty(); }
    std::size_t Size() const { return fixes_.size(); }

private:
    std::vector<PositionFix> fixes_;  // by time; fixes without a time left out
};

}  // namespace kivo
