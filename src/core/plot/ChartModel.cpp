#include "core/plot/ChartModel.h"

#include <algorithm>
#include <cmath>

namespace kivo {

bool ChartChannel::BreakBefore(std::size_t index) const {
    if (index == 0 || index >= points.size()) return false;
    const std::uint64_t number = appended - points.size() + index;
    return std::binary_search(segmentStarts.begin(), segmentStarts.end(), number);
}

std::size_t ChartChannel::BreaksHeld() const {
    const std::uint64_t oldest = appended - points.size();
    return static_cast<std::size_t>(
        segmentStarts.end() - std::upper_bound(segmentStarts.begin(), segmentStarts.end(), oldest));
}

ChartModel::ChartModel(std::size_t pointsPerChannel) : pointsPerChannel_(pointsPerChannel) {
    // As designed: X from 0 to 100 scrolling smoothly and jumping to a far first point;
    // Y from 0 to 100 scaling to the extremes (the start-up configuration changes that).
    x_.tracking = TrackingStyle::SmoothScroll;
    x_.alignment = FirstPointAlignment::Auto;
    y_.tracking = TrackingStyle::ScaleMinMax;
    y_.alignment = FirstPointAlignment::None;
}

void ChartModel::StructureChanged() {
    spreadCache_.valid = false;
    ++structureRevision_;
    ++revision_;
}

void ChartModel::AppearanceChanged() {
    ++appearanceRevision_;
    ++revision_;
}

void ChartModel::RemoveAllChannels() {
    channels_.clear();
    newest_.reset();
    StructureChanged();
}

int ChartModel::AddChannel() {
    channels_.emplace_back(pointsPerChannel_);
    StructureChanged();
    return ChannelCount() - 1;
}

void ChartModel::SetColour(int channel, std::uint32_t colour) {
    if (!Valid(channel)) return;
    ChartChannel& c = channels_[static_cast<std::size_t>(channel)];
    if (c.colour == colour) return;
    c.colour = colour;
    AppearanceChanged();
}

void ChartModel::SetTitleText(int channel, std::string_view text) {
    if (!Valid(channel)) return;
    std::string& title = channels_[static_cast<std::size_t>(channel)].title;
    if (title == text) return;
    title.assign(text.data(), text.size());  // reuses the capacity of the last title
    AppearanceChanged();
}

void ChartModel::SetFailed(int channel, bool failed) {
    if (!Valid(channel)) return;
    bool& mark = channels_[static_cast<std::size_t>(channel)].failed;
    if (mark == failed) return;
    mark = failed;
    AppearanceChanged();
}

void ChartModel::AddXY(int channel, double x, double y) {
    if (!Valid(channel) || !std::isfinite(x) || !std::isfinite(y)) return;
    ChartChannel& c = channels_[static_cast<std::size_t>(channel)];
    const ChartPoint point{x, y};
    // Whether a point already held lies beyond the window the spread was worked out for.
    const bool heldBeyond = newest_ && *newest_ > spreadCache_.high;
    if (c.breakPending) {
        c.breakPending = false;
        c.segmentStarts.push_back(c.appended);
    }
    const std::optional<ChartPoint> dropped = c.points.Append(point);
    if (!newest_ || x > *newest_) newest_ = x;
    ++c.appended;
    // A break before the oldest point held joins nothing any more.
    while (!c.segmentStarts.empty() && c.segmentStarts.front() <= c.appended - c.points.size())
        c.segmentStarts.pop_front();
    ++revision_;
    TrackValue(x_, x);
    TrackY(point, dropped, heldBeyond);
}

void ChartModel::TrackY(const ChartPoint& added, const std::optional<ChartPoint>& dropped,
                        bool heldBeyond) {
    TrackValue(y_, added.y);
    if (y_.tracking != TrackingStyle::ExpandCollapse) return;
    const ChartAxis& shown = XAxis();
    switch (FollowWindow(added, dropped, heldBeyond, shown.minimum, shown.Maximum())) {
        case Follow::Carried:
            break;
        case Follow::ZeroAtAnEnd:
            spreadCache_.spread = VisibleSpread();
            break;
        case Follow::Lost:
            CacheVisibleSpread(shown.minimum, shown.Maximum());
            break;
    }
    FitToSpread(y_, spreadCache_.spread);
}

// Carries the cached spread over to the window [low, high] after `added` came in. The
// window normally stays put (the other channels of a line) or moves forward by one sample;
// then the queues of the sliding spread follow it. Anything else (points out of X order,
// a point dropped from the store while visible, a window moving back or taking in points
// the queues never saw) loses the spread, and it is worked out from all visible points.
ChartModel::Follow ChartModel::FollowWindow(const ChartPoint& added,
                                            const std::optional<ChartPoint>& dropped,
                                            bool heldBeyond, double low, double high) {
    SpreadCache& cache = spreadCache_;
    if (!cache.valid) return Follow::Lost;
    // A point that left the store from inside the window may have been an extreme.
    if (dropped && dropped->x >= cache.low && dropped->x <= cache.high) return Follow::Lost;
    const bool inside = added.x >= low && added.x <= high;
    if (low == cache.low && high == cache.high) {
        if (inside) {
            cache.spread.Include(added.y);
            if (slidingValid_ && !sliding_.Push(added)) slidingValid_ = false;
        }
    } else {
        if (!slidingValid_ || low < cache.low || high < cache.high || heldBeyond) {
            return Follow::Lost;
        }
        if (inside && !sliding_.Push(added)) return Follow::Lost;
        sliding_.DropBelow(low);
        cache.low = low;
        cache.high = high;
        cache.spread = sliding_.Spread();
    }
    // Which of 0 and -0 is an end depends on the order the points are looked at in.
    const YSpread& ends = cache.spread;
    if (ends.any && (ends.smallest == 0.0 || ends.largest == 0.0)) return Follow::ZeroAtAnEnd;
    return Follow::Carried;
}

void ChartModel::CacheVisibleSpread(double low, double high) {
    spreadCache_ = {true, low, high, VisibleSpread()};
    sliding_.Clear();
    slidingValid_ = false;
    window_.clear();
    for (const ChartChannel& c : channels_) {
        const PointStore& points = c.points;
        if (!points.Sorted()) return;
        for (std::size_t i = points.FirstAtOrAbove(low); i < points.size() && points[i].x <= high;
             ++i) {
            window_.push_back(points[i]);
        }
    }
    std::stable_sort(window_.begin(), window_.end(),
                     [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
    for (const ChartPoint& p : window_) sliding_.Push(p);
    slidingValid_ = true;
}

YSpread ChartModel::VisibleSpread() const {
    const ChartAxis& shown = XAxis();
    YSpread spread;
    for (const ChartChannel& c : channels_) {
        spread.Include(c.points.SpreadWithin(shown.minimum, shown.Maximum()));
    }
    return spread;
}

void ChartModel::RefitY() {
    spreadCache_.valid = false;
    if (y_.tracking != TrackingStyle::ExpandCollapse) return;
    const ChartAxis& shown = XAxis();
    CacheVisibleSpread(shown.minimum, shown.Maximum());
    FitToSpread(y_, spreadCache_.spread);
}

void ChartModel::ClearAllData() {
    newest_.reset();
    for (ChartChannel& c : channels_) {
        c.points.Clear();
        c.appended = 0;
        c.segmentStarts.clear();
        c.breakPending = false;
    }
    x_.firstPointSeen = false;
    y_.firstPointSeen = false;
    if (frozenX_) frozenX_->firstPointSeen = false;
    StructureChanged();
}

void ChartModel::BreakLines() {
    for (ChartChannel& c : channels_) {
        if (!c.points.empty()) c.breakPending = true;
    }
}

void ChartModel::SetAxisLabels(std::string_view x, std::string_view y) {
    if (x == xLabel_ && y == yLabel_) return;
    xLabel_ = x;
    yLabel_ = y;
    AppearanceChanged();
}

void ChartModel::SetTitle(std::string_view title) {
    if (title_ == title) return;
    title_.assign(title.data(), title.size());
    AppearanceChanged();
}

void ChartModel::SetYTracking(TrackingStyle style) {
    y_.tracking = style;
    spreadCache_.valid = false;
    ++revision_;
}

void ChartModel::ShowEditButton(bool shown) {
    if (editButtonShown_ == shown) return;
    editButtonShown_ = shown;
    AppearanceChanged();
}

void ChartModel::SetProperties(const ChartProperties& properties) {
    if (properties_ == properties) return;
    properties_ = properties;
    AppearanceChanged();
}

bool ChartModel::SavePropertiesToFile(const std::string& path) const {
    return SaveChartProperties(path, properties_);
}

bool ChartModel::LoadPropertiesFromFile(const std::string& path) {
    const std::optional<ChartProperties> loaded = LoadChartProperties(path);
    if (!loaded) return false;
    SetProperties(*loaded);
    return true;
}

void ChartModel::SetScrollPaused(bool paused) {
    if (paused == ScrollPaused()) return;
    if (paused) {
        frozenX_ = x_;
    } else {
        frozenX_.reset();
        RefitY();
    }
    ++revision_;
}

void ChartModel::ZoomX(double factor) {
    if (!(factor > 0.0) || !std::isfinite(factor)) return;
    const auto zoom = [factor](ChartAxis& axis) {
        const double right = axis.Maximum();
        axis.span = std::clamp(axis.span * factor, kMinXSpan, kMaxXSpan);
        axis.minimum = right - axis.span;
    };
    zoom(x_);
    if (frozenX_) zoom(*frozenX_);
    RefitY();
    ++revision_;
}

}  // namespace kivo
