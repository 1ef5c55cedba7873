#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "core/plot/ChartModel.h"
#include "core/plot/ChartProperties.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, removed afterwards.
class PropertiesFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("kivo-props-" + std::to_string(static_cast<long>(getpid())) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string File(const char* name) const { return (dir_ / name).string(); }
    void Write(const std::string& path, const std::string& text) const {
        std::ofstream(path, std::ios::binary) << text;
    }

    fs::path dir_;
};

ChartProperties Restyled() {
    ChartProperties p;
    p.background = Rgb(1, 2, 3);
    p.plotArea = Rgb(16, 32, 48);
    p.text = Rgb(255, 255, 0);
    p.grid = Rgb(0, 128, 255);
    p.gridVisible = false;
    p.legendVisible = false;
    p.lineWidth = 3;
    p.titleFontSize = 20;
    p.axisFontSize = 7;
    p.legendFontSize = 11;
    return p;
}

TEST(ChartProperties, WrittenTextIsReadableKeyValueLines) {
    EXPECT_EQ(WriteChartProperties(Restyled()),
              "version=1\n"
              "background=#010203\n"
              "plotArea=#102030\n"
              "text=#ffff00\n"
              "grid=#0080ff\n"
              "gridVisible=0\n"
              "legendVisible=0\n"
              "lineWidth=3\n"
              "titleFontSize=20\n"
              "axisFontSize=7\n"
              "legendFontSize=11\n");
}

TEST(ChartProperties, RoundTrip) {
    for (const ChartProperties& p : {ChartProperties{}, Restyled()}) {
        const auto read = ReadChartProperties(WriteChartProperties(p));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, p);
    }
}

TEST(ChartProperties, UnknownKeysBlankLinesAndCrLfAreAccepted) {
    const auto read = ReadChartProperties(
        "version=1\r\n"
        "\r\n"
        "shadowDepth=4\r\n"
        "  lineWidth = 2 \r\n"
        "text=#FF0000\r\n"
        "gridVisible=1\r\n"
        "gridVisible=0\r\n"
        "futureKey=anything at all=really\r\n");
    ASSERT_TRUE(read.has_value());
    ChartProperties expected;
    expected.lineWidth = 2;
    expected.text = Rgb(255, 0, 0);
    expected.gridVisible = false;  // the later line counts
    EXPECT_EQ(*read, expected);
}

TEST(ChartProperties, DamagedTextIsRefusedWhole) {
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"no version line", "lineWidth=2\n"},
        {"another version", "version=2\nlineWidth=2\n"},
        {"version not first", "lineWidth=2\nversion=1\n"},
        {"a line without =", "version=1\nlineWidth 2\n"},
        {"short colour", "version=1\ntext=#12345\n"},
        {"colour not hex", "version=1\ntext=#gg0000\n"},
        {"colour without #", "version=1\ntext=ff0000\n"},
        {"colour with sign", "version=1\ntext=#-f0000\n"},
        {"flag not 0 or 1", "version=1\ngridVisible=2\n"},
        {"line width 0", "version=1\nlineWidth=0\n"},
        {"line width 11", "version=1\nlineWidth=11\n"},
        {"size with a unit", "version=1\ntitleFontSize=12pt\n"},
        {"negative size", "version=1\naxisFontSize=-9\n"},
        {"empty value", "version=1\nlegendFontSize=\n"},
        {"huge number", "version=1\nlineWidth=99999999999999999999\n"},
        {"binary garbage", std::string("version=1\n\x01\x02\xff", 13)},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ReadChartProperties(text).has_value());
    }
}

TEST_F(PropertiesFileTest, ModelSavesAndLoadsThroughTheFile) {
    const std::string path = File("kivoiocomp.rbs");
    ChartModel saved;
    saved.SetProperties(Restyled());
    ASSERT_TRUE(saved.SavePropertiesToFile(path));

    ChartModel loaded;
    const auto appearance = loaded.AppearanceRevision();
    ASSERT_TRUE(loaded.LoadPropertiesFromFile(path));
    EXPECT_EQ(loaded.Properties(), Restyled());
    EXPECT_NE(loaded.AppearanceRevision(), appearance);
}

TEST_F(PropertiesFileTest, UnusableFilesLeaveTheDesignLook) {
    const std::string damaged = File("damaged.rbs");
    Write(damaged, "version=1\nlineWidth=3\ntext=#zzzzzz\n");
    const std::string oversized = File("oversized.rbs");
    Write(oversized, "version=1\n" + std::string(70 * 1024, '\n'));
    const std::string paths[] = {File("missing.rbs"), damaged, oversized, dir_.string()};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        ChartModel chart;
        EXPECT_FALSE(chart.LoadPropertiesFromFile(path));
        EXPECT_EQ(chart.Properties(), ChartProperties{});
    }
}

TEST_F(PropertiesFileTest, SavingWhereNoFileCanBeMadeFails) {
    const ChartModel chart;
    EXPECT_FALSE(chart.SavePropertiesToFile(File("no-such-folder/kivoiocomp.rbs")));
    EXPECT_FALSE(chart.SavePropertiesToFile(dir_.string()));
}

}  // namespace
}  // namespace kivo
