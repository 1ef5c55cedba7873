#include "core/quality/ChannelQuality.h"

#include <algorithm>
#include <cmath>

namespace kivo {

ChannelQuality::ChannelQuality(const ChannelThresholds& thresholds,
                               const std::vector<Quantity>& quantities)
    : thresholds_(thresholds) {
    for (const Quantity& q : quantities) ranges_.push_back(thresholds_.Ranges(q.name, q.base));
    const int flat = std::max(thresholds_.flatLine.suspect, thresholds_.flatLine.fail);
    const int rate = thresholds_.rateOfChange ? thresholds_.rateOfChange->samples + 1 : 0;
    keep_ = static_cast<std::size_t>(std::max({2, flat, rate}));
    newest_.resize(1 + ranges_.size());
    decided_.resize(1 + ranges_.size());
    missing_.resize(1 + ranges_.size());
}

bool ChannelQuality::Push(double count, const std::vector<double>& quantities) {
    const bool decided = pending_;
    if (pending_) Decide(count);
    // Trimmed in bulk, so that keeping the window costs a copy per keep_ samples.
    if (counts_.size() >= 4 * keep_)
        counts_.erase(counts_.begin(), counts_.end() - static_cast<std::ptrdiff_t>(keep_ - 1));
    counts_.push_back(count);
    const std::size_t held = std::min(counts_.size(), keep_);
    const ValueWindow window{counts_.data() + (counts_.size() - held), held};

    ValueFlags shared;
    shared.saturation = SaturationTest(count, thresholds_.ceiling);
    shared.flatLine = FlatLineTest(window, thresholds_.flatLine);
    if (thresholds_.rateOfChange)
        shared.rateOfChange = RateOfChangeTest(window, *thresholds_.rateOfChange);

    newest_[0] = shared;
    missing_[0] = std::isnan(count);
    if (thresholds_.counts.fail)
        newest_[0].grossRange =
            GrossRangeTest(count, *thresholds_.counts.fail, thresholds_.counts.suspect);
    for (std::size_t q = 0; q < ranges_.size(); ++q) {
        const double value = q < quantities.size() ? quantities[q] : NAN;
        ValueFlags& flags = newest_[1 + q];
        flags = shared;
        missing_[1 + q] = std::isnan(value);
        const QuantityRanges& ranges = ranges_[q];
        if (ranges.fail) {
            flags.grossRange = GrossRangeTest(value, *ranges.fail, ranges.suspect);
        } else if (ranges.suspect) {
            // A suspect range alone: nothing fails, what lies outside it is suspect.
            flags.grossRange =
                GrossRangeTest(value, ValueRange{-INFINITY, INFINITY}, ranges.suspect);
        }
    }
    // The counts' tests are shared: their worst once, then each value's own range on top.
    const QualityFlag sharedWorst =
        Aggregate(false, {shared.saturation, shared.flatLine, shared.rateOfChange});
    for (std::size_t v = 0; v < newest_.size(); ++v)
        newest_[v].aggregate =
            missing_[v] ? QualityFlag::Missing : Worse(sharedWorst, newest_[v].grossRange);
    pending_ = true;
    return decided;
}

bool ChannelQuality::Finish() {
    if (!pending_) return false;
    Decide(NAN);
    pending_ = false;
    counts_.clear();
    return true;
}

void ChannelQuality::Decide(double after) {
    const std::size_t n = counts_.size();
    const double value = counts_[n - 1];
    const double before = n >= 2 ? counts_[n - 2] : NAN;
    const QualityFlag spike = thresholds_.spike
                                  ? SpikeTest(before, value, after, *thresholds_.spike)
                                  : QualityFlag::NotEvaluated;
    decided_ = newest_;
    for (std::size_t v = 0; v < decided_.size(); ++v) {
        decided_[v].spike = spike;
        if (!missing_[v]) decided_[v].aggregate = Worse(decided_[v].aggregate, spike);
    }
}

}  // namespace kivo
