#include "core/plot/PointStore.h"

#include <algorithm>

namespace kivo {

PointStore::PointStore(std::size_t limit) : limit_(std::max<std::size_t>(limit, 1)) {}

std::optional<ChartPoint> PointStore::Append(const ChartPoint& point) {
    std::optional<ChartPoint> dropped;
    if (size_ == limit_) {
        dropped = front();
        if (size_ >= 2 && (*this)[0].x > (*this)[1].x) --descents_;
        if (size_ >= 2 && point.x < back().x) ++descents_;
        ring_[head_] = point;
        head_ = (head_ + 1) % limit_;
        return dropped;
    }
    // Still filling: the oldest point is at index 0 and nothing has wrapped yet.
    if (size_ > 0 && point.x < back().x) ++descents_;
    if (ring_.size() == ring_.capacity()) {
        ring_.reserve(std::min(limit_, std::max<std::size_t>(64, 2 * ring_.capacity())));
    }
    ring_.push_back(point);
    ++size_;
    return dropped;
}

void PointStore::Clear() {
    ring_.clear();
    head_ = 0;
    size_ = 0;
    descents_ = 0;
}

std::size_t PointStore::FirstAtOrAbove(double x) const {
    std::size_t low = 0;
    std::size_t high = size_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if ((*this)[middle].x < x) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

std::size_t PointStore::FirstAbove(double x) const {
    std::size_t low = 0;
    std::size_t high = size_;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if ((*this)[middle].x <= x) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

YSpread PointStore::SpreadWithin(double low, double high) const {
    YSpread spread;
    if (Sorted()) {
        const std::size_t last = FirstAbove(high);
        for (std::size_t i = FirstAtOrAbove(low); i < last; ++i) spread.Include((*this)[i].y);
        return spread;
    }
    for (std::size_t i = 0; i < size_; ++i) {
        const ChartPoint& p = (*this)[i];
        if (p.x >= low && p.x <= high) spread.Include(p.y);
    }
    return spread;
}

}  // namespace kivo
