// The window program as a process: its command line and its pictures of every page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "SimProcess.h"

namespace kivo::test {
namespace {

namespace fs = std::filesystem;

bool HaveWindowProgram() { return std::string(KIVO_VIEW_PATH).size() > 0; }

TEST(WindowProgram, ScreenshotsEveryPageAndWindow) {
    if (!HaveWindowProgram()) GTEST_SKIP() << "built without the window program";
    const fs::path dir = fs::path(testing::TempDir()) / "kivo-shots";
    fs::remove_all(dir);
    const ProcessResult run = RunToExit(
        KIVO_VIEW_PATH, {"--screenshot", dir.string(), "--settle", "0.5"}, milliseconds(60000));
    ASSERT_TRUE(run.finished) << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> expected = {
        "page0-meter-setup.png",       "page1-advanced-setup.png",
        "page2-fl-setup.png",          "page3-raw-data.png",
        "page4-plot-data.png",         "page5-transfer-data.png",
        "dialog-memory-full.png",      "dialog-select-host-port.png",
        "dialog-password.png"};
    for (const std::string& name : expected) {
        const fs::path png = dir / name;
        ASSERT_TRUE(fs::exists(png)) << name;
        EXPECT_GT(fs::file_size(png), 1000u) << name;
        EXPECT_NE(run.out.find(png.string()), std::string::npos) << name;
    }
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Started in the demo folder, the program comes back as last.rbs says: COM1 opens on the
// simulated meter, the device file loads, and the automatic "$mnu" reaches the meter.
TEST(WindowProgram, StartsInTheDemoFolderOnTheSimulatedMeter) {
    if (!HaveWindowProgram()) GTEST_SKIP() << "built without the window program";
    const fs::path demo = fs::path(testing::TempDir()) / "kivo-demo";
    fs::remove_all(demo);
    fs::copy(fs::path(KIVO_SOURCE_DIR) / "demo", demo, fs::copy_options::recursive);
    const fs::path log = demo / "commands.log";
    SimProcess sim({"--dev", (demo / "kivo-bb9.dev").string(), "--log", log.string(),
                    "--autorun", "--rate", "10"});
    const std::string command = "cd '" + demo.string() + "' && exec '" + KIVO_VIEW_PATH +
                                "' --com 1=" + sim.PortPath() +
                                " --screenshot shots --settle 2.5";
    const ProcessResult run = RunToExit("/bin/sh", {"-c", command}, milliseconds(60000));
    ASSERT_TRUE(run.finished) << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(Slurp(log).find("$mnu"), std::string::npos) << Slurp(log);
    EXPECT_TRUE(fs::exists(demo / "shots" / "page4-plot-data.png"));
}

TEST(WindowProgram, CommandLineMistakesExitWithStatusTwo) {
    if (!HaveWindowProgram()) GTEST_SKIP() << "built without the window program";
    const std::vector<std::vector<std::string>> mistakes = {
        {"--com", "9=/dev/ttyUSB0"}, {"--com", "1"}, {"--settle", "soon", "--screenshot", "x"},
        {"--no-such-option"}, {"stray"}};
    for (const auto& arguments : mistakes) {
        const ProcessResult run = RunToExit(KIVO_VIEW_PATH, arguments, milliseconds(30000));
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 2) << arguments.front();
        EXPECT_NE(run.err.find("kivoview"), std::string::npos) << run.err;
    }
    const ProcessResult help = RunToExit(KIVO_VIEW_PATH, {"--help"}, milliseconds(30000));
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--com"), std::string::npos);
}

}  // namespace
}  // namespace kivo::test
