#include "core/profile/Casts.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kivo {

const char* CastPhaseName(CastPhase phase) {
    switch (phase) {
        case CastPhase::Deck:
            return "deck";
        case CastPhase::Soak:
            return "soak";
        case CastPhase::Down:
            return "down";
        case CastPhase::Bottom:
            return "bottom";
        case CastPhase::Up:
            return "up";
    }
    return "deck";
}

namespace {

struct Span {
    std::size_t first = 0;
    std::size_t last = 0;  // included
};

// The stays in the water: runs of samples at or below the surface, joined across rises
// shorter than `minDeck`.
std::vector<Span> Excursions(const std::vector<double>& seconds,
                             const std::vector<double>& pressure, const CastThresholds& limits) {
    std::vector<Span> found;
    for (std::size_t i = 0; i < pressure.size(); ++i) {
        if (!(pressure[i] >= limits.surface)) continue;
        if (!found.empty() && seconds[i] - seconds[found.back().last] < limits.minDeck)
            found.back().last = i;
        else
            found.push_back({i, i});
    }
    return found;
}

// The pressure's change [dbar/s] across `window` seconds centred on each sample of `span`,
// from the samples of the span nearest the window's ends; 0 where they share a time.
std::vector<double> Speeds(const std::vector<double>& seconds, const std::vector<double>& pressure,
                           Span span, double window) {
    std::vector<double> speed(span.last - span.first + 1, 0.0);
    std::size_t low = span.first;
    std::size_t high = span.first;
    for (std::size_t i = span.first; i <= span.last; ++i) {
        while (seconds[low] < seconds[i] - window / 2) ++low;
        if (high < i) high = i;
        while (high < span.last && seconds[high + 1] <= seconds[i] + window / 2) ++high;
        const double span_seconds = seconds[high] - seconds[low];
        if (span_seconds > 0)
            speed[i - span.first] = (pressure[high] - pressure[low]) / span_seconds;
    }
    return speed;
}

// Marks one cast's samples: soak, down to the deepest, bottom, up.
void MarkCast(const std::vector<double>& seconds, const std::vector<double>& pressure, Span span,
              int cast, const CastThresholds& limits, std::vector<CastMark>& marks) {
    std::size_t deepest = span.first;
    for (std::size_t i = span.first; i <= span.last; ++i)
        if (pressure[i] > pressure[deepest]) deepest = i;
    const std::vector<double> speed = Speeds(seconds, pressure, span, limits.window);
    const auto speedAt = [&](std::size_t i) { return speed[i - span.first]; };

    // The down trace ends at the last sample up to the deepest that was still being lowered
    // (the deepest itself when none was: a cast that began at its deepest), and starts where
    // that run of lowering began.
    std::size_t lowered = deepest;
    while (lowered > span.first && speedAt(lowered) < limits.minSpeed) --lowered;
    if (speedAt(lowered) < limits.minSpeed) lowered = deepest;
    std::size_t descent = lowered;
    while (descent > span.first && speedAt(descent - 1) >= limits.minSpeed) --descent;
    // The speed is an average: the run may begin before the frame's last turn at the top,
    // whose samples would all be loops. The trace starts at the shallowest (the last of equals).
    for (std::size_t i = descent; i <= lowered; ++i)
        if (pressure[i] <= pressure[descent]) descent = i;
    std::size_t ascent = deepest + 1;
    while (ascent <= span.last && !(speedAt(ascent) <= -limits.minSpeed)) ++ascent;

    double deepestSoFar = 0.0;
    double shallowestSoFar = 0.0;
    for (std::size_t i = span.first; i <= span.last; ++i) {
        CastMark& mark = marks[i];
        mark.cast = cast;
        if (i < descent) {
            mark.phase = CastPhase::Soak;
        } else if (i <= lowered) {
            mark.phase = CastPhase::Down;
            mark.loop = i > descent && !(pressure[i] > deepestSoFar);
            if (i == descent || pressure[i] > deepestSoFar) deepestSoFar = pressure[i];
        } else if (i < ascent) {
            mark.phase = CastPhase::Bottom;
        } else {
            mark.phase = CastPhase::Up;
            mark.loop = i > ascent && !(pressure[i] < shallowestSoFar);
            if (i == ascent || pressure[i] < shallowestSoFar) shallowestSoFar = pressure[i];
        }
    }
}

}  // namespace

std::vector<CastMark> FindCasts(const std::vector<double>& seconds,
                                const std::vector<double>& pressure,
                                const CastThresholds& thresholds) {
    std::vector<CastMark> marks(pressure.size());
    if (seconds.size() != pressure.size()) return marks;
    // A sample without a pressure is where the one before it was (the first found, for those
    // before it), so that a gap does not break a trace; it is left out of bins all the same.
    std::vector<double> filled = pressure;
    const auto firstFound =
        std::find_if(filled.begin(), filled.end(), [](double p) { return std::isfinite(p); });
    double last = firstFound == filled.end() ? 0.0 : *firstFound;
    for (double& p : filled) {
        if (std::isfinite(p))
            last = p;
        else
            p = last;
    }
    int cast = 0;
    for (const Span& span : Excursions(seconds, filled, thresholds)) {
        double deepest = filled[span.first];
        for (std::size_t i = span.first; i <= span.last; ++i)
            if (filled[i] > deepest) deepest = filled[i];
        if (deepest < thresholds.minDepth) continue;
        MarkCast(seconds, filled, span, ++cast, thresholds, marks);
    }
    return marks;
}

}  // namespace kivo
