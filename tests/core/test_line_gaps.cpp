// The line of the live chart and of the viewer is broken where the data paused much longer
// than their pace, and drawn through where they came at it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "SessionFixture.h"
#include "core/plot/ChartModel.h"
#include "core/viewer/RecordingData.h"

namespace kivo::test {
namespace {

TEST(ChartBreaks, TheNextPointOfEachChannelBeginsASegment) {
    ChartModel chart(5);
    const int drawn = chart.AddChannel();
    const int empty = chart.AddChannel();
    for (int i = 0; i < 3; ++i) chart.AddXY(drawn, i, 10.0 + i);
    chart.BreakLines();
    chart.BreakLines();  // one pause, however often it is seen
    chart.AddXY(drawn, 3, 20.0);
    chart.AddXY(drawn, 4, 21.0);
    chart.AddXY(empty, 4, 1.0);  // nothing before it to break from

    const ChartChannel& c = chart.Channel(drawn);
    EXPECT_EQ(c.segmentStarts, std::deque<std::uint64_t>{3});
    for (std::size_t k = 0; k < c.points.size(); ++k) EXPECT_EQ(c.BreakBefore(k), k == 3) << k;
    EXPECT_EQ(c.BreaksHeld(), 1u);
    EXPECT_TRUE(chart.Channel(empty).segmentStarts.empty());

    // Once the point before the break has left the store, nothing is joined there.
    chart.AddXY(drawn, 5, 22.0);
    chart.AddXY(drawn, 6, 23.0);
    EXPECT_EQ(c.points.front().x, 2.0);
    EXPECT_EQ(c.BreaksHeld(), 1u);
    chart.AddXY(drawn, 7, 24.0);
    EXPECT_EQ(c.BreaksHeld(), 0u);
    EXPECT_FALSE(c.BreakBefore(0));

    chart.BreakLines();
    chart.ClearAllData();
    chart.AddXY(drawn, 8, 1.0);
    chart.AddXY(drawn, 9, 1.0);
    EXPECT_EQ(c.BreaksHeld(), 0u);
}

// Lines at the pace of the 55 ms tick: the measured rate is 1 / 0.055 Hz, so a pause of
// more than five ticks breaks the line.
TEST(ChartBreaks, TheLiveChartBreaksAtAPauseAndNotAtThePace) {
    MeterSession f;
    f.session.BTStartClick();
    const auto line = [&f](std::int64_t afterMs) {
        f.clock.Advance(afterMs);
        f.Receive("11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n");
    };
    for (int i = 0; i < 30; ++i) line(55);
    ASSERT_TRUE(f.session.Status().sampleRateHz.has_value());
    const ChartModel& chart = f.session.Plot().Model();
    ASSERT_GT(chart.ChannelCount(), 0);
    EXPECT_EQ(chart.Channel(0).BreaksHeld(), 0u);

    f.clock.Advance(1000);  // the meter pauses; the ticks go on
    f.Ticks(1);
    line(55);
    line(55);
    int plotted = 0;
    for (int channel = 0; channel < chart.ChannelCount(); ++channel) {
        const ChartChannel& c = chart.Channel(channel);
        if (c.points.empty()) continue;  // a temperature not chosen for the plot
        ++plotted;
        ASSERT_EQ(c.BreaksHeld(), 1u) << channel;
        EXPECT_TRUE(c.BreakBefore(c.points.size() - 2)) << channel;
    }
    EXPECT_GT(plotted, 0);
}

// One channel, the value of each line its number, at the given times [s].
RecordingData Recording(const std::vector<std::int64_t>& times) {
    RecordingData data({{"a", 0, ""}});
    for (std::size_t i = 0; i < times.size(); ++i) {
        const float value = static_cast<float>(i);
        data.Append(&value, times[i]);
    }
    data.Finish();
    return data;
}

// `perSecond` lines a second for `before` seconds, nothing for `pause` seconds, then the
// same again.
std::vector<std::int64_t> PausedTimes(int perSecond, int before, int pause) {
    std::vector<std::int64_t> times;
    for (int s = 0; s < before; ++s)
        for (int k = 0; k < perSecond; ++k) times.push_back(1100000000 + s);
    for (int s = 0; s < before; ++s)
        for (int k = 0; k < perSecond; ++k) times.push_back(1100000000 + before + pause + s);
    return times;
}

TEST(ChartBreaks, TheViewerBreaksWhereTheRecordingPaused) {
    struct Case {
        const char* name;
        std::vector<std::int64_t> times;
        bool broken;
    };
    const Case cases[] = {
        {"1 Hz, steady", PausedTimes(1, 40, 0), false},
        {"1 Hz, 9 s lost", PausedTimes(1, 40, 9), true},
        {"1 Hz, 4 s lost: within five intervals", PausedTimes(1, 40, 4), false},
        {"4 Hz, steady", PausedTimes(4, 20, 0), false},
        {"4 Hz, 2 s lost", PausedTimes(4, 20, 2), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RecordingData data = Recording(c.times);
        ASSERT_TRUE(data.TimeAxis());
        const std::size_t half = c.times.size() / 2;
        for (std::size_t line = 0; line < data.Lines(); ++line)
            EXPECT_EQ(data.GapBefore(line), c.broken && line == half) << line;
        // Drawn line by line and squeezed into a few pixel columns alike.
        for (const int columns : {1000, 8}) {
            std::vector<EnvelopePoint> envelope;
            data.Envelope(0, data.X(0) - 1, data.X(data.Lines() - 1) + 1, columns, envelope);
            std::vector<std::size_t> gaps;
            for (std::size_t i = 0; i < envelope.size(); ++i)
                if (std::isnan(envelope[i].low) && std::isnan(envelope[i].high)) gaps.push_back(i);
            ASSERT_EQ(gaps.size(), c.broken ? 1u : 0u) << columns;
            if (!c.broken) continue;
            const std::size_t at = gaps[0];
            ASSERT_GT(at, 0u);
            ASSERT_LT(at + 1, envelope.size());
            // Between the last point before the pause and the first after it.
            EXPECT_LT(envelope[at - 1].x, envelope[at].x);
            EXPECT_LT(envelope[at].x, envelope[at + 1].x);
            EXPECT_LE(envelope[at - 1].high, static_cast<float>(half - 1)) << columns;
            EXPECT_GE(envelope[at + 1].low, static_cast<float>(half)) << columns;
        }
    }
    // By sample number there is no time to find a pause in.
    std::vector<float> values(50, 1.0F);
    RecordingData numbered({{"a", 0, ""}});
    for (const float& v : values) numbered.Append(&v, std::nullopt);
    numbered.Finish();
    EXPECT_FALSE(numbered.SampleInterval().has_value());
}

}  // namespace
}  // namespace kivo::test
