#pragma once

// The ocean-observing community's quality tests (the IOOS QARTOD manuals), each a small pure
// function over the values around one sample. The README's "Quality flags" states the same
// definitions for the people who read our files; a test here and there must agree.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

namespace kivo {

enum class QualityFlag : std::uint8_t {
    Pass = 1,
    NotEvaluated = 2,
    Suspect = 3,
    Fail = 4,
    Missing = 9,
};

// The values the tests look at: `count` values from `first`, oldest first.
struct ValueWindow {
    const double* first = nullptr;
    std::size_t count = 0;
};

struct ValueRange {
    double low = 0.0;
    double high = 0.0;
};

// Saturation: the converter at its top or bottom. Fail when `count` >= `ceiling` or
// `count` <= 0; missing when it is not a number; pass otherwise.
QualityFlag SaturationTest(double count, double ceiling);

// Gross range: fail outside `fail` (below low or above high), suspect outside `suspect`
// when given, pass otherwise; missing when the value is not a number.
QualityFlag GrossRangeTest(double value, const ValueRange& fail,
                           const std::optional<ValueRange>& suspect);

struct SpikeThresholds {
    double suspect = 0.0;
    double fail = 0.0;
};
// The three-point spike test: with r = (before + after) / 2 and s = |value - r|, fail when
// s > fail, suspect when s > suspect, pass otherwise. Not evaluated when a neighbour is
// missing (the first and the last sample have only one); missing when the value is.
QualityFlag SpikeTest(double before, double value, double after, const SpikeThresholds& limits);

struct FlatLineThresholds {
    int suspect = 10;  // samples in a row; 0: no suspect level
    int fail = 20;     // samples in a row; 0: no fail level
    double tolerance = 0.0;
};
// Flat line, for the newest value of `window` (the samples so far, newest last; it needs no
// more than max(suspect, fail) of them): fail when the last `fail` samples spread (max - min)
// no more than the tolerance, else suspect when the last `suspect` do, else pass. Not
// evaluated while there are fewer samples than the suspect count (the fail count when there
// is no suspect level) or both levels are off. A window with a missing value is not flat.
QualityFlag FlatLineTest(const ValueWindow& window, const FlatLineThresholds& limits);

struct RateOfChangeThresholds {
    double deviations = 3.0;  // K
    int samples = 0;          // N
};
// Rate of change, for the newest value of `window` (newest last, at least N + 1 samples):
// suspect when |x[i] - x[i-1]| exceeds K standard deviations (divided by N - 1) of the N
// samples before x[i]; pass otherwise. Not evaluated with fewer than N + 1 samples, N < 2,
// or a missing value among them; missing when x[i] is.
QualityFlag RateOfChangeTest(const ValueWindow& window, const RateOfChangeThresholds& limits);

// The flag of a value from the flags of its tests: missing when the value is, otherwise the
// worst of the tests that were evaluated (fail over suspect over pass), not evaluated when
// none was.
constexpr int Severity(QualityFlag flag) {
    // A missing or unevaluated flag says nothing when flags are combined.
    return flag == QualityFlag::Pass      ? 1
           : flag == QualityFlag::Suspect ? 2
           : flag == QualityFlag::Fail    ? 3
                                          : 0;
}
constexpr QualityFlag Worse(QualityFlag a, QualityFlag b) {
    return Severity(b) > Severity(a) ? b : a;
}
QualityFlag Aggregate(bool valueMissing, std::initializer_list<QualityFlag> tests);

// "pass", "not_evaluated", "suspect", "fail", "missing".
const char* QualityFlagName(QualityFlag flag);

}  // namespace kivo
