// kivoview --open as the desktop's "Open With" and the README's pictures run it: the
// recording read whole before the screenshots are taken, the viewer's among them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../core/Fifo.h"
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

// kivoview run on `arguments` in `dir` for the screenshots, with the recording given.
ProcessResult RunViewer(const fs::path& dir, const std::string& arguments) {
    return RunToExit(
        "/bin/sh",
        {"-c", "cd '" + dir.string() +
                   "' && ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen exec '" +
                   KIVO_VIEW_PATH + "' " + arguments + " --screenshot shots --settle 0"},
        milliseconds(30000));
}

// Qt decodes the command line as UTF-8: a name that is not was "unexpected" alone, and not
// found after --open.
TEST(ViewerOpen, ANameThatIsNotUtf8Opens) {
    if (std::string(KIVO_VIEW_PATH).empty()) GTEST_SKIP() << "built without the window program";
    const fs::path dir = fs::path(testing::TempDir()) / "kivo-viewer-latin1";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string replay = std::string(KIVO_SOURCE_DIR) + "/tests/replay/bb9_sea";
    fs::copy_file(replay + ".raw", dir / "cast\xE9.raw");
    for (const std::string& given : {std::string(""), std::string("--open ")}) {
        fs::remove_all(dir / "shots");
        const ProcessResult run =
            RunViewer(dir, given + "'cast\xE9.raw' --dev '" + replay + ".dev'");
        ASSERT_TRUE(run.finished) << run.err;
        EXPECT_EQ(run.exitCode, 0) << given << run.err;
        EXPECT_TRUE(fs::exists(dir / "shots" / "viewer-whole-recording.png")) << given;
    }
}

// A device file given by --dev was opened whatever it was: a FIFO or /dev/zero held the
// start for ever. Now told, and the recording waits for a good one.
TEST(ViewerOpen, ADeviceFileThatIsNoFileIsToldNotWaitedFor) {
    if (std::string(KIVO_VIEW_PATH).empty()) GTEST_SKIP() << "built without the window program";
    const fs::path dir = fs::path(testing::TempDir()) / "kivo-viewer-nodev";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const FifoGuard fifo((dir / "pipe.dev").string(), std::chrono::milliseconds(10000));
    const std::string raw = std::string(KIVO_SOURCE_DIR) + "/tests/replay/bb9_sea.raw";
    for (const std::string device : {"pipe.dev", "/dev/zero"}) {
        const ProcessResult run = RunViewer(dir, "'" + raw + "' --dev " + device);
        ASSERT_TRUE(run.finished) << device;
        EXPECT_EQ(run.exitCode, 1) << device << run.err;  // the viewer's picture is missing
    }
    EXPECT_FALSE(fifo.Released());
}

}  // namespace
}  // namespace kivo::test
