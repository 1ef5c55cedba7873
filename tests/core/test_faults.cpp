// Faults the program meets on a ship, each fed as bytes or files: nothing recorded is lost,
// nothing grows without bound, no warning storm.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "SessionFixture.h"

namespace kivo::test {
namespace {

const std::string kLine = "11/20/03\t12:30:45\t4050\t1000\t240\t3000";

using Meter = MeterSession;

TEST(Faults, APortVanishingMidLineDropsTheHeadTheRestartedMeterNeverEnds) {
    Meter f;
    ASSERT_TRUE(f.session.Recording().StartRawRecording(f.folder.File("mid.raw")));
    f.Receive(kLine + "\r\n" + kLine.substr(0, 12));
    f.port.failed = true;
    f.Ticks(1);
    EXPECT_EQ(f.session.Port().LostPort(), 1);
    f.port.failed = false;
    f.Ticks(36);
    ASSERT_EQ(f.session.State().PortNumber, 1);
    f.Receive(kLine + "\r\n");
    EXPECT_EQ(ReadBytes(f.folder.File("mid.raw")), kLine + "\r\n" + kLine + "\r\n");
}

TEST(Faults, APortVanishingMidDownloadEndsItIncomplete) {
    Meter f;
    ASSERT_TRUE(f.session.StartDownload(f.folder.File("memory.raw")));
    f.Receive("half of the memo");
    f.port.failed = true;
    f.port.openable.clear();  // and it stays away
    f.Ticks(61);
    EXPECT_FALSE(f.session.Download().Active());
    EXPECT_EQ(f.session.Download().Status(), DownloadState::Incomplete);
    EXPECT_EQ(ReadBytes(f.folder.File("memory.raw")), "half of the memo");
    EXPECT_EQ(f.prompts.messages.size(), 1u);  // the lost port, told once
}

TEST(Faults, AMinuteOfWrongBaudGarbageWarnsOncePerStretch) {
    Meter f;
    // 38400 baud for a minute: 230,400 bytes without a line end, fed a tick's worth at a time.
    std::string garbage(1000, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>(0x80 + (i * 7) % 120);
    for (int tick = 0; tick < 231; ++tick) f.Receive(garbage);
    EXPECT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_TRUE(f.Shown().memo.total <= 11u);  // nothing but the replies before it
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 0.0);
    // A line end re-arms the warning: the next stretch warns again, once.
    f.Receive("\n");
    for (int tick = 0; tick < 5; ++tick) f.Receive(garbage);
    EXPECT_EQ(f.prompts.warnings.size(), 2u);
    f.Receive("\n" + kLine + "\n");
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 1.0);
}

TEST(Faults, ADeviceFileSwappedWhileReplayingOnlyChangesTheLayout) {
    Meter f;
    const std::string raw = f.folder.File("in.raw");
    std::string lines;
    for (int i = 0; i < 20; ++i) lines += kLine + "\r\n";
    WriteBytes(raw, lines);
    ASSERT_TRUE(f.session.OpenReplay(raw));
    f.session.BTStartClick();
    f.Ticks(5);
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 5.0);
    f.prompts.openAnswers.push_back(TestDataFile("scatter9.dev"));
    f.session.LoadDeviceFileClick();
    f.Ticks(10);  // these lines do not fit the new file: refused, one warning
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 5.0);
    EXPECT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_TRUE(f.session.State().ReplayRunning);
}

TEST(Faults, AReplayFileTruncatedWhileReplayingEndsLikeItsEnd) {
    Meter f;
    const std::string raw = f.folder.File("cut.raw");
    std::string lines;
    for (int i = 0; i < 1000; ++i) lines += kLine + "\r\n";  // far more than one read buffer
    WriteBytes(raw, lines);
    ASSERT_TRUE(f.session.OpenReplay(raw));
    f.session.BTStartClick();
    f.Ticks(5);
    std::filesystem::resize_file(raw, kLine.size() * 3);
    f.Ticks(1000);
    EXPECT_FALSE(f.session.State().ReplayRunning);
    EXPECT_EQ(f.Shown().startButton, "Start Replay");
    EXPECT_GE(f.session.Chain().Counts().DataLineCount, 5.0);
    EXPECT_LT(f.session.Chain().Counts().DataLineCount, 1000.0);
}

TEST(Faults, AReplayWhoseLastLineHasNoLineEndSpoilsNeitherTheNextPassNorLiveData) {
    Meter f;
    const std::string raw = f.folder.File("open-end.raw");
    WriteBytes(raw, kLine + "\r\n" + kLine.substr(0, 5));
    ASSERT_TRUE(f.session.OpenReplay(raw));
    for (int pass = 0; pass < 2; ++pass) {
        f.session.BTStartClick();
        f.Ticks(5);
        EXPECT_FALSE(f.session.State().ReplayRunning);
    }
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 2.0);  // the first line of both passes
    f.session.BTStartClick();
    f.Ticks(2);  // the unfinished line pending again
    f.session.RealTimeDataClick();
    f.Receive(kLine + "\r\n");
    EXPECT_EQ(f.Shown().memo.newest.back(), kLine);
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 4.0);
}

TEST(Faults, ADeviceFileThatNeverEndsIsRefused) {
    SessionFixture f;
    WriteBytes(f.folder.File("last.rbs"), "1 2 0 0 0 0 0 0 0 0 0 0\n/dev/zero\n");
    f.Ticks(1);
    f.session.Timer1SecondTimer();  // returns: nothing restored
    EXPECT_TRUE(f.session.State().DevicePath.empty());
    EXPECT_FALSE(f.session.LoadDeviceFile("/dev/zero"));
    EXPECT_TRUE(f.port.opens.empty());
}

TEST(Faults, DamagedOrUnreadableSettingsLeaveTheDefaults) {
    struct Case {
        const char* name;
        std::string lastRbs;
        std::string chartProperties;
        bool lastIsFolder;
    };
    std::string binary(300, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 31);
    const std::vector<Case> cases = {
        {"BinaryLastRbs", binary, "", false},
        {"LastRbsIsAFolder", "", "", true},
        {"HugeNumbers", "99999999999 -99999999999 1 1 1 1 1 1 1 1 1 1\nfluoro.dev\n", "", false},
    };
    for (const Case& c : cases) {
        SessionFixture f;
        std::filesystem::copy_file(TestDataFile("fluoro.dev"), f.folder.File("fluoro.dev"));
        if (c.lastIsFolder) {
            std::filesystem::create_directory(f.folder.File("last.rbs"));
        } else {
            WriteBytes(f.folder.File("last.rbs"), c.lastRbs);
        }
        f.Ticks(1);
        f.session.Timer1SecondTimer();
        f.Ticks(1);
        EXPECT_TRUE(f.port.opens.empty()) << c.name;
        EXPECT_TRUE(f.prompts.messages.empty()) << c.name;
    }
    // A damaged chart properties file beside a good last.rbs: restored, with the design look.
    SessionFixture f;
    std::filesystem::copy_file(TestDataFile("fluoro.dev"), f.folder.File("fluoro.dev"));
    WriteBytes(f.folder.File("last.rbs"), "1 2 0 0 0 0 0 0 0 0 0 0\nfluoro.dev\n");
    WriteBytes(f.folder.File("kivoiocomp.rbs"), binary);
    const ChartProperties design = f.session.Plot().Model().Properties();
    f.Ticks(1);
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.session.State().DevicePath, "fluoro.dev");
    EXPECT_TRUE(f.session.Plot().Model().Properties() == design);
}

}  // namespace
}  // namespace kivo::test
