#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/plot/ChartAxis.h"
#include "core/plot/ChartModel.h"
#include "core/plot/PointStore.h"

namespace kivo {
namespace {

// ---- the axis rules, one value at a time -------------------------------------------------

struct TrackCase {
    const char* name;
    TrackingStyle style;
    FirstPointAlignment alignment;
    bool firstPointSeen;
    double value;
    double minimum;  // expected
    double span;     // expected
};

TEST(ChartAxis, TrackValueFollowsEachStyle) {
    using TS = TrackingStyle;
    using FA = FirstPointAlignment;
    const TrackCase cases[] = {
        {"scroll: inside the range", TS::SmoothScroll, FA::Auto, true, 50.0, 0.0, 100.0},
        {"scroll: exactly at the right edge", TS::SmoothScroll, FA::Auto, true, 100.0, 0.0, 100.0},
        {"scroll: past the right edge", TS::SmoothScroll, FA::Auto, true, 101.0, 1.0, 100.0},
        {"scroll: below the range moves nothing", TS::SmoothScroll, FA::Auto, true, -5.0, 0.0,
         100.0},
        {"auto: first point far above", TS::SmoothScroll, FA::Auto, false, 1000.0, 1000.0, 100.0},
        {"auto: first point below", TS::SmoothScroll, FA::Auto, false, -500.0, -500.0, 100.0},
        {"auto: first point inside", TS::SmoothScroll, FA::Auto, false, 30.0, 0.0, 100.0},
        {"none: first point far above scrolls", TS::SmoothScroll, FA::None, false, 1000.0, 900.0,
         100.0},
        {"scale: above grows the span", TS::ScaleMinMax, FA::None, true, 150.0, 0.0, 150.0},
        {"scale: below moves the minimum only", TS::ScaleMinMax, FA::None, true, -20.0, -20.0,
         100.0},
        {"scale: inside moves nothing", TS::ScaleMinMax, FA::None, true, 99.0, 0.0, 100.0},
        {"expand/collapse: a value alone moves nothing", TS::ExpandCollapse, FA::None, false, 500.0,
         0.0, 100.0},
    };
    for (const TrackCase& c : cases) {
        SCOPED_TRACE(c.name);
        ChartAxis axis;
        axis.tracking = c.style;
        axis.alignment = c.alignment;
        axis.firstPointSeen = c.firstPointSeen;
        TrackValue(axis, c.value);
        EXPECT_DOUBLE_EQ(axis.minimum, c.minimum);
        EXPECT_DOUBLE_EQ(axis.span, c.span);
        EXPECT_TRUE(axis.firstPointSeen);
    }
}

TEST(ChartAxis, LogarithmicRangeStaysPositive) {
    ChartAxis axis;
    axis.tracking = TrackingStyle::ScaleMinMax;
    axis.logarithmic = true;
    TrackValue(axis, -3.0);  // the minimum goes to -3, then is raised
    EXPECT_EQ(axis.minimum, 1.0);
    EXPECT_EQ(axis.span, 100.0);

    ChartAxis linear;
    linear.tracking = TrackingStyle::ScaleMinMax;
    TrackValue(linear, -3.0);
    EXPECT_EQ(linear.minimum, -3.0);
}

TEST(ChartAxis, FitToSpreadLeavesFlatOrEmptySetsAlone) {
    struct Case {
        const char* name;
        YSpread spread;
        double minimum;
        double span;
    };
    const double huge = std::numeric_limits<double>::max();
    const Case cases[] = {
        {"no visible point", {}, 0.0, 100.0},
        {"flat trace", {true, 7.0, 7.0}, 0.0, 100.0},
        {"a spread", {true, -3.0, 12.0}, -3.0, 15.0},
        {"a spread too wide for a double", {true, -huge, huge}, 0.0, 100.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChartAxis axis;
        FitToSpread(axis, c.spread);
        EXPECT_EQ(axis.minimum, c.minimum);
        EXPECT_EQ(axis.span, c.span);
    }
}

// ---- the bounded store ----------------------------------------------------------------------

std::vector<double> Xs(const PointStore& store) {
    std::vector<double> xs;
    for (std::size_t i = 0; i < store.size(); ++i) xs.push_back(store[i].x);
    return xs;
}

TEST(PointStore, KeepsTheNewestAndReportsWhatItDropped) {
    PointStore store(3);
    std::vector<double> dropped;
    for (int i = 1; i <= 5; ++i) {
        if (const auto gone = store.Append({double(i), 10.0 * i})) dropped.push_back(gone->x);
    }
    EXPECT_EQ(Xs(store), (std::vector<double>{3, 4, 5}));
    EXPECT_EQ(dropped, (std::vector<double>{1, 2}));
    EXPECT_EQ(store.front().y, 30.0);
    EXPECT_EQ(store.back().y, 50.0);

    store.Clear();
    EXPECT_TRUE(store.empty());
    store.Append({9.0, 1.0});
    EXPECT_EQ(Xs(store), (std::vector<double>{9}));
}

TEST(PointStore, SortednessFollowsWhatIsHeld) {
    PointStore store(3);
    store.Append({10, 0});
    store.Append({11, 0});
    EXPECT_TRUE(store.Sorted());
    store.Append({5, 0});  // the sample number went back
    EXPECT_FALSE(store.Sorted());
    store.Append({6, 0});  // 11 > 5 still held
    EXPECT_FALSE(store.Sorted());
    store.Append({7, 0});  // holds 5, 6, 7
    EXPECT_TRUE(store.Sorted());
}

TEST(PointStore, SpreadWithinCountsOnlyTheWindowEvenWhenUnsorted) {
    PointStore store(100);
    for (int x = 0; x <= 20; ++x) store.Append({double(x), double(x)});
    YSpread s = store.SpreadWithin(5.0, 10.0);
    ASSERT_TRUE(s.any);
    EXPECT_EQ(s.smallest, 5.0);
    EXPECT_EQ(s.largest, 10.0);
    EXPECT_FALSE(store.SpreadWithin(30.0, 40.0).any);

    store.Append({2.0, -1000.0});  // outside 5..25 although it stands last
    s = store.SpreadWithin(5.0, 25.0);
    EXPECT_EQ(s.smallest, 5.0);
    EXPECT_EQ(s.largest, 20.0);
}

// ---- the model ------------------------------------------------------------------------------

// A chart as the start-up configuration leaves it.
ChartModel Configured(std::size_t pointsPerChannel = ChartModel::kPointsPerChannel) {
    ChartModel chart(pointsPerChannel);
    chart.SetYTracking(TrackingStyle::ExpandCollapse);
    return chart;
}

// The Y range a scrolling chart keeps is the one worked out from every visible point after
// each line, however the model carries it along: random traces over three channels, with
// flat stretches, rising and falling stretches (an end leaves with every line), zeros of
// both signs, repeated extremes, lines whose date comes and goes (X falling back), a pause
// and zooms, and a small store that drops points from inside the window.
TEST(ChartModel, YFollowsTheVisiblePointsAsIfWorkedOutAfreshEachLine) {
    std::mt19937 random(20261208);
    for (const std::size_t limit : {std::size_t{40}, std::size_t{500}}) {
        ChartModel chart = Configured(limit);
        for (int c = 0; c < 3; ++c) chart.AddChannel();
        ChartAxis expected = chart.YAxis();
        double x = 0.0;
        for (int line = 0; line < 4000; ++line) {
            x = random() % 200 == 0 ? x - 50.0 : x + 1.0;  // now and then the date drops out
            if (line == 1000 || line == 1150) chart.SetScrollPaused(line == 1000);
            if (line == 3000 || line == 3300) chart.ZoomX(line == 3000 ? 0.5 : 4.0);
            const bool rising = line >= 500 && line < 1500;
            const bool falling = line >= 2500 && line < 2900;
            for (int c = 0; c < 3; ++c) {
                // Zeros of both signs only for a stretch: an end at zero is worked out afresh.
                const bool zeros = line >= 2000 && line < 2100;
                const int pick = static_cast<int>(random() % 10);
                const double y = rising               ? line + pick / 4.0
                                 : falling            ? -line - c
                                 : zeros && pick == 0 ? 0.0
                                 : zeros && pick == 1 ? -0.0
                                 : pick < 3           ? 7.0  // a value that is often an end
                                            : static_cast<double>(8 + random() % 1000) / 8.0;
                chart.AddXY(c, x, y);
                YSpread fresh;
                const ChartAxis& shown = chart.XAxis();
                for (int k = 0; k < 3; ++k)
                    fresh.Include(
                        chart.Channel(k).points.SpreadWithin(shown.minimum, shown.Maximum()));
                FitToSpread(expected, fresh);
                ASSERT_EQ(chart.YAxis().minimum, expected.minimum) << "line " << line;
                ASSERT_EQ(std::signbit(chart.YAxis().minimum), std::signbit(expected.minimum));
                ASSERT_EQ(chart.YAxis().span, expected.span) << "line " << line;
            }
        }
    }
}

TEST(ChartModel, DesignState) {
    const ChartModel chart;
    EXPECT_EQ(chart.ChannelCount(), 0);
    EXPECT_EQ(chart.XAxis().minimum, 0.0);
    EXPECT_EQ(chart.XAxis().span, 100.0);
    EXPECT_EQ(chart.XAxis().tracking, TrackingStyle::SmoothScroll);
    EXPECT_EQ(chart.XAxis().alignment, FirstPointAlignment::Auto);
    EXPECT_EQ(chart.YAxis().minimum, 0.0);
    EXPECT_EQ(chart.YAxis().span, 100.0);
    EXPECT_EQ(chart.YAxis().tracking, TrackingStyle::ScaleMinMax);
    EXPECT_EQ(chart.YAxis().alignment, FirstPointAlignment::None);
    EXPECT_TRUE(chart.EditButtonShown());
    EXPECT_FALSE(chart.ScrollPaused());
}

TEST(ChartModel, XScrollsWithTheNewestPointAtTheRightEdge) {
    ChartModel chart = Configured();
    const int c = chart.AddChannel();
    for (int x = 0; x <= 100; ++x) chart.AddXY(c, x, 1.0);
    EXPECT_EQ(chart.XAxis().minimum, 0.0);
    chart.AddXY(c, 101, 1.0);
    EXPECT_EQ(chart.XAxis().minimum, 1.0);
    for (int x = 102; x <= 150; ++x) chart.AddXY(c, x, 1.0);
    EXPECT_EQ(chart.XAxis().minimum, 50.0);
    EXPECT_EQ(chart.XAxis().span, 100.0);
}

TEST(ChartModel, FirstPointFarFromTheRangeMovesTheMinimumThere) {
    ChartModel chart = Configured();
    const int c = chart.AddChannel();
    chart.AddXY(c, 5000.0, 3.0);
    EXPECT_EQ(chart.XAxis().minimum, 5000.0);
    chart.AddXY(c, 5101.0, 3.0);
    EXPECT_EQ(chart.XAxis().minimum, 5001.0);
}

TEST(ChartModel, ScaleToMinAndMaxIsTheDesignYStyle) {
    ChartModel chart;  // not configured: Y scales to the extremes
    const int c = chart.AddChannel();
    chart.AddXY(c, 0, 250.0);
    chart.AddXY(c, 1, -40.0);
    chart.AddXY(c, 2, 10.0);
    EXPECT_EQ(chart.YAxis().minimum, -40.0);
    EXPECT_EQ(chart.YAxis().span, 250.0);  // the span grew to 250, then only the minimum moved
}

TEST(ChartModel, YExpandsAndCollapsesOverAllChannelsInTheVisibleWindow) {
    ChartModel chart = Configured();
    const int a = chart.AddChannel();
    const int b = chart.AddChannel();
    for (int x = 0; x <= 100; ++x) chart.AddXY(a, x, x == 10 ? 500.0 : 10.0);
    chart.AddXY(b, 50, -3.0);
    EXPECT_EQ(chart.YAxis().minimum, -3.0);
    EXPECT_EQ(chart.YAxis().span, 503.0);

    // The spike at x 10 leaves the window 11..111.
    for (int x = 101; x <= 111; ++x) chart.AddXY(a, x, 10.0);
    EXPECT_EQ(chart.XAxis().minimum, 11.0);
    EXPECT_EQ(chart.YAxis().minimum, -3.0);
    EXPECT_EQ(chart.YAxis().span, 13.0);

    // Channel b's point leaves too: a flat trace keeps the last range.
    for (int x = 112; x <= 151; ++x) chart.AddXY(a, x, 10.0);
    EXPECT_EQ(chart.YAxis().minimum, -3.0);
    EXPECT_EQ(chart.YAxis().span, 13.0);

    // A new spread takes over again, growing.
    chart.AddXY(a, 152, 30.0);
    EXPECT_EQ(chart.YAxis().minimum, 10.0);
    EXPECT_EQ(chart.YAxis().span, 20.0);
}

TEST(ChartModel, FlatTraceFromTheStartKeepsTheDesignRange) {
    ChartModel chart = Configured();
    const int c = chart.AddChannel();
    for (int x = 0; x < 300; ++x) chart.AddXY(c, x, 7.0);
    EXPECT_EQ(chart.YAxis().minimum, 0.0);
    EXPECT_EQ(chart.YAxis().span, 100.0);
}

TEST(ChartModel, AnExtremeDroppedFromTheStoreLeavesTheYRange) {
    ChartModel chart = Configured(3);
    const int c = chart.AddChannel();
    chart.AddXY(c, 0, 0.0);
    chart.AddXY(c, 1, 100.0);
    chart.AddXY(c, 2, 50.0);
    EXPECT_EQ(chart.YAxis().minimum, 0.0);
    EXPECT_EQ(chart.YAxis().span, 100.0);
    chart.AddXY(c, 3, 60.0);  // (0, 0) goes; 100, 50, 60 remain
    EXPECT_EQ(chart.YAxis().minimum, 50.0);
    EXPECT_EQ(chart.YAxis().span, 50.0);
}

TEST(ChartModel, SampleNumberGoingBackDoesNotFoolTheWindowSearch) {
    ChartModel chart = Configured();
    const int c = chart.AddChannel();
    for (int x = 0; x <= 200; ++x) chart.AddXY(c, x, x % 2 == 0 ? 1.0 : 2.0);
    chart.AddXY(c, 5.0, -1000.0);  // left of the window 100..200
    chart.AddXY(c, 201.0, 1.0);    // the window moves, the spread is taken afresh
    EXPECT_EQ(chart.XAxis().minimum, 101.0);
    EXPECT_EQ(chart.YAxis().minimum, 1.0);
    EXPECT_EQ(chart.YAxis().span, 1.0);
}

TEST(ChartModel, ClearAllDataKeepsChannelsAndClearsFirstPointFlags) {
    ChartModel chart = Configured();
    const int c = chart.AddChannel();
    chart.SetTitleText(c, "CHL:");
    for (int x = 0; x <= 1100; ++x) chart.AddXY(c, x, x % 3);
    ASSERT_EQ(chart.XAxis().minimum, 1000.0);

    chart.ClearAllData();
    EXPECT_EQ(chart.ChannelCount(), 1);
    EXPECT_EQ(chart.Channel(c).title, "CHL:");
    EXPECT_TRUE(chart.Channel(c).points.empty());
    EXPECT_EQ(chart.Channel(c).appended, 0u);
    EXPECT_FALSE(chart.XAxis().firstPointSeen);
    EXPECT_FALSE(chart.YAxis().firstPointSeen);
    EXPECT_EQ(chart.XAxis().minimum, 1000.0);  // the range itself stays

    chart.AddXY(c, 5.0, 1.0);  // outside 1000..1100: the first point aligns the axis
    EXPECT_EQ(chart.XAxis().minimum, 5.0);
    EXPECT_TRUE(chart.YAxis().firstPointSeen);
}

TEST(ChartModel, StoreIsBoundedPerChannel) {
    ChartModel chart = Configured();
    const int c = chart.AddChannel();
    const int extra = 50;
    const int total = static_cast<int>(ChartModel::kPointsPerChannel) + extra;
    for (int x = 0; x < total; ++x) chart.AddXY(c, x, x % 7);
    const ChartChannel& channel = chart.Channel(c);
    EXPECT_EQ(channel.points.size(), ChartModel::kPointsPerChannel);
    EXPECT_EQ(channel.appended, static_cast<std::uint64_t>(total));
    EXPECT_EQ(channel.points.front().x, double(extra));
    EXPECT_EQ(channel.points.back().x, double(total - 1));
}

TEST(ChartModel, PauseFreezesTheWindowAndResumeJumpsToTheNewest) {
    ChartModel chart = Configured();
    const int c = chart.AddChannel();
    for (int x = 0; x <= 100; ++x) chart.AddXY(c, x, x < 50 ? 0.0 : 10.0);
    chart.SetScrollPaused(true);
    for (int x = 101; x <= 150; ++x) chart.AddXY(c, x, 100.0);
    EXPECT_TRUE(chart.ScrollPaused());
    EXPECT_EQ(chart.XAxis().minimum, 0.0);
    EXPECT_EQ(chart.Channel(c).points.size(), 151u);
    // Y follows only what stays on screen: the new points are off to the right.
    EXPECT_EQ(chart.YAxis().minimum, 0.0);
    EXPECT_EQ(chart.YAxis().span, 10.0);

    chart.SetScrollPaused(false);
    EXPECT_EQ(chart.XAxis().minimum, 50.0);
    EXPECT_EQ(chart.XAxis().span, 100.0);
    EXPECT_EQ(chart.YAxis().minimum, 10.0);
    EXPECT_EQ(chart.YAxis().span, 90.0);
}

TEST(ChartModel, ZoomKeepsTheRightEdgeWithinLimits) {
    ChartModel chart = Configured();
    const int c = chart.AddChannel();
    for (int x = 0; x <= 200; ++x) chart.AddXY(c, x, x);
    chart.ZoomX(0.5);
    EXPECT_EQ(chart.XAxis().minimum, 150.0);
    EXPECT_EQ(chart.XAxis().span, 50.0);
    EXPECT_EQ(chart.YAxis().minimum, 150.0);  // Y refits to what is now visible
    EXPECT_EQ(chart.YAxis().span, 50.0);
    chart.AddXY(c, 201, 201.0);
    EXPECT_EQ(chart.XAxis().minimum, 151.0);  // scrolling keeps the zoomed span

    for (int i = 0; i < 20; ++i) chart.ZoomX(0.5);
    EXPECT_EQ(chart.XAxis().span, ChartModel::kMinXSpan);
    for (int i = 0; i < 40; ++i) chart.ZoomX(2.0);
    EXPECT_EQ(chart.XAxis().span, ChartModel::kMaxXSpan);
    EXPECT_EQ(chart.XAxis().Maximum(), 201.0);
    const ChartAxis before = chart.XAxis();
    chart.ZoomX(0.0);
    chart.ZoomX(std::nan(""));
    EXPECT_EQ(chart.XAxis().span, before.span);
}

TEST(ChartModel, NullPointsAndUnknownChannelsAreIgnored) {
    ChartModel chart = Configured();
    const int c = chart.AddChannel();
    const std::uint64_t revision = chart.Revision();
    const double inf = std::numeric_limits<double>::infinity();
    chart.AddXY(c, 1.0, std::nan(""));
    chart.AddXY(c, 1.0, -inf);
    chart.AddXY(c, inf, 1.0);
    chart.AddXY(-1, 1.0, 1.0);
    chart.AddXY(1, 1.0, 1.0);
    chart.SetTitleText(5, "x");
    chart.SetColour(-1, 0);
    EXPECT_TRUE(chart.Channel(c).points.empty());
    EXPECT_EQ(chart.Revision(), revision);
}

TEST(ChartModel, RevisionsTellADrawingWhatChanged) {
    ChartModel chart;
    struct Step {
        const char* name;
        void (*change)(ChartModel&);
        bool structure;
        bool appearance;
        bool any;
    };
    const Step steps[] = {
        {"add channel", [](ChartModel& m) { m.AddChannel(); }, true, false, true},
        {"title text", [](ChartModel& m) { m.SetTitleText(0, "CHL: 1 Counts"); }, false, true,
         true},
        {"same title text", [](ChartModel& m) { m.SetTitleText(0, "CHL: 1 Counts"); }, false, false,
         false},
        {"colour", [](ChartModel& m) { m.SetColour(0, Rgb(255, 0, 0)); }, false, true, true},
        {"chart title", [](ChartModel& m) { m.SetTitle("KIVO FL"); }, false, true, true},
        {"edit button", [](ChartModel& m) { m.ShowEditButton(false); }, false, true, true},
        {"point", [](ChartModel& m) { m.AddXY(0, 1.0, 2.0); }, false, false, true},
        {"pause", [](ChartModel& m) { m.SetScrollPaused(true); }, false, false, true},
        {"clear", [](ChartModel& m) { m.ClearAllData(); }, true, false, true},
        {"look",
         [](ChartModel& m) {
             ChartProperties p;
             p.gridVisible = false;
             m.SetProperties(p);
         },
         false, true, true},
        {"remove channels", [](ChartModel& m) { m.RemoveAllChannels(); }, true, false, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const auto structure = chart.StructureRevision();
        const auto appearance = chart.AppearanceRevision();
        const auto any = chart.Revision();
        step.change(chart);
        EXPECT_EQ(chart.StructureRevision() != structure, step.structure);
        EXPECT_EQ(chart.AppearanceRevision() != appearance, step.appearance);
        EXPECT_EQ(chart.Revision() != any, step.any);
    }
}

}  // namespace
}  // namespace kivo
