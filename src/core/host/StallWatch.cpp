#include "core/host/StallWatch.h"

#include <algorithm>
#include <cmath>

namespace kivo {

std::int64_t StallWatch::LimitMs(std::optional<float> rateHz) {
    if (!rateHz || !(*rateHz > 0.0f) || !std::isfinite(*rateHz)) return kShortestStallMs;
    const double intervals = kIntervals * 1000.0 / static_cast<double>(*rateHz);
    // A rate far below one a day is no rate to wait for.
    const double limit = std::min(intervals, 86400000.0);
    return std::max(kShortestStallMs, static_cast<std::int64_t>(std::ceil(limit)));
}

void StallWatch::Watch(bool on, std::int64_t nowMs) {
    if (on == watching_) return;
    watching_ = on;
    if (on) {
        silentSinceMs_ = nowMs;
    } else if (stalled_) {
        stalled_ = false;
        lastStallMs_ = 0;  // ended by no line: nothing came "again"
    }
}

StallWatch::Event StallWatch::OnDataLine(std::int64_t nowMs) {
    lastLineMs_ = nowMs;
    const bool wasStalled = stalled_;
    if (wasStalled) lastStallMs_ = nowMs - silentSinceMs_;
    silentSinceMs_ = nowMs;
    stalled_ = false;
    return wasStalled ? Event::Back : Event::None;
}

StallWatch::Event StallWatch::Check(std::int64_t nowMs, std::optional<float> rateHz) {
    if (!watching_ || stalled_ || nowMs - silentSinceMs_ < LimitMs(rateHz)) return Event::None;
    stalled_ = true;
    ++stalls_;
    return Event::Stalled;
}

std::optional<std::int64_t> StallWatch::SinceLastLineMs(std::int64_t nowMs) const {
    if (!lastLineMs_) return std::nullopt;
    return nowMs - *lastLineMs_;
}

std::int64_t StallWatch::StallMs(std::int64_t nowMs) const {
    return stalled_ ? nowMs - silentSinceMs_ : lastStallMs_;
}

}  // namespace kivo
