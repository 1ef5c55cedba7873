#include "core/quality/QualityTests.h"

#include <algorithm>
#include <cmath>

namespace kivo {

namespace {

// The spread of the newest `count` values of the window, or NaN when one is missing.
double SpreadOfNewest(const ValueWindow& window, std::size_t count) {
    const double* at = window.first + (window.count - count);
    const double* const end = window.first + window.count;
    double low = *at;
    double high = *at;
    for (; at != end; ++at) {
        if (std::isnan(*at)) return NAN;
        low = std::min(low, *at);
        high = std::max(high, *at);
    }
    return high - low;
}

}  // namespace

QualityFlag SaturationTest(double count, double ceiling) {
    if (std::isnan(count)) return QualityFlag::Missing;
    return count >= ceiling || count <= 0.0 ? QualityFlag::Fail : QualityFlag::Pass;
}

QualityFlag GrossRangeTest(double value, const ValueRange& fail,
                           const std::optional<ValueRange>& suspect) {
    if (std::isnan(value)) return QualityFlag::Missing;
    if (value < fail.low || value > fail.high) return QualityFlag::Fail;
    if (suspect && (value < suspect->low || value > suspect->high)) return QualityFlag::Suspect;
    return QualityFlag::Pass;
}

QualityFlag SpikeTest(double before, double value, double after, const SpikeThresholds& limits) {
    if (std::isnan(value)) return QualityFlag::Missing;
    if (std::isnan(before) || std::isnan(after)) return QualityFlag::NotEvaluated;
    const double spike = std::fabs(value - (before + after) / 2.0);
    if (spike > limits.fail) return QualityFlag::Fail;
    if (spike > limits.suspect) return QualityFlag::Suspect;
    return QualityFlag::Pass;
}

QualityFlag FlatLineTest(const ValueWindow& window, const FlatLineThresholds& limits) {
    if (window.count == 0) return QualityFlag::NotEvaluated;
    if (std::isnan(window.first[window.count - 1])) return QualityFlag::Missing;
    const int first = limits.suspect > 0 ? limits.suspect : limits.fail;
    if (first <= 0 || window.count < static_cast<std::size_t>(first))
        return QualityFlag::NotEvaluated;
    const auto flat = [&](int samples) {
        return samples > 0 && window.count >= static_cast<std::size_t>(samples) &&
               SpreadOfNewest(window, static_cast<std::size_t>(samples)) <= limits.tolerance;
    };
    // A longer window spreads at least as far as a shorter one: where the shorter is not
    // flat, neither is the longer, and most samples end the test there.
    const bool suspectFirst = limits.suspect > 0 && limits.suspect <= limits.fail;
    if (suspectFirst && !flat(limits.suspect)) return QualityFlag::Pass;
    if (flat(limits.fail)) return QualityFlag::Fail;
    if (suspectFirst || flat(limits.suspect)) return QualityFlag::Suspect;
    return QualityFlag::Pass;
}

QualityFlag RateOfChangeTest(const ValueWindow& window, const RateOfChangeThresholds& limits) {
    if (window.count == 0) return QualityFlag::NotEvaluated;
    const double value = window.first[window.count - 1];
    if (std::isnan(value)) return QualityFlag::Missing;
    const int n = limits.samples;
    if (n < 2 || window.count < static_cast<std::size_t>(n) + 1) return QualityFlag::NotEvaluated;
    const double* before = window.first + (window.count - 1 - static_cast<std::size_t>(n));
    double sum = 0.0;
    for (int k = 0; k < n; ++k) sum += before[k];
    if (std::isnan(sum)) return QualityFlag::NotEvaluated;
    const double mean = sum / n;
    double squares = 0.0;
    for (int k = 0; k < n; ++k) squares += (before[k] - mean) * (before[k] - mean);
    const double deviation = std::sqrt(squares / (n - 1));
    const double change = std::fabs(value - before[n - 1]);
    return change > limits.deviations * deviation ? QualityFlag::Suspect : QualityFlag::Pass;
}

QualityFlag Aggregate(bool valueMissing, std::initializer_list<QualityFlag> tests) {
    if (valueMissing) return QualityFlag::Missing;
    QualityFlag worst = QualityFlag::NotEvaluated;
    for (const QualityFlag flag : tests) worst = Worse(worst, flag);
    return worst;
}

const char* QualityFlagName(QualityFlag flag) {
    switch (flag) {
        case QualityFlag::Pass:
            return "pass";
        case QualityFlag::NotEvaluated:
            return "not_evaluated";
        case QualityFlag::Suspect:
            return "suspect";
        case QualityFlag::Fail:
            return "fail";
        case QualityFlag::Missing:
            return "missing";
    }
    return "missing";
}

}  // namespace kivo
