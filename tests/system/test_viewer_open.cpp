// kivoview --open as the desktop's "Open With" and the README's pictures run it: the
// recording read whole before the screenshots are taken, the viewer's among them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "SimProcess.h"

namespace kivo::test {
namespace {

namespace fs = std::filesystem;

TEST(ViewerOpen, ScreenshotsWaitForTheRecordingGivenByOpen) {
    if (std::string(KIVO_VIEW_PATH).empty()) GTEST_SKIP() << "built without the window program";
    const fs::path dir = fs::path(testing::TempDir()) / "kivo-viewer-shots";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string replay = std::string(KIVO_SOURCE_DIR) + "/tests/replay/bb9_sea";
    // As "Open With" starts it: no --dev, the device file is the one last.rbs brings back
    // in the first second. No leak check in a Qt process.
    fs::copy_file(replay + ".dev", dir / "bb9_sea.dev");
    std::ofstream(dir / "last.rbs") << "0 2 0 0 1 0 0 0 0 0 0 0\nbb9_sea.dev\n";
    const std::string command =
        "cd '" + dir.string() +
        "' && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen exec '" + KIVO_VIEW_PATH +
        "' '" + replay + ".raw' --screenshot shots --settle 0";
    const ProcessResult run = RunToExit("/bin/sh", {"-c", command}, milliseconds(60000));
    ASSERT_TRUE(run.finished) << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const fs::path png = dir / "shots" / "viewer-whole-recording.png";
    ASSERT_TRUE(fs::exists(png)) << run.out;
    EXPECT_GT(fs::file_size(png), 5000u);
    EXPECT_NE(run.out.find(png.filename().string()), std::string::npos) << run.out;

    // A recording that cannot be read leaves the pictures one short, and the run failed.
    const ProcessResult missing =
        RunToExit("/bin/sh",
                  {"-c", "cd '" + dir.string() +
                             "' && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen exec '" +
                             KIVO_VIEW_PATH + "' --open nothing.eng --screenshot none --settle 0"},
                  milliseconds(60000));
    ASSERT_TRUE(missing.finished) << missing.err;
    EXPECT_EQ(missing.exitCode, 1) << missing.err;
    EXPECT_FALSE(fs::exists(dir / "none" / "viewer-whole-recording.png"));
}

}  // namespace
}  // namespace kivo::test
