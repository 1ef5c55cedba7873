#include "core/quality/QualityTests.h"

#include <algorithm>
#include <cmath>

namespace kivo {

namespace {

// How bad a flag is when flags are combined: a missing or unevaluated flag says nothing.
int Severity(QualityFlag flag) {
    switch (flag) {
        case QualityFlag::Pass:
            return 1;
        case QualityFlag::Suspect:
            return 2;
        case QualityFlag::Fail:
            return 3;
        case QualityFlag::NotEvaluated:
        case QualityFlag::Missing:
            break;
    }
    return 0;
}

// The spread of the newest `count` values of the window, or NaN when one is missing.
double SpreadOfNewest(const ValueWindow& window, std::size_t count) {
    const double* begin = window.first + (window.count - count);
    const double* end = window.first + window.count;
    if (std::any_of(begin, end, [](double v) { return std::isnan(v); })) return NAN;
    const auto [low, high] = std::minmax_element(begin, end);
    return *high - *low;
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
    if (flat(limits.fail)) return QualityFlag::Fail;
    if (flat(limits.suspect)) return QualityFlag::Suspect;
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

QualityFlag Worse(QualityFlag a, QualityFlag b) { return Severity(b) > Severity(a) ? b : a; }

QualityFlag Aggregate(bool valueMissing, const std::vector<QualityFlag>& tests) {
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
