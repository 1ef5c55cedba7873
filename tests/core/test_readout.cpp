#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "DecimalCommaLocale.h"
#include "core/data/Statistics.h"
#include "core/plot/PlotView.h"
#include "core/plot/Readout.h"

namespace kivo {
namespace {

DeviceCalibration Columns(std::initializer_list<int> types) {
    DeviceCalibration cal;
    cal.ResetForLoad();
    int i = 0;
    for (const int t : types) cal.columnType[static_cast<std::size_t>(i++)] = t;
    cal.definitionCount = i;
    cal.declaredColumns = i;
    return cal;
}

// ---- statistics -----------------------------------------------------------------------------

TEST(Statistics, PushSampleKeepsTheNewestFirstAndCapsTheCount) {
    StatsHistory h;
    for (int i = 1; i <= 250; ++i) PushSample(h, column::kChl, i);  // round the row twice
    EXPECT_EQ(h.count[column::kChl], 65);
    EXPECT_EQ(h.At(column::kChl, 0), 250.0);
    EXPECT_EQ(h.At(column::kChl, 64), 186.0);
    EXPECT_EQ(ChannelStatistic(h, column::kChl, stats_mode::kMean), 243.0);  // 236 .. 250
    EXPECT_EQ(h.count[column::kCdom], 0);                                    // other rows untouched
    EXPECT_EQ(h.At(column::kCdom, 0), 0.0);
    PushSample(h, -1, 5.0);  // not a type: ignored
    PushSample(h, kSlots, 5.0);
    EXPECT_EQ(h.count[0], 0);
}

TEST(Statistics, ChannelStatisticTable) {
    struct Case {
        const char* name;
        std::vector<double> pushed;  // oldest first
        int mode;
        double expected;
    };
    std::vector<double> oneTo20;
    for (int i = 1; i <= 20; ++i) oneTo20.push_back(i);
    std::vector<double> oneTo100;
    for (int i = 1; i <= 100; ++i) oneTo100.push_back(i);
    const Case cases[] = {
        {"empty history", {}, 1, kNoStatistic},
        {"one sample is not enough", {5}, 1, kNoStatistic},
        {"one sample, std dev", {5}, 60, kNoStatistic},
        {"two samples: their mean", {4, 6}, 1, 5.0},
        {"raw counts has no statistic", {1, 2, 3}, 0, kNoStatistic},
        {"a negative mode has none", {1, 2, 3}, -1, kNoStatistic},
        {"mean of the newest 15", oneTo20, 1, 13.0},
        {"std dev over the newest 15", oneTo20, 15, std::sqrt(20.0)},
        {"std dev while the history fills", {1, 2, 3}, 60, 1.0},
        {"mode 2: the newest two", {100, 10, 20}, 2, std::sqrt(50.0)},
        {"a mode above 65 uses 65", oneTo100, 100, std::sqrt(65.0 * 66.0 / 12.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StatsHistory h;
        for (const double v : c.pushed) PushSample(h, column::kNtu, v);
        EXPECT_NEAR(ChannelStatistic(h, column::kNtu, c.mode), c.expected, 1e-12);
    }
}

TEST(Statistics, StdDev60TitleForConstantAndAlternatingCounts) {
    StatsHistory constant;
    StatsHistory alternating;
    for (int i = 0; i < 80; ++i) {
        PushSample(constant, column::kChl, 4321.0);
        PushSample(alternating, column::kChl, i % 2 == 0 ? 0.0 : 10.0);
    }
    TitleBuffer title;
    EXPECT_EQ(FormatCountsTitle(title, "CHL", 4321.0, ChannelStatistic(constant, column::kChl, 60),
                                {1, 60}),
              "CHL: 0.00 stddev");
    EXPECT_EQ(FormatCountsTitle(title, "CHL", 10.0, ChannelStatistic(alternating, column::kChl, 60),
                                {1, 60}),
              "CHL: 5.04 stddev");
}

// ---- title texts ----------------------------------------------------------------------------

TEST(ReadoutTitles, CountsAndEngrTitlesByUserAndMode) {
    struct Case {
        int powerUser;
        int statsMode;
        const char* counts;
        const char* engr;
    };
    const Case cases[] = {
        {0, 0, "CHL: 4050 Counts", "iEngr: 12.50 ug/l"},
        {0, 1, "CHL: 4050 Counts", "iEngr: 12.50 ug/l"},
        {0, 60, "CHL: 4050 Counts", "iEngr: 12.50 ug/l"},
        {1, 0, "CHL: 4050 Counts", "iEngr: 12.50 ug/l"},
        {1, 1, "CHL: 12.35 Mean", "iEngr: 12.35 Mean"},
        {1, 15, "CHL: 12.35 stddev", "iEngr: 12.35 stddev"},
        {1, 60, "CHL: 12.35 stddev", "iEngr: 12.35 stddev"},
        // Only an edited settings file gives these: the plain value is shown.
        {1, 30, "CHL: 4050 Counts", "iEngr: 12.50 ug/l"},
        {1, -1, "CHL: 4050 Counts", "iEngr: 12.50 ug/l"},
    };
    const std::string units = "ug/l";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.powerUser) + "/" + std::to_string(c.statsMode));
        TitleBuffer title;
        EXPECT_EQ(FormatCountsTitle(title, "CHL", 4050.0, 12.3456, {c.powerUser, c.statsMode}),
                  c.counts);
        EXPECT_EQ(FormatEngrTitle(title, "iEngr", 12.5, units, 12.3456, {c.powerUser, c.statsMode}),
                  c.engr);
    }
}

TEST(ReadoutTitles, RawModeNamesOneRowPerCode) {
    DeviceCalibration cal = Columns({});
    cal.wavelength[7] = 470;
    cal.wavelength[15] = 95;
    const std::pair<int, const char*> rows[] = {
        {7, "470 nm"}, {15, " 95 nm"}, {54, "B(100)"}, {55, "B(125)"}, {56, "B(150)"},
        {25, "CHL"},   {26, "CDOM"},   {27, "ur"},     {28, "pcyan"},  {29, "peryth"},
        {30, "rhd"},   {37, "LSS"},    {52, "NTU"},    {39, "iTemp"},  {40, "xTemp"},
        {41, "Pres"},  {51, "iEngr"},  {0, nullptr},   {1, nullptr},   {2, nullptr},
        {16, nullptr}, {31, nullptr},  {38, nullptr},  {42, nullptr},  {53, nullptr},
        {74, nullptr},
    };
    std::array<char, 32> scratch{};
    for (const auto& [code, name] : rows) {
        SCOPED_TRACE(code);
        const char* got = RawModeName(code, cal, scratch);
        if (name == nullptr) {
            EXPECT_EQ(got, nullptr);
        } else {
            ASSERT_NE(got, nullptr);
            EXPECT_STREQ(got, name);
        }
    }
}

// Engineering values with a distinct number in every field.
struct EngineeringFixture {
    DeviceCalibration cal = Columns({});
    EngineeringValues v;
    EngineeringFixture() {
        cal.wavelength[7] = 470;
        cal.wavelength[8] = 95;
        cal.engrUnits = "mg/m3";
        v.vsf[54] = 0.00123;
        v.vsf[55] = 0.0456;
        v.vsf[56] = 1.5;
        v.beta[7] = 0.0123456;
        v.betap[7] = 0.0034567;
        v.bbp[7] = 0.0119833;
        v.bb[7] = 0.0138883;
        v.beta[8] = 0.25;
        v.meterEngr = 3.14159;
        v.chl = 48.4;
        v.cdom = 123.6;
        v.uranine = 7.2;
        v.phycocyanin = 12345.4;
        v.phycoerythrin = -2.5;
        v.rhodamine = 0.4;
        v.lss = 0.75;
        v.ntu = 1.254;
        v.iTemp = 20.04;
        v.xTemp = -1.55;
        v.pressure = 12.34;
    }
};

TEST(ReadoutTitles, EngineeringTitlesOneRowPerCode) {
    const EngineeringFixture f;
    struct Case {
        int code;
        int choice;
        const char* title;
    };
    const Case cases[] = {
        {7, 0, "Beta 470 : 0.0123"},
        {7, 1, "Betap 470: 0.0035"},
        {7, 2, "bbp 470: 0.0120"},
        {7, 3, "bb 470: 0.0139"},
        {7, 4, "Invalid 470: 4050.000000 "},
        {7, -1, "Invalid 470: 4050.000000 "},
        {8, 0, "Beta  95 : 0.2500"},
        {54, 0, "B(100): 0.0012 1/(m.ster)"},
        {55, 3, "B(125): 0.0456 1/(m.ster)"},
        {56, 0, "B(150): 1.5000 1/(m.ster)"},
        {51, 0, "iENGR: 3.14 mg/m3"},
        {25, 0, "CHL: 48.40 ug/l"},
        {26, 0, "CDOM:  124 ppb"},
        {27, 0, "UR:    7 ppb"},
        {28, 0, "PC: 12345 ppb"},
        {29, 0, "PE:   -2 ppb"},
        {30, 0, "RHD:    0 ppb"},
        {37, 0, "LSS Cp: 0.75"},
        {52, 0, "NTU: 1.25"},
        {39, 0, "iTemp: 20.0 C"},
        {40, 0, "xTemp: -1.6 C"},
        {41, 0, "Pres: 12.3 dbar"},
        {1, 0, ""},
        {2, 0, ""},
        {16, 0, ""},
        {31, 0, ""},
        {42, 0, ""},
        {53, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        TitleBuffer title;
        EXPECT_EQ(FormatEngineeringTitle(title, c.code, c.choice, f.cal, 4050.0, f.v), c.title);
    }
}

TEST(ReadoutTitles, DecimalCommaLocaleChangesNothing) {
    const EngineeringFixture f;
    std::string engineering;
    std::string mean;
    {
        const DecimalCommaLocale locale;
        if (!locale.active()) GTEST_SKIP() << "no decimal-comma locale can be made here";
        TitleBuffer title;
        engineering = std::string(FormatEngineeringTitle(title, 25, 0, f.cal, 1.0, f.v));
        mean = std::string(FormatCountsTitle(title, "CHL", 1.0, 2.5, {1, 1}));
    }
    EXPECT_EQ(engineering, "CHL: 48.40 ug/l");
    EXPECT_EQ(mean, "CHL: 2.50 Mean");
}

TEST(ReadoutTitles, OverlongUnitsAreCutNotOverrun) {
    EngineeringFixture f;
    f.cal.engrUnits = std::string(DeviceCalibration::kMaxEngrUnits, 'u');
    TitleBuffer title;
    const std::string_view text =
        FormatEngrTitle(title, "iEngr", 1e300, f.cal.engrUnits, 0, {0, 0});
    EXPECT_EQ(text.size(), title.text.size() - 1);
    EXPECT_EQ(text.substr(0, 8), "iEngr: 1");
}

// ---- channel set-up and plotting ------------------------------------------------------------

TEST(PlotView, ConfigureChartAsAtStartUp) {
    ChartModel chart;
    chart.AddChannel();  // the design-time channel
    ConfigureChart(chart, "KIVO Sensor");
    EXPECT_EQ(chart.ChannelCount(), 0);
    EXPECT_EQ(chart.YAxis().tracking, TrackingStyle::ExpandCollapse);
    EXPECT_FALSE(chart.EditButtonShown());
    EXPECT_EQ(chart.Title(), "KIVO Sensor");
}

TEST(PlotView, SetUpChannelsColoursAndInitialTitles) {
    DeviceCalibration cal = Columns(
        {1, 2, 16, 7, 54, 55, 56, 51, 25, 28, 29, 27, 30, 26, 37, 52, 39, 40, 41, 31, 42, 53});
    cal.wavelength[7] = 470;
    cal.channelColour[7] = Rgb(0, 169, 255);
    struct Expected {
        int column;  // 1-based
        std::uint32_t colour;
        const char* title;
    };
    const Expected expected[] = {
        {4, Rgb(0, 169, 255), "470 nm"},    {5, Rgb(255, 255, 0), "B(100):"},
        {6, Rgb(255, 0, 0), "B125):"},      {7, Rgb(255, 0, 255), "B(150)"},
        {8, Rgb(255, 255, 255), "iEngr:"},  {9, Rgb(255, 0, 255), "CHL:"},
        {10, Rgb(255, 0, 0), "pcyanine:"},  {11, Rgb(0, 128, 0), "perythrin:"},
        {12, Rgb(128, 0, 128), "ur:"},      {13, Rgb(128, 0, 128), "rhodamine:"},
        {14, Rgb(128, 0, 128), "CDOM:"},    {15, Rgb(255, 255, 255), "LSS:"},
        {16, Rgb(255, 255, 255), "NTU:"},   {17, Rgb(128, 128, 128), "iTemp:"},
        {18, Rgb(192, 192, 192), "xTemp:"}, {19, Rgb(255, 255, 255), "Pres:"},
    };
    ChartModel chart;
    ChannelOfColumn channelOf;
    channelOf.fill(-7);
    SetUpChannels(chart, cal, cal.definitionCount, channelOf);
    ASSERT_EQ(chart.ChannelCount(), static_cast<int>(std::size(expected)));
    ChannelOfColumn wanted{};
    for (int n = 0; n < chart.ChannelCount(); ++n) {
        const Expected& e = expected[n];
        SCOPED_TRACE(e.title);
        EXPECT_EQ(chart.Channel(n).colour, e.colour);
        EXPECT_EQ(chart.Channel(n).title, e.title);
        wanted[static_cast<std::size_t>(e.column - 1)] = n;
    }
    EXPECT_EQ(channelOf, wanted);  // columns without a channel map to 0
    EXPECT_EQ(Rgb(255, 255, 0), 65535u);
    EXPECT_EQ(Rgb(0, 128, 0), 32768u);
}

TEST(PlotView, NoDeviceFileMeansNoChannels) {
    const DeviceCalibration cal = Columns({25, 39});
    ChartModel chart;
    ChannelOfColumn channelOf{};
    SetUpChannels(chart, cal, cal.definitionCount, channelOf);
    ASSERT_EQ(chart.ChannelCount(), 2);
    ASSERT_EQ(channelOf[1], 1);
    SetUpChannels(chart, cal, 0, channelOf);
    EXPECT_EQ(chart.ChannelCount(), 0);
    EXPECT_EQ(channelOf[1], 0);
}

TEST(PlotView, PlotSampleCutsAt99990) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, bool> cases[] = {
        {99989.99, true}, {-5.0, true}, {0.0, true},   {99990.0, false},      {99999.0, false},
        {1e6, false},     {inf, false}, {-inf, false}, {std::nan(""), false},
    };
    for (const auto& [y, plotted] : cases) {
        SCOPED_TRACE(y);
        ChartModel chart;
        const int c = chart.AddChannel();
        PlotSample(chart, c, 3.0, y);
        EXPECT_EQ(chart.Channel(c).points.size(), plotted ? 1u : 0u);
    }
}

// ---- what each column plots -----------------------------------------------------------------

TEST(Readout, PlottedValueMatrix) {
    EngineeringFixture f;
    RawTable raw{};
    for (int t = 0; t < kSlots; ++t) raw[static_cast<std::size_t>(t)] = 1000.0 + t;
    struct Case {
        const char* name;
        int type;
        PlotChoices choices;
        double expected;
    };
    const double none = kNothingPlotted;
    const auto Choices = [](int plotType, int bb, int iTemp, int xTemp, int pres) {
        PlotChoices c;
        c.PlotType = plotType;
        c.BBPlotChoice = bb;
        c.ITempPlot = iTemp;
        c.XTempPlot = xTemp;
        c.PresPlot = pres;
        return c;
    };
    const Case cases[] = {
        {"CHL raw", 25, Choices(0, 0, 0, 0, 0), 1025},
        {"CHL engr", 25, Choices(1, 0, 0, 0, 0), f.v.chl},
        {"CDOM engr plots counts", 26, Choices(1, 0, 0, 0, 0), 1026},
        {"uranine engr plots counts", 27, Choices(1, 0, 0, 0, 0), 1027},
        {"phycocyanin engr plots counts", 28, Choices(1, 0, 0, 0, 0), 1028},
        {"phycoerythrin engr plots counts", 29, Choices(1, 0, 0, 0, 0), 1029},
        {"rhodamine engr plots counts", 30, Choices(1, 0, 0, 0, 0), 1030},
        {"lambda raw", 7, Choices(0, 2, 0, 0, 0), 1007},
        {"lambda beta", 7, Choices(1, 0, 0, 0, 0), f.v.beta[7]},
        {"lambda betap", 7, Choices(1, 1, 0, 0, 0), f.v.betap[7]},
        {"lambda bbp", 7, Choices(1, 2, 0, 0, 0), f.v.bbp[7]},
        {"lambda bb", 7, Choices(1, 3, 0, 0, 0), f.v.bb[7]},
        {"lambda other choice plots counts", 7, Choices(1, 9, 0, 0, 0), 1007},
        {"VSF125 engr", 55, Choices(1, 0, 0, 0, 0), f.v.vsf[55]},
        {"iEngr engr", 51, Choices(1, 0, 0, 0, 0), f.v.meterEngr},
        {"iEngr raw", 51, Choices(0, 0, 0, 0, 0), 1051},
        {"LSS engr", 37, Choices(1, 0, 0, 0, 0), f.v.lss},
        {"NTU engr", 52, Choices(1, 0, 0, 0, 0), f.v.ntu},
        {"iTemp off, raw", 39, Choices(0, 0, 0, 1, 1), none},
        {"iTemp on, raw", 39, Choices(0, 0, 1, 0, 0), 1039},
        {"iTemp no item selected plots", 39, Choices(0, 0, -1, 0, 0), 1039},
        {"iTemp off, engr", 39, Choices(1, 0, 0, 1, 1), none},
        {"iTemp on, engr", 39, Choices(1, 0, 1, 0, 0), f.v.iTemp},
        {"xTemp off", 40, Choices(1, 0, 1, 0, 1), none},
        {"xTemp on, engr", 40, Choices(1, 0, 0, 1, 0), f.v.xTemp},
        {"pressure off", 41, Choices(0, 0, 1, 1, 0), none},
        {"pressure on, engr", 41, Choices(1, 0, 0, 0, 1), f.v.pressure},
        {"no plot type selected", 25, Choices(-1, 0, 1, 1, 1), none},
        {"plot type 2", 25, Choices(2, 0, 1, 1, 1), none},
        {"a reference column", 31, Choices(0, 0, 1, 1, 1), none},
        {"the date column", 1, Choices(0, 0, 1, 1, 1), none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlottedValue(c.type, c.choices, raw, f.v), c.expected);
    }
}

// One data line after another through the chart's feed, as the pump runs it, its titles
// published after each line.
struct ReadoutRun {
    DeviceCalibration cal;
    RawTable raw{};
    EngineeringValues engineering;
    StatsHistory stats;
    ChartModel chart;
    ChannelOfColumn channelOf{};
    PlotChoices choices;
    double sampleX = 0.0;
    ChannelFeed feed{cal, channelOf, stats, chart};

    explicit ReadoutRun(std::initializer_list<int> types) : cal(Columns(types)) {
        ConfigureChart(chart, "KIVO Sensor");
        SetUpChannels(chart, cal, cal.definitionCount, channelOf);
    }
    void Line() {
        Sample sample;
        sample.counts = raw;
        sample.engineering = engineering;
        sample.x = sampleX;
        feed.choices = choices;
        feed.OnSample(sample);
        feed.PublishTitles(sample);
        sampleX += 1.0;
    }
    const std::string& Title(int channel) const { return chart.Channel(channel).title; }
    std::size_t Points(int channel) const { return chart.Channel(channel).points.size(); }
};

TEST(Readout, PowerUserMeanFillsThenSlides) {
    ReadoutRun run({1, 2, column::kChl});
    run.choices.powerUser = 1;
    run.choices.StatsMode = 1;
    std::vector<std::string> titles;
    for (int i = 1; i <= 20; ++i) {
        run.raw[column::kChl] = i;
        run.Line();
        titles.push_back(run.Title(0));
    }
    EXPECT_EQ(titles[0], "CHL: 99.99 Mean");
    EXPECT_EQ(titles[1], "CHL: 1.50 Mean");
    EXPECT_EQ(titles[14], "CHL: 8.00 Mean");   // lines 1..15
    EXPECT_EQ(titles[19], "CHL: 13.00 Mean");  // lines 6..20
    EXPECT_EQ(run.Points(0), 20u);             // raw counts still plotted
    EXPECT_EQ(run.chart.Channel(0).points.back().y, 20.0);
    EXPECT_EQ(run.chart.Channel(0).points.back().x, 19.0);
}

TEST(Readout, NormalUserSeesCountsWhateverTheStoredMode) {
    ReadoutRun run({column::kChl, column::kIEngr});
    run.cal.engrUnits = "ug/l";
    run.choices.StatsMode = 60;
    run.raw[column::kChl] = 4050;
    run.raw[column::kIEngr] = 2.5;
    run.Line();
    run.Line();
    EXPECT_EQ(run.Title(0), "CHL: 4050 Counts");
    EXPECT_EQ(run.Title(1), "iEngr: 2.50 ug/l");
}

TEST(Readout, EngineeringModeBbpTitleAndValue) {
    ReadoutRun run({1, 7});
    run.cal.wavelength[7] = 470;
    run.choices.PlotType = 1;
    run.choices.BBPlotChoice = 2;
    run.engineering.bbp[7] = 0.0119833;
    run.Line();
    EXPECT_EQ(run.Title(0), "bbp 470: 0.0120");
    ASSERT_EQ(run.Points(0), 1u);
    EXPECT_EQ(run.chart.Channel(0).points.back().y, 0.0119833);
}

TEST(Readout, TemperatureTitledButNotPlottedWhileItsChoiceIsOff) {
    for (const int plotType : {0, 1}) {
        SCOPED_TRACE(plotType);
        ReadoutRun run({column::kChl, column::kITemp});
        run.choices.PlotType = plotType;
        run.raw[column::kITemp] = 3000;
        run.engineering.iTemp = 20.0;
        run.Line();
        EXPECT_EQ(run.Title(1), plotType == 0 ? "iTemp: 3000 Counts" : "iTemp: 20.0 C");
        EXPECT_EQ(run.Points(1), 0u);
        EXPECT_EQ(run.Points(0), 1u);
        run.choices.ITempPlot = -1;  // no item selected plots
        run.Line();
        EXPECT_EQ(run.Points(1), 1u);
    }
}

TEST(Readout, NoPlotTypeKeepsTitlesAndPlotsNothing) {
    ReadoutRun run({column::kChl, column::kITemp});
    run.choices.PlotType = -1;
    run.choices.ITempPlot = 1;
    run.Line();
    EXPECT_EQ(run.Title(0), "CHL:");
    EXPECT_EQ(run.Title(1), "iTemp:");
    EXPECT_EQ(run.Points(0) + run.Points(1), 0u);
    EXPECT_EQ(run.stats.count[column::kChl], 1);  // the history fills all the same
}

TEST(Readout, TwoColumnsOfOneTypeShareTheValueAndTheHistory) {
    ReadoutRun run({1, column::kNtu, column::kNtu});
    ASSERT_EQ(run.chart.ChannelCount(), 2);
    run.raw[column::kNtu] = 77;
    run.Line();
    EXPECT_EQ(run.stats.count[column::kNtu], 2);
    EXPECT_EQ(run.stats.count[1], 1);
    for (const int channel : {0, 1}) {
        ASSERT_EQ(run.Points(channel), 1u);
        EXPECT_EQ(run.chart.Channel(channel).points.back().y, 77.0);
        EXPECT_EQ(run.Title(channel), "NTU: 77 Counts");
    }
}

TEST(Readout, ColumnsWithoutAChannelPutNothingOnChannelZero) {
    ReadoutRun run({1, 2, column::kChlRef, column::kChl, column::kIgnored});
    ASSERT_EQ(run.channelOf[0], 0);  // the date column maps to 0 like CHL's own channel
    for (int i = 0; i < 3; ++i) run.Line();
    EXPECT_EQ(run.Points(0), 3u);
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

// The Y axis names what is plotted with its unit; a quantity switched off is left out and
// one of two columns of a kind is named once.
TEST(Readout, YAxisLabelNamesThePlottedQuantitiesWithTheirUnits) {
    struct Case {
        std::initializer_list<int> types;
        int plotType;
        int quantity;
        int iTemp;
        const char* label;
    };
    const Case cases[] = {
        {{1, 2, 7, 8}, 1, 0, 0, "Beta [1/(m sr)]"},
        {{7}, 1, 2, 0, "bbp [1/m]"},
        {{7, 39}, 0, 0, 1, "Counts"},
        {{column::kChl, column::kChl, 39}, 1, 0, 0, "CHL [ug/l]"},
        {{column::kChl, 39}, 1, 0, 1, "CHL [ug/l], iTemp [C]"},
        {{7}, 2, 0, 0, ""},
    };
    for (const Case& c : cases) {
        PlotChoices choices;
        choices.PlotType = c.plotType;
        choices.BBPlotChoice = c.quantity;
        choices.ITempPlot = c.iTemp;
        const DeviceCalibration cal = Columns(c.types);
        EXPECT_EQ(YAxisLabel(static_cast<int>(c.types.size()), choices, cal), c.label);
    }
}

}  // namespace
}  // namespace kivo
