#include "core/host/StallWatch.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kivo {

namespace {

constexpr double kLongestIntervalsMs = 86400000.0;  // a day

bool TwoDigits(const std::string& text, std::size_t at, int& value) {
    if (at + 2 > text.size() || !std::isdigit(static_cast<unsigned char>(text[at])) ||
        !std::isdigit(static_cast<unsigned char>(text[at + 1])))
        return false;
    value = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return true;
}

}  // namespace

std::optional<std::int64_t> CycleIntervalMs(const std::string& cycleInterval) {
    const bool colons =
        cycleInterval.size() == 8 && cycleInterval[2] == ':' && cycleInterval[5] == ':';
    if (cycleInterval.size() != 6 && !colons) return std::nullopt;
    const std::size_t step = colons ? 3 : 2;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    if (!TwoDigits(cycleInterval, 0, hours) || !TwoDigits(cycleInterval, step, minutes) ||
        !TwoDigits(cycleInterval, 2 * step, seconds))
        return std::nullopt;
    const std::int64_t total = (std::int64_t{hours} * 3600 + minutes * 60 + seconds) * 1000;
    if (total == 0) return std::nullopt;  // no cycles: the meter streams
    return total;
}

std::int64_t StallWatch::LimitMs(const StallRhythm& rhythm) {
    if (rhythm.byHandMs && *rhythm.byHandMs > 0) return *rhythm.byHandMs;
    const std::optional<float> rate = rhythm.rateHz;
    const bool rateKnown = rate && *rate > 0.0f && std::isfinite(*rate);
    // Without a rate, three intervals of a meter at 1 Hz; a rate far below one a day is no
    // rate to wait for.
    const double intervals =
        std::min(rateKnown ? kIntervals * 1000.0 / static_cast<double>(*rate) : kShortestStallMs,
                 kLongestIntervalsMs);
    const std::int64_t cycle = std::max<std::int64_t>(rhythm.cycleIntervalMs.value_or(0), 0);
    return std::max(kShortestStallMs, cycle + static_cast<std::int64_t>(std::ceil(intervals)));
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

StallWatch::Event StallWatch::Check(std::int64_t nowMs, const StallRhythm& rhythm) {
    if (!watching_ || stalled_ || nowMs - silentSinceMs_ < LimitMs(rhythm)) return Event::None;
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
