// The window program as a process: its command line and its pictures of every page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SimProcess.h"

namespace kivo::test {
namespace {

namespace fs = std::filesystem;

bool HaveWindowProgram() { return std::string(KIVO_VIEW_PATH).size() > 0; }

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The command line that runs kivoview in `folder` (the current directory when empty). Qt and
// fontconfig keep caches until exit by design, so the window process alone runs without the
// leak check.
std::vector<std::string> WindowCommand(const std::vector<std::string>& arguments,
                                       const std::string& folder = "") {
    std::string command = folder.empty() ? "" : "cd " + Quoted(folder) + " && ";
    command +=
        "ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen exec " + Quoted(KIVO_VIEW_PATH);
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    return {"-c", command};
}

ProcessResult RunWindowProgram(const std::vector<std::string>& arguments) {
    return RunToExit("/bin/sh", WindowCommand(arguments), milliseconds(60000));
}

TEST(WindowProgram, ScreenshotsEveryPageAndWindow) {
    if (!HaveWindowProgram()) GTEST_SKIP() << "built without the window program";
    const fs::path dir = fs::path(testing::TempDir()) / "kivo-shots";
    fs::remove_all(dir);
    const ProcessResult run = RunWindowProgram({"--screenshot", dir.string(), "--settle", "0.5"});
    ASSERT_TRUE(run.finished) << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> expected = {
        "page0-meter-setup.png",  "page1-advanced-setup.png",    "page2-fl-setup.png",
        "page3-raw-data.png",     "page4-plot-data.png",         "page5-transfer-data.png",
        "dialog-memory-full.png", "dialog-select-host-port.png", "dialog-password.png"};
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
// simulated meter and the automatic "$mnu" reaches the meter, however long start-up takes.
TEST(WindowProgram, StartsInTheDemoFolderOnTheSimulatedMeter) {
    if (!HaveWindowProgram()) GTEST_SKIP() << "built without the window program";
    const fs::path demo = fs::path(testing::TempDir()) / "kivo-demo";
    fs::remove_all(demo);
    fs::copy(fs::path(KIVO_SOURCE_DIR) / "demo", demo, fs::copy_options::recursive);
    const fs::path log = demo / "commands.log";
    SimProcess sim({"--dev", (demo / "kivo-bb9.dev").string(), "--log", log.string(), "--autorun",
                    "--rate", "10"});
    ChildProcess window("/bin/sh", WindowCommand({"--com", "1=" + sim.PortPath()}, demo.string()));
    EXPECT_TRUE(
        WaitFor([&] { return Slurp(log).find("$mnu") != std::string::npos; }, milliseconds(60000)))
        << window.Stderr();
    EXPECT_TRUE(window.Running()) << window.Stderr();
}

TEST(WindowProgram, CommandLineMistakesExitWithStatusTwo) {
    if (!HaveWindowProgram()) GTEST_SKIP() << "built without the window program";
    const std::vector<std::vector<std::string>> mistakes = {
        {"--com", "9=/dev/ttyUSB0"},
        {"--com", "1"},
        {"--settle", "soon", "--screenshot", "x"},
        {"--no-such-option"},
        {"stray"}};
    for (const auto& arguments : mistakes) {
        const ProcessResult run = RunWindowProgram(arguments);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 2) << arguments.front();
        EXPECT_NE(run.err.find("kivoview"), std::string::npos) << run.err;
    }
    const ProcessResult help = RunWindowProgram({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--com"), std::string::npos);
}

}  // namespace
}  // namespace kivo::test
