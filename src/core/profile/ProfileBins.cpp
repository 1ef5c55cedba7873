#include "core/profile/ProfileBins.h"

#include <cmath>
#include <limits>
#include <utility>

namespace kivo {

long PressureBin(double pressure, double binSize) {
    return static_cast<long>(std::floor(pressure / binSize + 0.5));
}

ProfileBinner::ProfileBinner(double binSize, std::size_t valueCount)
    : binSize_(binSize), valueCount_(valueCount) {}

void ProfileBinner::Add(const CastMark& mark, double seconds, double pressure,
                        const std::vector<double>& values) {
    const bool trace = mark.phase == CastPhase::Down || mark.phase == CastPhase::Up;
    if (!trace || mark.loop || !std::isfinite(pressure)) return;
    // A trace's samples come together, so the one to add to is the last or a new one.
    if (traces_.empty() || traces_.back().cast != mark.cast ||
        traces_.back().direction != mark.phase)
        traces_.push_back({mark.cast, mark.phase, seconds, {}});
    Sums& sums = traces_.back().bins[PressureBin(pressure, binSize_)];
    if (sums.sum.empty()) {
        sums.sum.assign(valueCount_, 0.0);
        sums.counted.assign(valueCount_, 0);
    }
    ++sums.samples;
    for (std::size_t v = 0; v < valueCount_ && v < values.size(); ++v) {
        if (std::isnan(values[v])) continue;
        sums.sum[v] += values[v];
        ++sums.counted[v];
    }
}

std::vector<Profile> ProfileBinner::Profiles() const {
    std::vector<Profile> profiles;
    profiles.reserve(traces_.size());
    for (const Trace& trace : traces_) {
        Profile profile{trace.cast, trace.direction, trace.startSeconds, {}};
        for (const auto& [bin, sums] : trace.bins) {
            ProfileBin out{static_cast<double>(bin) * binSize_, sums.samples, {}};
            for (std::size_t v = 0; v < valueCount_; ++v) {
                out.means.push_back(sums.counted[v] == 0
                                        ? std::numeric_limits<double>::quiet_NaN()
                                        : sums.sum[v] / static_cast<double>(sums.counted[v]));
            }
            profile.bins.push_back(std::move(out));
        }
        profiles.push_back(std::move(profile));
    }
    return profiles;
}

}  // namespace kivo
