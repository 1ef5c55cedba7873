#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace kivo {

struct ChartPoint {
    double x = 0.0;
    double y = 0.0;
};

// Smallest and largest Y of a set of points; `any` is false for an empty set.
struct YSpread {
    bool any = false;
    double smallest = 0.0;
    double largest = 0.0;

    void Include(double y) {
        if (!any || y < smallest) smallest = y;
        if (!any || y > largest) largest = y;
        any = true;
    }
    void Include(const YSpread& other) {
        if (!other.any) return;
        Include(other.smallest);
        Include(other.largest);
    }
};

// One channel's points in arrival order, bounded: once `limit` points are held, each new
// point pushes out the oldest, so a week-long run keeps a flat memory footprint. Storage
// grows up to the limit and is then reused in place; steady state allocates nothing.
class PointStore {
public:
    explicit PointStore(std::size_t limit);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::size_t limit() const { return limit_; }
    // 0 is the oldest point held.
    const ChartPoint& operator[](std::size_t index) const {
        // head_ + index < 2 * size: one subtraction instead of a division, for the searches.
        const std::size_t at = head_ + index;
        return ring_[at < ring_.size() ? at : at - ring_.size()];
    }
    const ChartPoint& front() const { return (*this)[0]; }
    const ChartPoint& back() const { return (*this)[size_ - 1]; }

    // Appends a point; returns the point that had to make room for it, if any.
    std::optional<ChartPoint> Append(const ChartPoint& point);
    // Drops every point; the storage is kept for the points to come.
    void Clear();

    // True while X never decreases from one held point to the next. X normally grows
    // with each data line, but a meter that starts or stops sending its date moves the
    // sample number back, and then a binary search would miss points.
    bool Sorted() const { return descents_ == 0; }

    // The Y spread of the points whose X lies within [low, high].
    YSpread SpreadWithin(double low, double high) const;

    // For a window sliding forward, on a Sorted() store: whether a point with X in
    // [low, high) has a Y equal to one of `spread`'s ends (then the spread without it is not
    // known), and the spread of the points with X in (low, high].
    // The index of the first point whose X is at or above `x` (Sorted() stores).
    std::size_t FirstAtOrAbove(double x) const;

private:
    std::size_t FirstAbove(double x) const;

    std::vector<ChartPoint> ring_;
    std::size_t head_ = 0;  // index of the oldest point once the ring has wrapped
    std::size_t size_ = 0;
    std::size_t limit_;
    std::size_t descents_ = 0;  // neighbours held with X falling
};

}  // namespace kivo
