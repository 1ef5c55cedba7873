#include "core/viewer/RecordingCasts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/viewer/RecordingData.h"

namespace kivo {

RecordingCasts::RecordingCasts(std::vector<float> pressure, std::vector<CastMark> marks)
    : pressure_(std::move(pressure)), marks_(std::move(marks)) {
    marks_.resize(pressure_.size());
    for (std::size_t line = 0; line < marks_.size(); ++line) {
        const CastMark& mark = marks_[line];
        castCount_ = std::max(castCount_, mark.cast);
        if (mark.phase != CastPhase::Down && mark.phase != CastPhase::Up) continue;
        if (!runs_.empty() && runs_.back().last == line && runs_.back().cast == mark.cast &&
            runs_.back().direction == mark.phase) {
            ++runs_.back().last;
        } else {
            runs_.push_back({mark.cast, mark.phase, line, line + 1});
        }
    }
}

std::vector<CastTrace> RecordingCasts::Traces(const CastChoice& choice) const {
    std::vector<CastTrace> chosen;
    for (const CastTrace& run : runs_) {
        if (choice.cast != 0 && run.cast != choice.cast) continue;
        if (choice.traces == TraceChoice::Down && run.direction != CastPhase::Down) continue;
        if (choice.traces == TraceChoice::Up && run.direction != CastPhase::Up) continue;
        chosen.push_back(run);
    }
    return chosen;
}

std::optional<std::pair<double, double>> RecordingCasts::PressureExtent(
    const std::vector<CastTrace>& traces) const {
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    for (const CastTrace& trace : traces) {
        for (std::size_t line = trace.first; line < trace.last; ++line) {
            low = std::min(low, pressure_[line]);
            high = std::max(high, pressure_[line]);
        }
    }
    if (!(low <= high)) return std::nullopt;
    return std::make_pair(static_cast<double>(low), static_cast<double>(high));
}

void RecordingCasts::Envelope(const RecordingData& data, int channel, const CastTrace& trace,
                              std::pair<double, double> pressures, int rows,
                              std::vector<ProfileEnvelopePoint>& out) const {
    out.clear();
    const auto [low, high] = pressures;
    if (rows <= 0 || !(high > low)) return;
    if (trace.last - trace.first <= 2 * static_cast<std::size_t>(rows)) {
        // Every point, those beyond the rows too, so that the line runs on to the edge.
        for (std::size_t line = trace.first; line < trace.last; ++line) {
            const float value = data.Value(channel, line);
            if (std::isfinite(value) && std::isfinite(pressure_[line]))
                out.push_back({pressure_[line], value, value});
        }
        return;
    }
    constexpr float kNone = std::numeric_limits<float>::infinity();
    std::vector<std::pair<float, float>> bands(static_cast<std::size_t>(rows), {kNone, -kNone});
    const double step = (high - low) / rows;
    for (std::size_t line = trace.first; line < trace.last; ++line) {
        const double p = pressure_[line];
        const float value = data.Value(channel, line);
        // NaN fails every comparison, in the pressure and in the value.
        if (!(p >= low && p <= high) || !std::isfinite(value)) continue;
        const auto row = std::min(static_cast<std::size_t>((p - low) / step), bands.size() - 1);
        bands[row].first = std::min(bands[row].first, value);
        bands[row].second = std::max(bands[row].second, value);
    }
    for (std::size_t row = 0; row < bands.size(); ++row) {
        if (bands[row].first <= bands[row].second)
            out.push_back({low + step * (static_cast<double>(row) + 0.5), bands[row].first,
                           bands[row].second});
    }
}

RangeStatistics RecordingCasts::Statistics(const RecordingData& data, int channel,
                                           const std::vector<CastTrace>& traces,
                                           std::pair<double, double> pressures) const {
    RangeStatistics statistics;
    // About the first value, so that a small spread around a large level keeps its digits.
    double reference = 0.0;
    double sum = 0.0;
    double squares = 0.0;
    for (const CastTrace& trace : traces) {
        for (std::size_t line = trace.first; line < trace.last; ++line) {
            const double p = pressure_[line];
            const float value = data.Value(channel, line);
            if (!(p >= pressures.first && p <= pressures.second) || !std::isfinite(value)) continue;
            if (statistics.count == 0) {
                reference = value;
                statistics.minimum = statistics.maximum = value;
            }
            ++statistics.count;
            const double d = static_cast<double>(value) - reference;
            sum += d;
            squares += d * d;
            statistics.minimum = std::min(statistics.minimum, static_cast<double>(value));
            statistics.maximum = std::max(statistics.maximum, static_cast<double>(value));
        }
    }
    if (statistics.count == 0) return statistics;
    const auto n = static_cast<double>(statistics.count);
    statistics.mean = reference + sum / n;
    if (statistics.count > 1)
        statistics.standardDeviation = std::sqrt(std::max(0.0, squares - sum * sum / n) / (n - 1));
    return statistics;
}

std::optional<std::pair<std::size_t, double>> RecordingCasts::Nearest(
    const RecordingData& data, int channel, const std::vector<CastTrace>& traces,
    std::pair<double, double> at, const CursorScale& scale) const {
    std::optional<std::pair<std::size_t, double>> nearest;
    for (const CastTrace& trace : traces) {
        for (std::size_t line = trace.first; line < trace.last; ++line) {
            const double dp = (pressure_[line] - at.first) / scale.pressureSpan;
            const double dv = (data.Value(channel, line) - at.second) / scale.valueSpan;
            const double distance = std::hypot(dp, dv);
            if (std::isfinite(distance) && (!nearest || distance < nearest->second))
                nearest = {line, distance};
        }
    }
    return nearest;
}

}  // namespace kivo
