#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Fifo.h"
#include "SessionFixture.h"
#include "core/settings/LastRbs.h"

namespace kivo::test {
namespace {

namespace fs = std::filesystem;

std::optional<LastRbs> Read(const std::string& text) {
    std::istringstream in(text);
    return ReadLastRbs(in);
}

TEST(LastRbsFile, WrittenWithTheSingleFormat) {
    LastRbs settings;
    settings.values = {3, 1, 1, 15, 0, 2, 1, 0, -1, 0, 7, 1};
    settings.deviceFile = "kivo-bb9.dev";
    EXPECT_EQ(FormatLastRbs(settings), "3 1 1 15 0 2 1 0 -1 0 7 1\nkivo-bb9.dev\n");
    const std::optional<LastRbs> back = Read(FormatLastRbs(settings));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->values, settings.values);
    EXPECT_EQ(back->deviceFile, "kivo-bb9.dev");
}

TEST(LastRbsFile, ReadingRules) {
    struct Case {
        const char* name;
        std::string text;
        bool restores;
        std::string deviceFile;
        int firstValue;
    };
    const std::string long200(200, 'n');
    const std::vector<Case> cases = {
        {"CrLf", "1 2 0 0 0 0 0 0 0 0 0 0\r\nmeter.dev\r\n", true, "meter.dev", 1},
        {"NoLineEndAtAll", "1 2 0 0 0 0 0 0 0 0 0 0\nmeter.dev", true, "meter.dev", 1},
        {"AnyWhiteSpace", "  4\t2  0 0 0 0\t0 0 0 0 0 0\nm.dev\n", true, "m.dev", 4},
        {"ElevenIntegers", "1 2 0 0 0 0 0 0 0 0 0\nmeter.dev\n", false, "", 0},
        {"NotANumber", "1 2 0 0 x 0 0 0 0 0 0 0\nmeter.dev\n", false, "", 0},
        {"Empty", "", false, "", 0},
        {"LineTwoCutAt199", "1 2 0 0 0 0 0 0 0 0 0 0\n" + long200 + "\n", true,
         std::string(199, 'n'), 1},
        // A line 1 longer than 199 characters leaves its rest to be read as line 2.
        {"LongLineOne", "1 2 0 0 0 0 0 0 0 0 0 0" + std::string(190, ' ') + "rest\nm.dev\n", true,
         std::string(23 + 190 - 199, ' ') + "rest", 1},
    };
    for (const Case& c : cases) {
        const std::optional<LastRbs> got = Read(c.text);
        ASSERT_EQ(got.has_value(), c.restores) << c.name;
        if (!got) continue;
        EXPECT_EQ(got->deviceFile, c.deviceFile) << c.name;
        EXPECT_EQ(got->values[0], c.firstValue) << c.name;
    }
}

TEST(LastRbsFile, OnlyTheFileNameIsKept) {
    EXPECT_EQ(FileNameOf("/home/tech/meters/kivo.dev"), "kivo.dev");
    EXPECT_EQ(FileNameOf("kivo.dev"), "kivo.dev");
    EXPECT_EQ(FileNameOf("relative/dir/odd:name.dev"), "odd:name.dev");
}

// A run that chose everything, then Exit; a new run in the same folder.
struct RoundTrip : ::testing::Test {
    SessionFixture first;

    void SetUp() override {
        fs::copy_file(std::string(KIVO_TEST_DATA) + "/fluoro.dev", first.folder.File("fluoro.dev"));
        first.Ticks(1);
        first.prompts.openAnswers.push_back(first.folder.File("fluoro.dev"));
        first.session.LoadDeviceFileClick();
        first.session.Port().SelectHostPort(1, 3);
        SharedState& state = first.session.State();
        state.powerUser = 1;
        state.StatsMode = 15;
        state.PlotType = 1;
        state.BBPlotChoice = 2;
        state.ITempPlot = 1;
        state.XTempPlot = 0;
        state.PresPlot = 1;
        state.RefChannelCorrection = 1;
        state.TempCorrection = 5;
        first.session.Meter().ToggleAlternateCommands();
        first.session.Exit();
    }
};

TEST_F(RoundTrip, ExitWritesTheSettings) {
    EXPECT_EQ(first.exits, std::vector<int>({0}));
    EXPECT_EQ(ReadBytes(first.folder.File("last.rbs")), "1 3 1 15 1 2 1 0 1 1 5 1\nfluoro.dev\n");
}

TEST_F(RoundTrip, TheNextStartRestoresEverything) {
    SessionFixture next;
    fs::copy_file(first.folder.File("last.rbs"), next.folder.File("last.rbs"));
    fs::copy_file(first.folder.File("fluoro.dev"), next.folder.File("fluoro.dev"));
    next.Ticks(1);
    next.session.Timer1SecondTimer();

    const SharedState& state = next.session.State();
    EXPECT_EQ(state.DevicePath, "fluoro.dev");
    EXPECT_EQ(next.Shown().deviceFile, "Device File:  fluoro.dev");
    EXPECT_EQ(next.port.opens.back(), "/dev/meter1@38400");
    EXPECT_EQ(next.Shown().portItem, 1);
    EXPECT_EQ(next.Shown().baudItem, 3);
    EXPECT_EQ(state.powerUser, 1);
    EXPECT_EQ(state.StatsMode, 15);
    EXPECT_EQ(next.Shown().statisticsItem, 2);
    EXPECT_EQ(state.PlotType, 1);
    EXPECT_EQ(state.BBPlotChoice, 2);
    EXPECT_EQ(state.ITempPlot, 1);
    EXPECT_EQ(state.XTempPlot, 0);
    EXPECT_EQ(state.PresPlot, 1);
    ASSERT_TRUE(next.Shown().plotChoices);
    EXPECT_EQ(next.Shown().plotChoices->PresPlot, 1);
    EXPECT_EQ(state.RefChannelCorrection, 1);
    EXPECT_EQ(state.TempCorrection, 5);
    EXPECT_TRUE(state.alternateCommands);
    EXPECT_EQ(next.Shown().alternateCommands, true);
    EXPECT_EQ(next.Shown().requestedPage, PagePlot);
    EXPECT_EQ(next.Shown().chooseDeviceFilePrompt, false);
    EXPECT_TRUE(state.PlotSetupPending);
    EXPECT_EQ(next.Shown().powerUser, true);
    // Power user in engineering units: the statistics list stays hidden.
    EXPECT_EQ(next.Shown().selectors.statistics, false);

    // The automatic "$mnu" follows the reopened port.
    next.port.written.clear();
    next.Ticks(10);
    EXPECT_EQ(next.port.written, "$mnu\r\n");

    // The restore runs once only.
    const std::size_t opens = next.port.opens.size();
    next.session.Timer1SecondTimer();
    EXPECT_EQ(next.port.opens.size(), opens);

    // And the second Exit writes the same file again.
    next.session.Exit();
    EXPECT_EQ(ReadBytes(next.folder.File("last.rbs")), ReadBytes(first.folder.File("last.rbs")));
}

TEST(Restore, NothingIsAppliedWithoutItsDeviceFile) {
    SessionFixture f;
    WriteBytes(f.folder.File("last.rbs"), "1 2 1 1 1 0 0 0 0 0 0 1\nmissing.dev\n");
    f.Ticks(1);
    f.session.Timer1SecondTimer();
    EXPECT_TRUE(f.session.State().DevicePath.empty());
    EXPECT_TRUE(f.port.opens.empty());
    EXPECT_EQ(f.session.State().powerUser, 0);
    EXPECT_FALSE(f.session.State().alternateCommands);
    EXPECT_TRUE(f.prompts.warnings.empty());
}

// last.rbs naming "../x.dev" loaded a device file from outside the settings folder. Exit
// writes the bare file name, so a name with a slash is refused and told.
TEST(Restore, ADeviceFileOutsideTheSettingsFolderIsRefusedAndTold) {
    SessionFixture f;
    const fs::path folder(f.folder.path);
    const std::string outside = folder.filename().string() + "-outside.dev";
    fs::copy_file(TestDataFile("fluoro.dev"), folder.parent_path() / outside);
    fs::create_directory(folder / "sub");
    fs::copy_file(TestDataFile("fluoro.dev"), folder / "sub" / "fluoro.dev");
    for (const std::string& name : {"../" + outside, (folder / "sub" / "fluoro.dev").string(),
                                    std::string("sub/fluoro.dev")}) {
        SCOPED_TRACE(name);
        SessionFixture g;
        WriteBytes(g.folder.File("last.rbs"), "1 2 1 1 1 0 0 0 0 0 0 1\n" + name + "\n");
        g.Ticks(1);
        g.session.Timer1SecondTimer();
        EXPECT_TRUE(g.session.State().DevicePath.empty());
        EXPECT_EQ(g.session.State().powerUser, 0);
        ASSERT_EQ(g.prompts.warnings.size(), 1u);
        EXPECT_NE(g.prompts.warnings.front().text.find("'" + name + "'"), std::string::npos);
    }
    fs::remove(folder.parent_path() / outside);
}

TEST(Restore, ElevenIntegersRestoreNothing) {
    SessionFixture f;
    fs::copy_file(std::string(KIVO_TEST_DATA) + "/fluoro.dev", f.folder.File("fluoro.dev"));
    WriteBytes(f.folder.File("last.rbs"), "1 2 1 1 1 0 0 0 0 0 0\nfluoro.dev\n");
    f.Ticks(1);
    f.session.Timer1SecondTimer();
    EXPECT_TRUE(f.session.State().DevicePath.empty());
    EXPECT_TRUE(f.port.opens.empty());
}

TEST(Restore, OutOfRangeValuesAreKeptAndLeaveListsUnselected) {
    SessionFixture f;
    fs::copy_file(std::string(KIVO_TEST_DATA) + "/fluoro.dev", f.folder.File("fluoro.dev"));
    WriteBytes(f.folder.File("last.rbs"), "12 9 0 7 0 0 0 0 0 0 0 0\nfluoro.dev\n");
    f.Ticks(1);
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.session.State().StatsMode, 7);
    EXPECT_EQ(f.Shown().statisticsItem, -1);  // no item for 7: none chosen, as at the start
    EXPECT_TRUE(f.port.opens.empty());        // item 12 opens no port
}

TEST(Restore, APipeInThePlaceOfASettingsFileIsLikeAMissingOne) {
    for (const char* name : {"last.rbs", "kivoiocomp.rbs"}) {
        SCOPED_TRACE(name);
        SessionFixture f;
        fs::copy_file(TestDataFile("fluoro.dev"), f.folder.File("fluoro.dev"));
        if (std::string(name) != "last.rbs") {
            WriteBytes(f.folder.File("last.rbs"), "1 2 0 0 0 0 0 0 0 0 0 0\nfluoro.dev\n");
        }
        const FifoGuard pipe(f.folder.File(name));
        ASSERT_TRUE(pipe.Made());
        const ChartProperties design = f.session.Plot().Model().Properties();
        f.Ticks(1);
        f.session.Timer1SecondTimer();
        EXPECT_FALSE(pipe.Released());
        EXPECT_EQ(f.session.State().DevicePath.empty(), std::string(name) == "last.rbs");
        EXPECT_TRUE(f.session.Plot().Model().Properties() == design);
        EXPECT_TRUE(f.prompts.warnings.empty());
    }
}

TEST(Exit, LeavesWhatIsNotARegularFileInTheSettingsPlaceAndSaysSo) {
    struct Case {
        const char* name;
        bool folder;  // else a pipe
    };
    for (const Case& c : {Case{"last.rbs", false}, Case{"last.rbs", true},
                          Case{"kivoiocomp.rbs", false}, Case{"kivoiocomp.rbs", true}}) {
        SCOPED_TRACE(std::string(c.name) + (c.folder ? " folder" : " pipe"));
        SessionFixture f;
        f.session.LoadDeviceFile(TestDataFile("fluoro.dev"));
        f.OpenMeterPort();
        const std::string path = f.folder.File(c.name);
        std::optional<FifoGuard> pipe;
        if (c.folder) {
            fs::create_directory(path);
        } else {
            pipe.emplace(path);
        }
        f.session.Exit();
        EXPECT_EQ(f.exits, std::vector<int>({0}));
        if (pipe) {
            EXPECT_FALSE(pipe->Released());
        }
        EXPECT_TRUE(c.folder ? fs::is_directory(path) : pipe->StillAFifo());
        const bool lastWritten = std::string(c.name) != "last.rbs";
        EXPECT_EQ(fs::is_regular_file(f.folder.File("last.rbs")), lastWritten);
        ASSERT_EQ(f.prompts.warnings.size(), 1u);
        EXPECT_EQ(f.prompts.warnings[0].caption, "Settings Not Saved");
        const std::string what = lastWritten ? "the chart's look" : "the settings";
        EXPECT_EQ(f.prompts.warnings[0].text,
                  "Exit did not save " + what + ": '" + path +
                      "' is not a regular file (a folder, a pipe or a device) and was left as "
                      "it is.\nRemove or rename it to save " +
                      what + " at the next Exit.");
    }
}

TEST(Exit, WritesNothingWithoutAPortItemOrADeviceFile) {
    SessionFixture f;
    f.session.Exit();
    EXPECT_FALSE(fs::exists(f.folder.File("last.rbs")));
    f.OpenMeterPort();
    f.session.Exit();
    EXPECT_FALSE(fs::exists(f.folder.File("last.rbs")));
    EXPECT_EQ(f.exits, std::vector<int>({0, 0}));
}

TEST(Exit, ADeviceFileFromAnotherFolderIsSavedByNameOnly) {
    SessionFixture f;
    f.prompts.openAnswers.push_back(std::string(KIVO_TEST_DATA) + "/scatter9.dev");
    f.session.LoadDeviceFileClick();
    f.OpenMeterPort();
    f.session.Exit();
    EXPECT_EQ(ReadBytes(f.folder.File("last.rbs")), "1 2 0 0 0 0 0 0 0 0 0 0\nscatter9.dev\n");
}

}  // namespace
}  // namespace kivo::test
