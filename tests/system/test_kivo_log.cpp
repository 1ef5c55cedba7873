// kivo-log against the simulated meter: the window's files, a clean stop, a pulled cable.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <thread>

#include "../core/FileBytes.h"
#include "SimProcess.h"

namespace kivo::test {
namespace {

const std::string kDevice = std::string(KIVO_TEST_DATA) + "/scatter9.dev";

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Waits, with a bound, until the process has printed `count` status lines.
bool StatusLines(ChildProcess& log, int count, milliseconds timeout = milliseconds(15000)) {
    for (int i = 0; i < count; ++i) {
        if (!log.ReadStdoutLine(timeout)) return false;
    }
    return true;
}

TEST(Logger, RecordsWhatTheWindowWouldAndStopsCleanlyOnSigterm) {
    ScratchDirectory folder;
    const std::string commands = folder.File("commands.log");
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--log", commands});
    ChildProcess log(KIVO_LOG_PATH,
                     {"--port", sim.PortPath(), "--dev", kDevice, "--raw", folder.File("log.raw"),
                      "--eng", folder.File("log.eng"), "--start"});
    ASSERT_TRUE(StatusLines(log, 3)) << log.Stderr();
    EXPECT_EQ(log.Stop(), 0) << log.Stderr();  // SIGTERM

    // "$mnu" first, then "$run", and the stop sequence on the way out.
    EXPECT_EQ(ReadBytes(commands), "$mnu\n$run\n!!!!!\n");
    const std::string raw = ReadBytes(folder.File("log.raw"));
    const std::string eng = ReadBytes(folder.File("log.eng"));
    ASSERT_GT(Lines(raw), 20u);
    EXPECT_EQ(raw.substr(raw.size() - 2), "\r\n");  // complete lines only
    EXPECT_EQ(Lines(eng), Lines(raw) + 1);          // a heading and one record a line

    // The same raw lines through the converter give the same engineering units.
    const ProcessResult converted =
        RunToExit(KIVO_CONVERT_PATH, {"--dev", kDevice, folder.File("log.raw")});
    EXPECT_EQ(converted.exitCode, 0) << converted.err;
    EXPECT_TRUE(converted.out == eng);
}

// Killed without warning (a power cut of the program), the files keep every line of the
// ticks before: each tick flushes what it wrote.
TEST(Logger, AKillLeavesCompleteLinesInBothFiles) {
    ScratchDirectory folder;
    SimProcess sim({"--dev", kDevice, "--rate", "40", "--autorun"});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--raw",
                                     folder.File("log.raw"), "--eng", folder.File("log.eng")});
    ASSERT_TRUE(StatusLines(log, 2)) << log.Stderr();
    kill(log.Pid(), SIGKILL);
    ASSERT_TRUE(log.WaitExit(milliseconds(5000)).has_value());
    const std::string raw = ReadBytes(folder.File("log.raw"));
    const std::string eng = ReadBytes(folder.File("log.eng"));
    ASSERT_GT(Lines(raw), 20u);
    EXPECT_EQ(raw.substr(raw.size() - 2), "\r\n");
    EXPECT_EQ(eng.substr(eng.size() - 2), "\r\n");
    // Both files are written in the same tick: the same lines reached both.
    EXPECT_EQ(Lines(eng), Lines(raw) + 1);
}

TEST(Logger, StatusLinesShowTheReadout) {
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun"});
    ChildProcess log(KIVO_LOG_PATH,
                     {"--port", sim.PortPath(), "--dev", kDevice, "--duration", "2.5"});
    ASSERT_TRUE(log.WaitExit(milliseconds(15000)).has_value());
    const std::string out = log.Stdout();
    EXPECT_NE(out.find("Sample Rate: "), std::string::npos) << out;
    EXPECT_NE(out.find("| 412 nm: "), std::string::npos) << out;
    EXPECT_NE(out.find("| iTemp: "), std::string::npos) << out;
}

TEST(Logger, APortThatGoesAwayIsRetriedAndLoggingResumes) {
    ScratchDirectory folder;
    const std::string link = folder.File("meter");
    const std::string commands = folder.File("commands.log");
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--link", link, "--log", commands,
                    "--fault-reopen-after", "10"});
    ChildProcess log(KIVO_LOG_PATH, {"--port", link, "--dev", kDevice, "--raw",
                                     folder.File("log.raw"), "--start"});
    // The port comes back within a couple of retries, and "$run" goes out again.
    const auto runs = [&] {
        const std::string text = ReadBytes(commands);
        std::size_t count = 0;
        for (std::size_t at = text.find("$run"); at != std::string::npos;
             at = text.find("$run", at + 1))
            ++count;
        return count;
    };
    for (int i = 0; i < 200 && runs() < 2; ++i) log.ReadStdoutLine(milliseconds(100));
    EXPECT_EQ(runs(), 2u) << log.Stderr();
    const std::size_t before = Lines(ReadBytes(folder.File("log.raw")));
    ASSERT_TRUE(StatusLines(log, 2));
    EXPECT_GT(Lines(ReadBytes(folder.File("log.raw"))), before);
    EXPECT_EQ(log.Stop(), 0);
    const std::string told = log.Stderr();
    EXPECT_NE(told.find("Lost Comm Port"), std::string::npos) << told;
    EXPECT_NE(told.find("is back"), std::string::npos) << told;
}

TEST(Logger, MistakesAreToldAndFail) {
    ScratchDirectory folder;
    WriteBytes(folder.File("bad.dev"), "Bad\nColumns=2\nCHL=1 0.5\n");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"--dev", kDevice}, 2, "--port PATH or --com N"},
        {{"--port", "/dev/null", "--com", "1", "--dev", kDevice}, 2, "--port PATH or --com N"},
        {{"--port", "/dev/null"}, 2, "no device file"},
        {{"--com", "9", "--dev", kDevice}, 2, "1 to 8"},
        {{"--port", "/dev/null", "--dev", kDevice, "--baud", "1200"}, 2, "--baud"},
        {{"--port", "/dev/null", "--dev", kDevice, "--duration", "soon"}, 2, "--duration"},
        {{"--port", "/dev/null", "--dev", kDevice, "--whatever"}, 2, "unknown"},
        {{"--port", folder.File("no-port"), "--dev", kDevice}, 1, "no-port"},
        {{"--port", "/dev/null", "--dev", folder.File("bad.dev")}, 1, "does not load"},
        {{"--port", "/dev/null", "--dev", folder.File("none.dev")}, 1, "none.dev"},
    };
    for (const Case& c : cases) {
        const ProcessResult run = RunToExit(KIVO_LOG_PATH, c.arguments);
        EXPECT_EQ(run.exitCode, c.status) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunToExit(KIVO_LOG_PATH, {"--version"}).out, "kivo-log 1.16\n");
    EXPECT_NE(RunToExit(KIVO_LOG_PATH, {"--help"}).out.find("--duration"), std::string::npos);
}

}  // namespace
}  // namespace kivo::test
