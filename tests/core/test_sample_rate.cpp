#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DecimalCommaLocale.h"
#include "core/recording/SampleRate.h"

namespace kivo {
namespace {

// The session's counters and an estimator over them, fed as the receive pump feeds it.
struct RateBench {
    std::uint32_t TickCount = 0;
    int RateLineCount = -1;
    int RateWindow = 5;
    std::uint32_t RateTickStamp = 0;
    SampleRateEstimator estimator{TickCount, RateLineCount, RateWindow, RateTickStamp};

    // A data line arriving `ticksBefore` ticks after the previous one.
    std::optional<std::string> Line(std::uint32_t ticksBefore, bool replay = false) {
        TickCount += ticksBefore;
        return estimator.EstimateSampleRate(replay);
    }
    // After a restart the first line resets the tick counter; `gaps` follow it.
    std::optional<std::string> Window(const std::vector<std::uint32_t>& gaps, bool replay = false) {
        std::optional<std::string> label;
        for (const std::uint32_t gap : gaps) {
            EXPECT_FALSE(label) << "window closed early";
            label = Line(gap, replay);
        }
        return label;
    }
};

TEST(SampleRateEstimator, FirstWindowAfterARestartSetsTheNext) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> gaps;  // ticks between the 6 lines of the first window
        const char* label;
        int nextWindow;
    };
    const Case cases[] = {
        {"1 Hz", {18, 18, 18, 18, 18}, "Sample Rate: 1.01 Hz", 10},
        {"0.3 Hz, raised to the minimum", {61, 61, 61, 61, 61}, "Sample Rate: 0.30 Hz", 5},
        {"5 Hz", {4, 4, 4, 3, 3}, "Sample Rate: 5.05 Hz", 50},
        {"8 Hz", {2, 2, 2, 2, 3}, "Sample Rate: 8.26 Hz", 10},
        {"just under 1 Hz truncates to 9", {18, 18, 18, 18, 19}, "Sample Rate: 1.00 Hz", 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RateBench bench;
        bench.TickCount = 5000;  // whatever ran before; the restart sets it to 1
        EXPECT_FALSE(bench.Line(0));
        EXPECT_EQ(bench.TickCount, 1u);
        EXPECT_EQ(bench.RateTickStamp, 1u);
        EXPECT_EQ(bench.Window(c.gaps), std::optional<std::string>(c.label));
        EXPECT_EQ(bench.RateWindow, c.nextWindow);
        EXPECT_EQ(bench.RateLineCount, 0);
        EXPECT_EQ(bench.RateTickStamp, bench.TickCount);
    }
}

TEST(SampleRateEstimator, LaterWindowsCoverRateWindowIntervals) {
    RateBench bench;
    bench.Line(0);
    ASSERT_TRUE(bench.Window({18, 18, 18, 18, 18}));
    ASSERT_EQ(bench.RateWindow, 10);
    // Ten more lines at 11 ticks: 110 x 0.055 / 10 = 0.605 s per line.
    EXPECT_EQ(bench.Window(std::vector<std::uint32_t>(10, 11)),
              std::optional<std::string>("Sample Rate: 1.65 Hz"));
    EXPECT_EQ(bench.RateWindow, 16);
    EXPECT_EQ(bench.Window(std::vector<std::uint32_t>(16, 11)),
              std::optional<std::string>("Sample Rate: 1.65 Hz"));
}

// Ten lines within one tick once read "0.01 Hz", at 200 lines/s and more; fewer ticks than
// ten made any fast rate jump between multiples of 18 Hz.
TEST(SampleRateEstimator, FastLinesReadTheirRate) {
    for (const double rate : {20.0, 55.0, 100.0, 200.0, 450.0, 1000.0}) {
        SCOPED_TRACE(rate);
        RateBench bench;
        bench.Line(0);
        std::optional<std::string> label;
        double arrival = 1.0 / rate;  // [s]
        // The lines of each tick are taken together, as the receive pump takes them.
        for (int tick = 1; tick <= 400; ++tick) {
            ++bench.TickCount;
            for (; arrival <= tick * kSecondsPerTick; arrival += 1.0 / rate) {
                if (auto closed = bench.estimator.EstimateSampleRate(false)) label = closed;
            }
        }
        ASSERT_TRUE(label);
        const double shown = std::stod(label->substr(std::string("Sample Rate: ").size()));
        EXPECT_NEAR(shown, rate, rate * 0.02) << *label;
    }
    // Exactly: eleven lines a tick for ten ticks after a restart, closed by the next tick's.
    RateBench bench;
    bench.Line(0);
    std::vector<std::uint32_t> gaps(110, 0);
    for (std::size_t i = 10; i < gaps.size(); i += 11) gaps[i] = 1;
    EXPECT_EQ(bench.Window(gaps), std::optional<std::string>("Sample Rate: 200.00 Hz"));
    EXPECT_EQ(bench.RateWindow, 10);
}

TEST(SampleRateEstimator, ReplayShowsReplayAndStillMeasures) {
    RateBench bench;
    bench.Line(0, true);
    EXPECT_EQ(bench.Window({4, 4, 4, 3, 3}, true), std::optional<std::string>("Replay"));
    EXPECT_EQ(bench.RateWindow, 50);
}

TEST(NextRateWindow, TenTimesTheRateWithinFiveToTen) {
    struct Case {
        float rate;
        int window;
    };
    const Case cases[] = {
        {0.01f, 5}, {0.3f, 5},  {0.5f, 5},  {0.59f, 5},  {0.6f, 6},  {0.99f, 9},   {1.0f, 10},
        {2.5f, 25}, {5.0f, 50}, {5.5f, 55}, {5.51f, 10}, {8.0f, 10}, {199.0f, 10},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextRateWindow(c.rate), c.window) << c.rate;
    }
}

TEST(RateOfPeriod, OnlyNoPeriodGivesTheFloorRate) {
    EXPECT_EQ(RateOfPeriod(0.0f), 0.01f);
    EXPECT_EQ(RateOfPeriod(0.00390625f), 256.0f);  // faster than 200 lines/s
    EXPECT_EQ(RateOfPeriod(0.25f), 4.0f);
    EXPECT_EQ(RatePeriod(90, 5), static_cast<float>(90 * 0.055) / 5.0f);
}

TEST(SampleRateLabel, FormatAndDecimalPoint) {
    EXPECT_EQ(SampleRateLabel(1.0101f), "Sample Rate: 1.01 Hz");
    EXPECT_EQ(SampleRateLabel(0.3f), "Sample Rate: 0.30 Hz");
    EXPECT_EQ(SampleRateLabel(12.345f), "Sample Rate: 12.35 Hz");
    std::string underComma;
    {
        const DecimalCommaLocale locale;
        if (!locale.active()) GTEST_SKIP() << "no decimal-comma locale can be made here";
        underComma = SampleRateLabel(5.0505f);
    }
    EXPECT_EQ(underComma, "Sample Rate: 5.05 Hz");
}

}  // namespace
}  // namespace kivo
