#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/quality/QualitySettings.h"
#include "core/quality/QualityTests.h"

namespace kivo {

// The flags of one value: each test's, and the worst of them.
struct ValueFlags {
    QualityFlag saturation = QualityFlag::NotEvaluated;
    QualityFlag flatLine = QualityFlag::NotEvaluated;
    QualityFlag spike = QualityFlag::NotEvaluated;
    QualityFlag rateOfChange = QualityFlag::NotEvaluated;
    QualityFlag grossRange = QualityFlag::NotEvaluated;
    QualityFlag aggregate = QualityFlag::NotEvaluated;
};

// The tests of one channel as its samples come: the counts' tests run on the raw counts, and
// each of the column's quantities (the engineering values) shares them and adds its own
// gross range. The spike test needs the sample after: a sample's flags are decided when the
// next one comes, or when the channel finishes.
class ChannelQuality {
public:
    struct Quantity {
        std::string name;  // as in files: "bbp_470"
        std::string base;  // the quantity of any such channel: "bbp"
    };

    ChannelQuality(const ChannelThresholds& thresholds, const std::vector<Quantity>& quantities);

    // Takes the next sample: its count and its quantities' values, in the constructor's
    // order. Returns true when the sample before is decided now.
    bool Push(double count, const std::vector<double>& quantities);
    // Decides the last sample, whose spike is then not evaluated; false when there is none.
    bool Finish();

    // The flags of the sample decided last: the counts', then each quantity's.
    const std::vector<ValueFlags>& Decided() const { return decided_; }
    // The newest sample's flags as they stand, with its spike yet to be evaluated.
    const std::vector<ValueFlags>& Newest() const { return newest_; }
    const ChannelThresholds& Thresholds() const { return thresholds_; }

private:
    void Decide(double after);

    ChannelThresholds thresholds_;
    std::vector<QuantityRanges> ranges_;
    std::size_t keep_ = 2;        // the counts kept for the tests
    std::vector<double> counts_;  // the newest last; trimmed to keep_ now and then
    std::vector<ValueFlags> newest_;
    std::vector<bool> missing_;  // the newest sample's values
    std::vector<ValueFlags> decided_;
    bool pending_ = false;  // a sample waits for its spike test
};

}  // namespace kivo
