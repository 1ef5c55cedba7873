#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "FakePrompts.h"
#include "core/data/DeviceFile.h"
#include "core/protocol/SetupDisplay.h"

namespace kivo::test {
namespace {

TEST(SetupDisplay, MemoryLabels) {
    struct Case {
        std::int32_t pages;
        const char* used;
        const char* free;
    };
    // "%4.1f" pads a percent below 10 to four places: printf's output is the label.
    const Case cases[] = {
        {0, "Used:  0 K   0.0 %", "Free:  1055 K  100.0 %"},
        {100, "Used:  25 K   2.4 %", "Free:  1029 K  97.6 %"},
        {4095, "Used:  1055 K  100.0 %", "Free:  0 K   0.0 %"},
        {2048, "Used:  528 K  50.0 %", "Free:  527 K  50.0 %"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MemoryUsedLabel(c.pages), c.used) << c.pages;
        EXPECT_EQ(MemoryFreeLabel(c.pages), c.free) << c.pages;
    }
}

TEST(SetupDisplay, ScaleCodesAsTheMeterReportsThem) {
    EXPECT_EQ(EngrScaleLabel(1), "0.0001");
    EXPECT_EQ(EngrScaleLabel(31), "0.0031");
    EXPECT_EQ(EngrScaleLabel(255), "0.0255");
}

struct Display : ::testing::Test {
    SetupState setup;
    MeterClock meterClock;
    HostClockSnapshot hostClock;
    DeviceCalibration calibration;
    SetupPanel panel;
    void Refresh(double lines = 0.0) {
        RefreshSetupDisplay(setup, ShownClocks{meterClock, hostClock, "UTC", lines}, calibration,
                            panel);
    }
};

TEST_F(Display, NothingOfTheMeterBeforeItIdentifiesItself) {
    setup.averageCount = 60;
    Refresh();
    EXPECT_FALSE(panel.average);
    EXPECT_FALSE(panel.meterClock);
    EXPECT_FALSE(panel.flSetupPage);  // no ASV2 in the device file
}

TEST_F(Display, TheMeterSetupOnceIdentified) {
    setup.meterIdentified = true;
    setup.averageCount = 60;
    setup.sampleCount = 2;
    setup.cycleCount = 3;
    setup.cycleInterval = "001500";
    setup.loggingOn = 1;
    setup.memoryUsedPages = 100;
    meterClock = MeterClock{11, 20, 3, 12, 30, 45};
    hostClock = HostClockSnapshot{7, 8, 9, 5, 3, 4};
    Refresh();
    EXPECT_EQ(panel.average, "Average: 60");
    EXPECT_EQ(panel.samples, "Number of Sample: 2");
    EXPECT_EQ(panel.cycles, "Number of Cycles: 3");
    EXPECT_EQ(panel.cycleInterval, "Cycle Interval: 001500");
    EXPECT_EQ(panel.loggingOn, true);
    EXPECT_EQ(panel.engrOutputOn, false);
    EXPECT_EQ(panel.memoryUsed, "Used:  25 K   2.4 %");
    EXPECT_EQ(panel.meterClock, "KIVO:   11/20/03  12:30:45");
    EXPECT_EQ(panel.hostClock, "Host:  03/05/04  07:08:09 UTC");
    meterClock.month = 99;
    Refresh(1234.0);
    EXPECT_EQ(panel.meterClock, "KIVO:  1234");
}

TEST_F(Display, ScaleAndOffsetAreShownOncePerReply) {
    setup.uglScaleCode = 31;
    setup.uglScaleFresh = true;
    setup.uglOffset = 12;
    setup.uglOffsetFresh = true;
    Refresh();
    EXPECT_EQ(panel.meterScale, "0.0031");
    EXPECT_EQ(panel.meterOffset, "12");
    EXPECT_FALSE(setup.uglScaleFresh);
    setup.uglScaleCode = 40;  // changed without a new reply: the label stays
    Refresh();
    EXPECT_EQ(panel.meterScale, "0.0031");
}

TEST_F(Display, TimingValuesOnceKnown) {
    setup.ph1OnKnown = true;
    setup.ph1OnTime = 7;
    Refresh();
    EXPECT_EQ(panel.timings[0], "7");
    EXPECT_FALSE(panel.timings[1]);
}

TEST_F(Display, RangesAndArrowsFromTheDeviceFile) {
    setup.analogRange = 4;
    Refresh();
    EXPECT_FALSE(panel.analogRange) << "no ranges before a device file with them";
    std::ifstream file(std::string(KIVO_TEST_DATA) + "/fluoro.dev");
    std::string name;
    FakePrompts prompts;
    ASSERT_TRUE(ReadDeviceFile(file, calibration, name, prompts));
    Refresh();
    EXPECT_EQ(panel.analogRange, 4);
    EXPECT_EQ(panel.flSetupPage, true);
    EXPECT_EQ(panel.hiResRange, "ASV1:  Hi Resolution   0.0-2.0 ug/l");
    EXPECT_EQ(panel.stdResRange, "ASV2:  Std Resolution  0.0-1.0 ug/l");
    EXPECT_EQ(panel.wideRange, "ASV4:  Wide Range:     0.0-0.5 ug/l");
    EXPECT_EQ(panel.deviceScale, "0.0121");
    EXPECT_EQ(panel.deviceOffset, "50");
}

}  // namespace
}  // namespace kivo::test
