#pragma once

#include <deque>

#include "core/plot/PointStore.h"

namespace kivo {

// The Y spread of the points inside an X window that only moves forward, with points
// pushed in order of X. Two monotonic queues hold the candidates for the smallest and the
// largest: a point is dropped from one as soon as a later point at least as extreme comes
// in, since the later one stays in the window at least as long. Each point costs amortised
// constant time however often the ends leave the window, as they do with every line on a
// rising or falling trace.
class SlidingSpread {
public:
    void Clear() {
        lows_.clear();
        highs_.clear();
        any_ = false;
    }

    // False (and nothing pushed) for a point whose X is below the last pushed one: the
    // queues would no longer be in window order.
    bool Push(const ChartPoint& point) {
        if (any_ && point.x < lastX_) return false;
        while (!lows_.empty() && lows_.back().y > point.y) lows_.pop_back();
        lows_.push_back(point);
        while (!highs_.empty() && highs_.back().y < point.y) highs_.pop_back();
        highs_.push_back(point);
        lastX_ = point.x;
        any_ = true;
        return true;
    }

    // Lets go of the points whose X is below `low`.
    void DropBelow(double low) {
        while (!lows_.empty() && lows_.front().x < low) lows_.pop_front();
        while (!highs_.empty() && highs_.front().x < low) highs_.pop_front();
    }

    YSpread Spread() const {
        YSpread spread;
        if (lows_.empty()) return spread;
        spread.any = true;
        spread.smallest = lows_.front().y;
        spread.largest = highs_.front().y;
        return spread;
    }

private:
    std::deque<ChartPoint> lows_;   // Y rising from front to back
    std::deque<ChartPoint> highs_;  // Y falling from front to back
    double lastX_ = 0.0;
    bool any_ = false;
};

}  // namespace kivo
