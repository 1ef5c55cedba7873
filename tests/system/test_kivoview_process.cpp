// The window program as a process: its command line and its pictures of every page.
#include <gtest/gtest.h>

#include <filesystem>
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
