// The quality tests against their written definitions with hand-made series, the QC file's
// sections and refusals, a channel's flags as its samples come, and the live watch's notices.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "FakePrompts.h"
#include "SessionFixture.h"
#include "core/chain/DataChain.h"
#include "core/data/DeviceFile.h"
#include "core/export/RecordQuality.h"
#include "core/host/QualityWatch.h"
#include "core/quality/ChannelQuality.h"
#include "core/quality/QualitySettings.h"
#include "core/quality/QualityTests.h"
#include "core/viewer/RecordingData.h"

namespace kivo::test {
namespace {

constexpr QualityFlag P = QualityFlag::Pass;
constexpr QualityFlag N = QualityFlag::NotEvaluated;
constexpr QualityFlag S = QualityFlag::Suspect;
constexpr QualityFlag F = QualityFlag::Fail;
constexpr QualityFlag M = QualityFlag::Missing;

ValueWindow Window(const std::vector<double>& values) { return {values.data(), values.size()}; }

TEST(QualityTests, SaturationAndGrossRangeAtTheirEdges) {
    struct Case {
        double value;
        QualityFlag saturation;  // ceiling 4095
        QualityFlag range;       // fail outside [10, 100], suspect outside [20, 90]
    };
    const std::vector<Case> cases = {
        {4095, F, F}, {4094, P, F}, {0, F, F},    {1, P, F},   {-3, F, F},     {10, P, S},
        {20, P, P},   {90, P, P},   {90.5, P, S}, {100, P, S}, {100.01, P, F}, {NAN, M, M},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SaturationTest(c.value, 4095), c.saturation) << c.value;
        EXPECT_EQ(GrossRangeTest(c.value, {10, 100}, ValueRange{20, 90}), c.range) << c.value;
    }
    EXPECT_EQ(GrossRangeTest(15, {10, 100}, std::nullopt), P);
}

TEST(QualityTests, SpikeIsTheDistanceFromItsNeighboursMean) {
    const SpikeThresholds limits{50, 100};
    struct Case {
        double before, value, after;
        QualityFlag flag;
    };
    const std::vector<Case> cases = {
        {1000, 1000, 1000, P}, {1000, 1050, 1000, P},  // at the suspect threshold: not above it
        {1000, 1051, 1000, S}, {1000, 1100, 1000, S}, {1000, 1101, 1000, F},
        {1000, 900, 1000, S},  {900, 1000, 1100, P},  // a steady rise is no spike
        {NAN, 5000, 1000, N},  {1000, 5000, NAN, N},  // the first and the last sample
        {1000, NAN, 1000, M},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpikeTest(c.before, c.value, c.after, limits), c.flag)
            << c.before << " " << c.value << " " << c.after;
}

TEST(QualityTests, FlatLineCountsTheNewestSamplesOnly) {
    const FlatLineThresholds limits{3, 5, 0.0};
    struct Case {
        std::vector<double> window;  // newest last
        QualityFlag flag;
    };
    const std::vector<Case> cases = {
        {{7, 7}, N},  // fewer than the suspect count: cannot say
        {{6, 7, 7}, P},
        {{7, 7, 7}, S},
        {{1, 7, 7, 7, 7}, S},
        {{7, 7, 7, 7, 7}, F},
        {{7, 7, 7, 7, 8}, P},    // the newest moved: the run before it is no matter
        {{7, NAN, 7, 7, 7}, S},  // a missing value breaks the fail window only
        {{7, 7, 7, 7, NAN}, M},
    };
    for (const Case& c : cases) EXPECT_EQ(FlatLineTest(Window(c.window), limits), c.flag);
    // Within the tolerance counts as flat; the spread of the whole window decides.
    const FlatLineThresholds tolerant{3, 0, 2.0};
    EXPECT_EQ(FlatLineTest(Window({10, 12, 11}), tolerant), S);
    EXPECT_EQ(FlatLineTest(Window({10, 12, 13}), tolerant), P);
    EXPECT_EQ(FlatLineTest(Window({7, 7, 7, 7, 7}), FlatLineThresholds{0, 0, 0}), N);
}

TEST(QualityTests, RateOfChangeAgainstTheSpreadOfTheSamplesBefore) {
    const RateOfChangeThresholds limits{2.0, 4};
    // The four before: 10, 12, 10, 12: sd (n - 1) = 1.1547; 2 sd = 2.309.
    EXPECT_EQ(RateOfChangeTest(Window({10, 12, 10, 12, 14}), limits), P);    // change 2
    EXPECT_EQ(RateOfChangeTest(Window({10, 12, 10, 12, 14.5}), limits), S);  // change 2.5
    EXPECT_EQ(RateOfChangeTest(Window({12, 10, 12, 14.5}), limits), N);      // three before
    EXPECT_EQ(RateOfChangeTest(Window({10, NAN, 10, 12, 14}), limits), N);
    EXPECT_EQ(RateOfChangeTest(Window({10, 12, 10, 12, NAN}), limits), M);
    // Equal samples before: any change at all is beyond them.
    EXPECT_EQ(RateOfChangeTest(Window({5, 5, 5, 5, 5}), limits), P);
    EXPECT_EQ(RateOfChangeTest(Window({5, 5, 5, 5, 6}), limits), S);
}

TEST(QualityTests, TheAggregateIsTheWorstEvaluatedTest) {
    EXPECT_EQ(Aggregate(false, {P, N, S}), S);
    EXPECT_EQ(Aggregate(false, {S, F, P}), F);
    EXPECT_EQ(Aggregate(false, {N, N}), N);
    EXPECT_EQ(Aggregate(false, {P, M}), P);
    EXPECT_EQ(Aggregate(true, {F}), M);
}

std::optional<QualitySettings> Parse(const std::string& text, std::string& error) {
    std::istringstream in(text);
    return QualitySettings::Parse(in, "t.qc", error);
}

TEST(QualitySettings, NarrowerSectionsWinWhereverTheyStand) {
    std::string error;
    const std::optional<QualitySettings> settings = Parse(
        "[column 3]\nspike = 30 60\n"
        "[LAMBDA]   # any case\nspike = 10 20\nbbp.gross_range = 0 0.1\n"
        "[all]\nceiling = 16383\nspike = 1 2\nflat_line = 4 8\nbbp_470.gross_range = 0 0.2\n",
        error);
    ASSERT_TRUE(settings) << error;
    const ChannelThresholds column3 = settings->For("Lambda", 3);
    EXPECT_EQ(column3.spike->fail, 60);
    EXPECT_EQ(column3.ceiling, 16383);
    EXPECT_EQ(column3.flatLine.fail, 8);
    // The kind's quantity key beats the one of [all], though that names the variable.
    EXPECT_EQ(column3.Ranges("bbp_470", "bbp").fail->high, 0.1);
    EXPECT_EQ(settings->For("Lambda", 2).spike->fail, 20);
    const ChannelThresholds chl = settings->For("CHL", 5);
    EXPECT_EQ(chl.spike->fail, 2);
    EXPECT_FALSE(chl.rateOfChange);
    // With a file the counts fail outside the converter's range unless told otherwise.
    EXPECT_EQ(chl.counts.fail->high, 16383);
    // Without one only saturation and flat line run, and never on a pressure column.
    const QualitySettings defaults;
    EXPECT_FALSE(defaults.For("CHL", 1).spike);
    EXPECT_FALSE(defaults.For("CHL", 1).counts.fail);
    EXPECT_EQ(defaults.For("PRES", 1).flatLine.fail, 0);
    EXPECT_EQ(defaults.For("CHL", 1).flatLine.fail, 20);
}

TEST(QualitySettings, ABadLineIsRefusedWithItsNumber) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"spike = 10\n", "t.qc line 1: spike takes two numbers"},
        {"\n[all]\nspikes = 1 2\n", "t.qc line 3: no test knows the key 'spikes'"},
        {"gross_range = 5 1\n",
         "t.qc line 1: gross_range: the first number (the least) is above "
         "the second"},
        {"flat_line = 2.5 5\n",
         "t.qc line 1: flat_line takes whole numbers of samples up to 86400"},
        // Found by fuzzing: a count beyond any int was cast to one.
        {"flat_line = 27444444444444444444444444444444444 20\n",
         "t.qc line 1: flat_line takes whole numbers of samples up to 86400"},
        {"rate_of_change = 3 1\n",
         "t.qc line 1: rate_of_change: the number of samples is a whole number from 2 to 86400"},
        {"spike = 1,5 3\n", "t.qc line 1: spike takes numbers"},
        {"[column 0]\n", "t.qc line 1: a column is a number from 1 to 75"},
        {"[all\n", "t.qc line 1: a section heading ends in ']'"},
        {"ceiling 4095\n", "t.qc line 1: a line is key = value"},
        {".gross_range = 1 2\n", "t.qc line 1: no test knows the key '.gross_range'"},
    };
    for (const auto& [text, message] : cases) {
        std::string error;
        EXPECT_FALSE(Parse(text, error)) << text;
        EXPECT_EQ(error, message) << text;
    }
}

// A channel decides each sample's flags when the next comes; the last at Finish.
TEST(ChannelQuality, ASpikeIsDecidedByTheSampleAfterIt) {
    ChannelThresholds thresholds;
    thresholds.spike = SpikeThresholds{100, 500};
    thresholds.flatLine = {0, 0, 0};
    ChannelQuality channel(thresholds, {{"chl", "chl"}});
    const std::vector<double> counts = {3000, 1000, 1010, 1700, 1020, 1030, 2000};
    // A spike's neighbours see half of it: 1010 and 1020 beside 1700 are suspect.
    const std::vector<QualityFlag> spikes = {N, F, S, F, S, S, N};
    std::vector<QualityFlag> decided;
    for (const double count : counts) {
        if (channel.Push(count, {count * 0.01})) decided.push_back(channel.Decided()[0].spike);
        EXPECT_EQ(channel.Newest()[0].spike, N);  // not yet known
    }
    ASSERT_TRUE(channel.Finish());
    decided.push_back(channel.Decided()[0].spike);
    EXPECT_EQ(decided, spikes);
    EXPECT_FALSE(channel.Finish());
    // The quantity shares the count's tests.
    EXPECT_EQ(channel.Decided()[1].spike, N);
}

TEST(ChannelQuality, AQuantityAddsItsOwnGrossRangeAndIsMissingAlone) {
    ChannelThresholds thresholds;
    thresholds.quantities["chl"].ranges.fail = ValueRange{0, 50};
    ChannelQuality channel(thresholds, {{"chl", "chl"}, {"other", "other"}});
    channel.Push(4095, {60, NAN});
    EXPECT_EQ(channel.Newest()[0].aggregate, F);  // saturated
    EXPECT_EQ(channel.Newest()[1].grossRange, F);
    EXPECT_EQ(channel.Newest()[2].grossRange, N);  // no range given
    EXPECT_EQ(channel.Newest()[2].aggregate, M);
    channel.Push(1000, {10, 1});
    EXPECT_EQ(channel.Newest()[1].aggregate, P);
    EXPECT_EQ(channel.Decided()[1].aggregate, F);
}

// A meter with a CHL and a scattering channel, fed line by line.
struct TwoChannelMeter {
    DeviceCalibration calibration;
    std::string deviceName;
    DataChain chain{calibration};
    FixedClock clock;

    TwoChannelMeter() {
        std::istringstream device(
            "Test meter\nColumns=3\nCHL=1 0.0121 50\nLambda=2 1.9e-6 50 700 700\niTemp=3 0.01 "
            "-10\n");
        FakePrompts prompts;
        chain.DeviceFileLoaded();
        EXPECT_TRUE(ReadDeviceFile(device, calibration, deviceName, prompts));
    }
    void Feed(int chl, int beta) {
        const std::string line = std::to_string(chl) + "\t" + std::to_string(beta) + "\t3000";
        chain.Accept(line, true, ChainOptions{}, clock);
    }
};

TEST(RecordQuality, EachExportedFieldFollowsItsOwnColumn) {
    TwoChannelMeter meter;
    RecordQuality quality(meter.calibration, false, QualitySettings{});
    struct Sink final : SampleSink {
        RecordQuality& quality;
        std::vector<std::vector<QualityFlag>> rows;
        explicit Sink(RecordQuality& q) : quality(q) {}
        void OnSample(const Sample& sample) override {
            if (quality.Push(sample)) Take();
        }
        void Take() {
            std::vector<QualityFlag> row;
            for (std::size_t e = 0; e < quality.EngineeringList().size(); ++e)
                row.push_back(quality.Engineering(e).aggregate);
            row.push_back(quality.Record());
            rows.push_back(row);
        }
    } sink(quality);
    meter.chain.AddSink(sink);
    meter.Feed(1000, 4095);  // the scattering channel saturated, CHL fine
    meter.Feed(1010, 2000);
    if (quality.Finish()) sink.Take();
    ASSERT_EQ(sink.rows.size(), 2U);
    // chl, beta, betap, bbp, bb, internal temperature, then the record.
    EXPECT_EQ(sink.rows[0], (std::vector<QualityFlag>{P, F, F, F, F, P, F}));
    EXPECT_EQ(sink.rows[1], (std::vector<QualityFlag>{P, P, P, P, P, P, P}));
}

TEST(QualityWatch, TellsASaturatedOrStuckChannelOncePerEpisode) {
    TwoChannelMeter meter;
    std::vector<std::string> logged;
    QualityWatch watch({meter.calibration, [] { return false; },
                        [&](const std::string& text) { logged.push_back(text); }});
    meter.chain.AddSink(watch);
    for (int i = 0; i < 3; ++i) meter.Feed(1000 + i, 4095);
    EXPECT_EQ(watch.FailedColumns(), std::vector<int>{2});
    EXPECT_EQ(watch.Problems(), std::vector<std::string>{"700 nm saturated"});
    for (int i = 0; i < 25; ++i) meter.Feed(777, 2000 + i);  // CHL stuck
    EXPECT_EQ(watch.FailedColumns(), std::vector<int>{1});
    EXPECT_EQ(logged, (std::vector<std::string>{
                          "quality: 700 nm (column 2) saturated: 4095 counts",
                          "quality: 700 nm (column 2) no longer saturated: 2000 counts",
                          "quality: CHL (column 1) flat-lined: 777 counts for 20 samples",
                      }));
    EXPECT_EQ(watch.TakeNotices().size(), 3U);
    EXPECT_TRUE(watch.TakeNotices().empty());
}

// The viewer's flags: counted in any range, and failed values left out of the statistics and
// taken back.
TEST(RecordingData, FailedValuesLeaveTheStatisticsAndComeBack) {
    RecordingData data({ViewerChannel{"CHL", 0, "", false}});
    const int lines = 200;  // more than a block, so the pyramid is used
    std::vector<std::uint8_t> flags;
    for (int i = 0; i < lines; ++i) {
        const float value = i == 150 ? 1000.0F : static_cast<float>(i % 2);
        data.Append(&value, std::nullopt);
        flags.push_back(static_cast<std::uint8_t>(i == 150  ? QualityFlag::Fail
                                                  : i == 10 ? QualityFlag::Suspect
                                                            : QualityFlag::Pass));
    }
    data.Finish();
    EXPECT_EQ(data.Statistics(0, 0, lines).maximum, 1000.0);
    data.LeaveOutFailed(true);  // no flags yet: nothing to leave out
    EXPECT_FALSE(data.LeavingOutFailed());
    data.KeepFlags({flags});
    EXPECT_EQ(data.CountFlags(0, 0, lines).fail, 1);
    EXPECT_EQ(data.CountFlags(0, 0, lines).suspect, 1);
    EXPECT_EQ(data.CountFlags(0, 11, 150).suspect + data.CountFlags(0, 11, 150).fail, 0);
    EXPECT_EQ(data.FlaggedLines(0), (std::vector<std::uint32_t>{10, 150}));
    data.LeaveOutFailed(true);
    const RangeStatistics kept = data.Statistics(0, 0, lines);
    EXPECT_EQ(kept.count, lines - 1);
    EXPECT_EQ(kept.maximum, 1.0);
    EXPECT_TRUE(std::isnan(data.Value(0, 150)));
    data.LeaveOutFailed(false);
    EXPECT_EQ(data.Statistics(0, 0, lines).maximum, 1000.0);
    EXPECT_EQ(data.Value(0, 150), 1000.0F);
}

}  // namespace
}  // namespace kivo::test
