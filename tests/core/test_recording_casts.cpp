// The profile view's core: which lines a choice of casts and traces draws, their envelopes
// over pixel rows, their statistics and the cursor's nearest point, on a two-cast recording
// whose phases are written down by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "core/viewer/RecordingData.h"

namespace kivo::test {
namespace {

// Deck, cast 1 (down to 20 dbar in 1 dbar steps, up), deck, cast 2 (down to 40 dbar with a
// loop at 10 dbar, bottom, up), deck. Channel 0 is the pressure times 10 plus 1000 in cast
// 2's up trace; channel 1 is NaN in cast 2's down trace below 30 dbar.
struct TwoCasts {
    RecordingData data{{{"a", 0, ""}, {"b", 0, ""}}};
    std::vector<float> pressure;
    std::vector<CastMark> marks;
    std::pair<std::size_t, std::size_t> down1, up1, down2, up2;

    void Add(float p, CastMark mark, float b) {
        const float row[2] = {p * 10 + (mark.cast == 2 && mark.phase == CastPhase::Up ? 1000 : 0),
                              b};
        data.Append(row, std::nullopt);
        pressure.push_back(p);
        marks.push_back(mark);
    }
    std::pair<std::size_t, std::size_t> Trace(int cast, CastPhase phase,
                                              const std::vector<float>& pressures) {
        const std::size_t first = pressure.size();
        for (std::size_t i = 0; i < pressures.size(); ++i) {
            const bool loop = i > 0 && phase == CastPhase::Down && pressures[i] <= pressures[i - 1];
            const float p = pressures[i];
            Add(p, {phase, cast, loop}, cast == 2 && phase == CastPhase::Down && p > 30 ? NAN : 1);
        }
        return {first, pressure.size()};
    }
    static std::vector<float> Steps(float from, float to) {
        std::vector<float> steps;
        const float step = to > from ? 1.0F : -1.0F;
        for (float p = from; step * (to - p) >= 0; p += step) steps.push_back(p);
        return steps;
    }

    TwoCasts() {
        for (int i = 0; i < 5; ++i) Add(0, {}, 1);
        down1 = Trace(1, CastPhase::Down, Steps(1, 20));
        up1 = Trace(1, CastPhase::Up, Steps(19, 1));
        for (int i = 0; i < 5; ++i) Add(0, {}, 1);
        Add(2, {CastPhase::Soak, 2, false}, 1);
        std::vector<float> down = Steps(2, 40);
        down.insert(down.begin() + 9, {9.0F, 8.5F});  // heave: 10, 9, 8.5, 11 ...
        down2 = Trace(2, CastPhase::Down, down);
        Add(40, {CastPhase::Bottom, 2, false}, 1);
        up2 = Trace(2, CastPhase::Up, Steps(39, 1));
        for (int i = 0; i < 5; ++i) Add(0, {}, 1);
        data.Finish();
    }
    RecordingCasts Casts() const { return RecordingCasts(pressure, marks); }
};

CastTrace TraceOf(int cast, CastPhase direction, std::pair<std::size_t, std::size_t> lines) {
    return {cast, direction, lines.first, lines.second};
}

TEST(RecordingCasts, AChoiceOfCastAndTraceGivesExactlyItsLines) {
    const TwoCasts r;
    const RecordingCasts casts = r.Casts();
    EXPECT_EQ(casts.CastCount(), 2);
    const CastTrace d1 = TraceOf(1, CastPhase::Down, r.down1),
                    u1 = TraceOf(1, CastPhase::Up, r.up1),
                    d2 = TraceOf(2, CastPhase::Down, r.down2),
                    u2 = TraceOf(2, CastPhase::Up, r.up2);
    const struct {
        CastChoice choice;
        std::vector<CastTrace> traces;
    } cases[] = {
        {{0, TraceChoice::Both}, {d1, u1, d2, u2}},
        {{0, TraceChoice::Down}, {d1, d2}},
        {{0, TraceChoice::Up}, {u1, u2}},
        {{2, TraceChoice::Down}, {d2}},  // the loop stays in the drawn trace
        {{1, TraceChoice::Both}, {d1, u1}},
        {{3, TraceChoice::Both}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(casts.Traces(c.choice), c.traces) << c.choice.cast;
    }
    const auto extent = casts.PressureExtent({d1, u1});
    ASSERT_TRUE(extent);
    EXPECT_EQ(*extent, (std::pair<double, double>{1, 20}));
    EXPECT_FALSE(casts.PressureExtent({}));
}

TEST(RecordingCasts, AFewLinesAreDrawnOneByOneAndManyAsTheBandOfEachPixelRow) {
    const TwoCasts r;
    const RecordingCasts casts = r.Casts();
    const CastTrace down2 = TraceOf(2, CastPhase::Down, r.down2);
    std::vector<ProfileEnvelopePoint> points;

    // 41 lines on 100 rows: every line whose value is there, in the order taken, loop and all.
    casts.Envelope(r.data, 1, down2, {0, 45}, 100, points);
    std::vector<double> drawn;
    for (const ProfileEnvelopePoint& p : points) {
        EXPECT_EQ(p.low, p.high);
        drawn.push_back(p.pressure);
    }
    std::vector<double> expected;
    for (std::size_t line = down2.first; line < down2.last; ++line)
        if (r.pressure[line] <= 30) expected.push_back(r.pressure[line]);
    EXPECT_EQ(drawn, expected);

    // On 8 rows of 5 dbar over [0, 40]: each row the lowest and highest value of its lines,
    // by increasing pressure, the loop's lines in their row.
    casts.Envelope(r.data, 0, down2, {0, 40}, 8, points);
    ASSERT_EQ(points.size(), std::size_t{8});
    for (std::size_t row = 0; row < points.size(); ++row) {
        float low = INFINITY, high = -INFINITY;
        for (std::size_t line = down2.first; line < down2.last; ++line) {
            const float p = r.pressure[line];
            if (std::min(static_cast<std::size_t>(p / 5), std::size_t{7}) != row) continue;
            low = std::min(low, r.data.Value(0, line));
            high = std::max(high, r.data.Value(0, line));
        }
        EXPECT_DOUBLE_EQ(points[row].pressure, 2.5 + 5.0 * static_cast<double>(row));
        EXPECT_EQ(points[row].low, low) << row;
        EXPECT_EQ(points[row].high, high) << row;
    }
    EXPECT_EQ(points[1].low, 50.0F);   // 5 dbar ...
    EXPECT_EQ(points[1].high, 90.0F);  // ... to 9 dbar: 10 dbar is the next row
    // A band of rows past the trace's deepest line is not drawn.
    casts.Envelope(r.data, 0, down2, {30, 70}, 4, points);
    ASSERT_EQ(points.size(), std::size_t{2});
    EXPECT_EQ(points[1].high, 400.0F);
}

TEST(RecordingCasts, StatisticsCountTheChosenLinesWithinThePressuresShown) {
    const TwoCasts r;
    const RecordingCasts casts = r.Casts();
    const std::vector<CastTrace> both2 = casts.Traces({2, TraceChoice::Both});
    // Channel 0 between 5 and 7 dbar: 50, 60, 70 down and 1050, 1060, 1070 up.
    RangeStatistics s = casts.Statistics(r.data, 0, both2, {5, 7});
    EXPECT_EQ(s.count, 6);
    EXPECT_DOUBLE_EQ(s.mean, 560.0);
    EXPECT_DOUBLE_EQ(s.minimum, 50.0);
    EXPECT_DOUBLE_EQ(s.maximum, 1070.0);
    EXPECT_NEAR(s.standardDeviation, std::sqrt((6 * 500.0 * 500 + 4 * 100.0) / 5), 1e-9);
    // The missing values of channel 1 below 30 dbar are left out, not counted as zero.
    s = casts.Statistics(r.data, 1, casts.Traces({2, TraceChoice::Down}), {25, 45});
    EXPECT_EQ(s.count, 6);  // 25 ... 30
    s = casts.Statistics(r.data, 0, {}, {0, 100});
    EXPECT_EQ(s.count, 0);
    EXPECT_TRUE(std::isnan(s.mean));
}

TEST(RecordingCasts, TheCursorFindsTheNearestPointAsTheScreenShowsIt) {
    const TwoCasts r;
    const RecordingCasts casts = r.Casts();
    const std::vector<CastTrace> all = casts.Traces({0, TraceChoice::Both});
    // Near 12 dbar and value 1100: cast 2's up trace (1120 at 12 dbar), not the down traces.
    auto nearest = casts.Nearest(r.data, 0, all, {12.2, 1100}, {1, 1000});
    ASSERT_TRUE(nearest);
    EXPECT_EQ(r.marks[nearest->first].cast, 2);
    EXPECT_EQ(r.marks[nearest->first].phase, CastPhase::Up);
    EXPECT_EQ(r.pressure[nearest->first], 12.0F);
    // With the pressures squeezed (a wide pressure span), the value decides: 1100 at 10 dbar.
    nearest = casts.Nearest(r.data, 0, all, {12.2, 1100}, {1000, 1});
    ASSERT_TRUE(nearest);
    EXPECT_EQ(nearest->first, r.up2.first + 29);
    EXPECT_EQ(r.pressure[nearest->first], 10.0F);
    EXPECT_FALSE(casts.Nearest(r.data, 0, {}, {12, 0}, {1, 1}));
}

}  // namespace
}  // namespace kivo::test
