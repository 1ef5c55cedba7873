#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Fifo.h"
#include "SessionFixture.h"

namespace kivo::test {
namespace {

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

struct LoadedSession : SessionFixture {
    explicit LoadedSession(const char* deviceFile = "fluoro.dev") {
        clock.now = LocalTime{2026, 12, 8, 4, 5, 6};
        Ticks(1);
        OpenMeterPort();
        prompts.openAnswers.push_back(TestDataFile(deviceFile));
        session.LoadDeviceFileClick();
    }
    void Receive(const std::string& bytes) {
        port.incoming += bytes;
        Ticks(1);
    }
};

TEST(DeviceFileMenu, LoadsAndFitsThePlotChoices) {
    LoadedSession f;
    ASSERT_EQ(f.prompts.openDialogs.size(), 1u);
    EXPECT_EQ(f.prompts.openDialogs[0].title, "Open Device File");
    EXPECT_EQ(f.prompts.openDialogs[0].filter, "Device File (*.dev)|*.dev|All files (*.*)|*.*");
    EXPECT_EQ(f.prompts.openDialogs[0].defaultExtension, "dev");
    EXPECT_EQ(f.session.State().DevicePath, TestDataFile("fluoro.dev"));
    EXPECT_EQ(f.Shown().deviceFile, "Device File:  " + TestDataFile("fluoro.dev"));
    EXPECT_EQ(f.Shown().chooseDeviceFilePrompt, false);
    EXPECT_EQ(f.Shown().requestedPage, PagePlot);
    EXPECT_EQ(f.Shown().selectors.plotType, true);
    EXPECT_EQ(f.Shown().selectors.iTemp, true);
    EXPECT_EQ(f.Shown().selectors.xTemp, false);
    EXPECT_EQ(f.Shown().selectors.pressure, false);
    EXPECT_EQ(f.Shown().selectors.scattering, false);
    EXPECT_TRUE(f.session.State().PlotSetupPending);
    f.Ticks(1);
    EXPECT_FALSE(f.session.State().PlotSetupPending);
    EXPECT_EQ(f.session.State().DeviceName, "KIVO FL Chlorophyll Fluorometer / Turbidity SN 0107");
}

TEST(DeviceFileMenu, CancelChangesNothingAndAFailureIsTold) {
    SessionFixture f;
    f.session.LoadDeviceFileClick();  // cancelled
    EXPECT_TRUE(f.session.State().DevicePath.empty());
    EXPECT_TRUE(f.prompts.warnings.empty());

    f.prompts.openAnswers.push_back(TestDataFile("no-such-file.dev"));
    f.session.LoadDeviceFileClick();
    EXPECT_TRUE(f.session.State().DevicePath.empty());
    EXPECT_TRUE(f.prompts.warnings.empty());  // a file that will not open: no message

    const std::string bad = testing::TempDir() + "/seventy-six.dev";
    std::FILE* out = std::fopen(bad.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs("Bad meter\nColumns=76\n", out);
    std::fclose(out);
    f.prompts.openAnswers.push_back(bad);
    f.session.LoadDeviceFileClick();
    ASSERT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_EQ(f.prompts.warnings[0].caption, "Device File Error");
    EXPECT_EQ(f.prompts.warnings[0].text, "Missing or Invalid device file '" + bad + "'");
    EXPECT_TRUE(f.session.State().DevicePath.empty());
    EXPECT_FALSE(f.session.State().PlotSetupPending);
}

TEST(DeviceFileMenu, APipeIsLikeAMissingFileAndNeverWaitedOn) {
    SessionFixture f;
    const FifoGuard pipe(f.folder.File("meter.dev"));
    ASSERT_TRUE(pipe.Made());
    f.prompts.openAnswers.push_back(f.folder.File("meter.dev"));
    f.session.LoadDeviceFileClick();
    EXPECT_FALSE(pipe.Released());
    EXPECT_TRUE(f.session.State().DevicePath.empty());
    EXPECT_TRUE(f.prompts.warnings.empty());
}

TEST(PerLineChain, DataLinesAreConvertedAndRepliesParsed) {
    LoadedSession f;
    f.Receive("VER KIVO FL 2.1\r\nAVE 60\r\n11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n");
    EXPECT_EQ(f.Shown().caption, "KIVO View:  v1.16 10/20/03      KIVO: VER KIVO FL 2.1");
    EXPECT_EQ(f.session.Meter().Setup().averageCount, 60u);
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 1.0);
    EXPECT_EQ(f.session.Chain().Counts().SampleX, 0.0);
    const EngineeringValues& eng = f.session.Chain().Current().engineering;
    EXPECT_EQ(Printed("%4.2lf", eng.chl), "48.40");
    EXPECT_EQ(Printed("%4.2lf", eng.ntu), "1.00");
    EXPECT_EQ(Printed("%3.1lf", eng.iTemp), "20.0");
    EXPECT_EQ(f.Shown().setup.meterClock, "KIVO:   11/20/03  12:30:45");
    EXPECT_EQ(f.Shown().setup.hostClock, "Host:  12/08/26  16:02:03 UTC");
    EXPECT_EQ(f.Shown().memo.total, 3u);
}

TEST(DeviceFileMenu, ALoadBeforeTheFirstTickSurvivesIt) {
    SessionFixture f;
    f.prompts.openAnswers.push_back(TestDataFile("fluoro.dev"));
    f.session.LoadDeviceFileClick();
    f.Ticks(1);
    EXPECT_EQ(f.session.Calibration().declaredColumns, 6);
    EXPECT_EQ(f.session.Calibration().definitionCount, 6);
}

TEST(PerLineChain, WithoutADeviceFileEveryLineIsData) {
    SessionFixture f;
    f.Ticks(1);
    f.OpenMeterPort();
    f.port.incoming = "VER KIVO\r\nMEM 4095\r\n";
    f.Ticks(1);
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 2.0);
    EXPECT_EQ(f.Shown().caption, "KIVO View:  v1.16 10/20/03      KIVO:  ");
    EXPECT_EQ(f.Shown().memoryFullRequests, 0u);
    EXPECT_EQ(f.Shown().setup.meterClock, "KIVO:  2");
}

TEST(PerLineChain, TheSixthMismatchInARowWarnsOnce) {
    LoadedSession f;
    const std::string fourFields = "1\t2\t3\t4\r\n";
    for (int i = 0; i < 5; ++i) f.Receive(fourFields);
    EXPECT_TRUE(f.prompts.warnings.empty());
    f.Receive(fourFields);
    ASSERT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_EQ(f.prompts.warnings[0].caption, "Possible Mis-Match between Device File and Meter");
    EXPECT_EQ(f.prompts.warnings[0].text,
              "Execution Error - Columns found 4 != Columns Expected 6");
    for (int i = 0; i < 10; ++i) f.Receive(fourFields);
    EXPECT_EQ(f.prompts.warnings.size(), 1u);
    // A good line resets the count; six more mismatches warn again.
    f.Receive("11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n");
    for (int i = 0; i < 6; ++i) f.Receive(fourFields);
    EXPECT_EQ(f.prompts.warnings.size(), 2u);
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 1.0);
}

}  // namespace
}  // namespace kivo::test

namespace kivo::test {
namespace {

TEST(Chart, ChannelsFollowTheDeviceFileAndChoicesClearThePoints) {
    LoadedSession f("scatter9.dev");
    f.Ticks(1);
    ChartModel& chart = f.session.Plot().Model();
    EXPECT_EQ(chart.Title(), "KIVO BB9 Nine-Wavelength Scattering Meter SN 0042");
    ASSERT_EQ(chart.ChannelCount(), 10);  // nine wavelengths and the internal temperature
    const std::string line =
        "11/20/03\t100\t200\t300\t400\t500\t600\t700\t800\t900\t12:30:45\t3000\n";
    for (int i = 0; i < 3; ++i) f.Receive(line);
    EXPECT_EQ(chart.Channel(0).points.size(), 3u);
    EXPECT_EQ(chart.Channel(9).points.size(), 0u);  // temperature: titled, not plotted
    EXPECT_EQ(chart.Channel(0).title, "412 nm: 100 Counts");
    EXPECT_EQ(chart.Channel(9).title, "iTemp: 3000 Counts");
    f.session.Plot().ChooseInternalTemperature(1);
    EXPECT_EQ(chart.Channel(0).points.size(), 0u);
    f.Receive(line);
    ASSERT_EQ(chart.Channel(0).points.size(), 1u);
    EXPECT_EQ(chart.Channel(0).points.front().x, 3.0);  // the sample number ran on
    EXPECT_EQ(chart.Channel(9).points.size(), 1u);
}

}  // namespace
}  // namespace kivo::test
