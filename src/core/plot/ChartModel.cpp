#include "core/plot/ChartModel.h"

#include <algorithm>
#include <cmath>

namespace kivo {

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

void ChartModel::AddXY(int channel, double x, double y) {
    if (!Valid(channel) || !std::isfinite(x) || !std::isfinite(y)) return;
    ChartChannel& c = channels_[static_cast<std::size_t>(channel)];
    const ChartPoint point{x, y};
    const std::optional<ChartPoint> dropped = c.points.Append(point);
    if (dropped && c.windowFirst > 0) --c.windowFirst;  // the same point, one place nearer
    ++c.appended;
    ++revision_;
    TrackValue(x_, x);
    TrackY(point, dropped);
}

void ChartModel::TrackY(const ChartPoint& added, const std::optional<ChartPoint>& dropped) {
    TrackValue(y_, added.y);
    if (y_.tracking != TrackingStyle::ExpandCollapse) return;
    const ChartAxis& shown = XAxis();
    SpreadCache& cache = spreadCache_;
    const bool sameWindow =
        cache.valid && cache.low == shown.minimum && cache.high == shown.Maximum();
    // A point that left the store from inside the window may have been an extreme.
    const bool lostVisible = dropped && dropped->x >= cache.low && dropped->x <= cache.high;
    if (sameWindow && !lostVisible) {
        if (shown.Contains(added.x)) cache.spread.Include(added.y);
    } else if (!lostVisible && SlideForward(shown.minimum, shown.Maximum())) {
        if (shown.Contains(added.x)) cache.spread.Include(added.y);
    } else {
        CacheVisibleSpread(shown.minimum, shown.Maximum());
    }
    FitToSpread(y_, cache.spread);
}

// The window moved forward, as it does with every line while it scrolls: the spread is
// carried over when no point that left it held an end, and the points that came in are
// added. Anything else (a store out of order, an end leaving, a zero at an end, whose sign
// would depend on the order of the points) is worked out from all visible points instead.
bool ChartModel::SlideForward(double low, double high) {
    SpreadCache& cache = spreadCache_;
    if (!cache.valid || low < cache.low || high < cache.high) return false;
    const YSpread& ends = cache.spread;
    if (ends.any && (ends.smallest == 0.0 || ends.largest == 0.0)) return false;
    YSpread entering;
    for (const ChartChannel& c : channels_) {
        const PointStore& points = c.points;
        if (!points.Sorted()) return false;
        // Those that leave: from the window's first point up to the new low end.
        for (std::size_t i = c.windowFirst; i < points.size() && points[i].x < low; ++i) {
            const double y = points[i].y;
            if (ends.any && (y == ends.smallest || y == ends.largest)) return false;
        }
        // Those that come in are the newest.
        for (std::size_t i = points.size(); i > 0 && points[i - 1].x > cache.high; --i) {
            if (points[i - 1].x <= high) entering.Include(points[i - 1].y);
        }
    }
    if (entering.any && (entering.smallest == 0.0 || entering.largest == 0.0)) return false;
    for (ChartChannel& c : channels_) {
        while (c.windowFirst < c.points.size() && c.points[c.windowFirst].x < low) ++c.windowFirst;
    }
    cache.low = low;
    cache.high = high;
    cache.spread.Include(entering);
    return true;
}

void ChartModel::CacheVisibleSpread(double low, double high) {
    spreadCache_ = {true, low, high, VisibleSpread()};
    for (ChartChannel& c : channels_) c.windowFirst = c.points.FirstAtOrAbove(low);
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
    for (ChartChannel& c : channels_) {
        c.points.Clear();
        c.appended = 0;
    }
    x_.firstPointSeen = false;
    y_.firstPointSeen = false;
    if (frozenX_) frozenX_->firstPointSeen = false;
    StructureChanged();
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
