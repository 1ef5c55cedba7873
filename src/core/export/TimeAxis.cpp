#include "core/export/TimeAxis.h"

#include <limits>

namespace kivo {

void TimeAxis::Add(std::optional<std::int64_t> second) {
    if (!second) {
        CloseGroup();
        if (last_) {
            Place(*last_ + kStep);
        } else if (++undated_ == kMaxPerSecond) {
            Close();  // no date may ever come: these stay without a time
        }
        return;
    }
    if (groupCount_ > 0 && (*second != groupSecond_ || groupCount_ == kMaxPerSecond)) CloseGroup();
    if (undated_ > 0) {
        // The records before the first date lead up to it.
        const auto first = static_cast<double>(*second);
        for (std::size_t i = undated_; i > 0; --i) Place(first - static_cast<double>(i) * kStep);
        undated_ = 0;
    }
    groupSecond_ = *second;
    ++groupCount_;
}

void TimeAxis::Close() {
    CloseGroup();
    for (; undated_ > 0; --undated_) decided_.push_back(std::numeric_limits<double>::quiet_NaN());
}

std::vector<double> TimeAxis::TakeDecided() {
    std::vector<double> taken;
    taken.swap(decided_);
    return taken;
}

void TimeAxis::CloseGroup() {
    const auto second = static_cast<double>(groupSecond_);
    for (std::size_t k = 0; k < groupCount_; ++k)
        Place(second + static_cast<double>(k) / static_cast<double>(groupCount_));
    groupCount_ = 0;
}

void TimeAxis::Place(double time) {
    if (last_ && !(time > *last_)) time = *last_ + kStep;
    decided_.push_back(time);
    last_ = time;
}

}  // namespace kivo
