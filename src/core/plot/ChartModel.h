#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/plot/ChartAxis.h"
#include "core/plot/ChartProperties.h"
#include "core/plot/PointStore.h"
#include "core/plot/SlidingSpread.h"

namespace kivo {

struct ChartChannel {
    explicit ChartChannel(std::size_t pointLimit) : points(pointLimit) {}

    std::uint32_t colour = Rgb(255, 255, 255);
    std::string title;
    bool failed = false;  // the channel's last value failed a quality test: its entry is marked
    PointStore points;
    // Points appended since the channel was made or last emptied, the dropped ones
    // included: a drawing that has shown `n` of them has the newest `appended - n` to add.
    std::uint64_t appended = 0;
    // The points, numbered like `appended` (the first is 0), that came after a gap in the
    // data: the line is broken before each. Only those still held, oldest first.
    std::deque<std::uint64_t> segmentStarts;
    bool breakPending = false;  // the next point begins a segment

    // Whether the held point `index` (0 the oldest) begins a segment after a point that is
    // held too: a drawing puts a gap between the two.
    bool BreakBefore(std::size_t index) const;
    // The breaks between held points.
    std::size_t BreaksHeld() const;
};

// The strip chart as plain data: channels with bounded point stores, one X and one Y axis
// that follow the data, title and look. The window's chart widget draws it; everything it
// decides is here, so it is tested without a window.
class ChartModel {
public:
    // The visible window is 100 samples; a thousand windows of history per channel is
    // enough to zoom out on and keeps a week's run at a constant size.
    static constexpr std::size_t kPointsPerChannel = 100000;
    static constexpr double kMinXSpan = 1.0;
    static constexpr double kMaxXSpan = 102400.0;  // 100 * 2^10

    explicit ChartModel(std::size_t pointsPerChannel = kPointsPerChannel);

    // ---- the operations the plot view uses ----
    void RemoveAllChannels();
    // Returns the new channel's number; channels are numbered from 0 in order of creation.
    int AddChannel();
    void SetColour(int channel, std::uint32_t colour);
    void SetTitleText(int channel, std::string_view text);
    void SetFailed(int channel, bool failed);
    // Appends (x, y) and moves the X axis, then the Y axis. A point with a non-finite
    // coordinate is a null point: it is not stored. Unknown channels take nothing.
    void AddXY(int channel, double x, double y);
    // Drops every point, keeps the channels, clears both axes' first-point flags.
    void ClearAllData();
    // The data paused too long: the next point of every channel that has points begins a
    // new segment, not joined to the one before.
    void BreakLines();
    void SetTitle(std::string_view title);
    const std::string& Title() const { return title_; }
    // The axes' titles, quantity and unit ("Sample", "Beta [1/(m sr)]"); empty: none yet.
    // Set by whoever feeds the chart; a change is an appearance change.
    void SetAxisLabels(std::string_view x, std::string_view y);
    const std::string& XLabel() const { return xLabel_; }
    const std::string& YLabel() const { return yLabel_; }
    void SetYTracking(TrackingStyle style);
    void ShowEditButton(bool shown);
    bool EditButtonShown() const { return editButtonShown_; }
    // "kivoiocomp.rbs": false / unchanged look when the file cannot be written / used.
    bool SavePropertiesToFile(const std::string& path) const;
    bool LoadPropertiesFromFile(const std::string& path);

    // ---- the operator's controls ----
    // While paused the points are still stored but the visible X range stays put; on
    // resume it jumps to where scrolling would have taken it.
    void SetScrollPaused(bool paused);
    bool ScrollPaused() const { return frozenX_.has_value(); }
    // Multiplies the X span by `factor` (0.5 zooms in), keeping the right edge, within
    // kMinXSpan .. kMaxXSpan.
    void ZoomX(double factor);
    void SetProperties(const ChartProperties& properties);
    const ChartProperties& Properties() const { return properties_; }

    // ---- reading ----
    int ChannelCount() const { return static_cast<int>(channels_.size()); }
    // `channel` must be below ChannelCount().
    const ChartChannel& Channel(int channel) const {
        return channels_[static_cast<std::size_t>(channel)];
    }
    // The visible ranges.
    const ChartAxis& XAxis() const { return frozenX_ ? *frozenX_ : x_; }
    const ChartAxis& YAxis() const { return y_; }

    // Counters for a drawing that catches up incrementally. Revision changes with every
    // change at all; StructureRevision when channels are made or removed or the points
    // are cleared (redraw from scratch); AppearanceRevision when a colour, a channel
    // title, the chart title, the edit button or the look changes.
    std::uint64_t Revision() const { return revision_; }
    std::uint64_t StructureRevision() const { return structureRevision_; }
    std::uint64_t AppearanceRevision() const { return appearanceRevision_; }

private:
    bool Valid(int channel) const { return channel >= 0 && channel < ChannelCount(); }
    void StructureChanged();
    void AppearanceChanged();
    void TrackY(const ChartPoint& added, const std::optional<ChartPoint>& dropped, bool heldBeyond);
    YSpread VisibleSpread() const;
    void RefitY();

    std::size_t pointsPerChannel_;
    std::vector<ChartChannel> channels_;
    ChartAxis x_;                       // follows every point, paused or not
    std::optional<ChartAxis> frozenX_;  // what is shown while paused
    ChartAxis y_;
    std::string title_;
    std::string xLabel_;
    std::string yLabel_;
    bool editButtonShown_ = true;
    ChartProperties properties_;

    // The Y spread of the visible points, kept while the window stays put or slides
    // forward, so that each point costs a few comparisons instead of a pass over the window.
    enum class Follow { Carried, ZeroAtAnEnd, Lost };
    Follow FollowWindow(const ChartPoint& added, const std::optional<ChartPoint>& dropped,
                        bool heldBeyond, double low, double high);
    // Works the spread out from every visible point and caches it with the window.
    void CacheVisibleSpread(double low, double high);

    struct SpreadCache {
        bool valid = false;
        double low = 0.0;
        double high = 0.0;
        YSpread spread;
    } spreadCache_;
    // The visible points of sorted stores, in X order; valid only with the cache.
    SlidingSpread sliding_;
    bool slidingValid_ = false;
    std::vector<ChartPoint> window_;  // reused when the queues are filled afresh
    std::optional<double> newest_;    // the largest X held

    std::uint64_t revision_ = 0;
    std::uint64_t structureRevision_ = 0;
    std::uint64_t appearanceRevision_ = 0;
};

}  // namespace kivo
