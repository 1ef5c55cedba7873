// A meter in cycle mode: kivo-sim sends its lines in bursts and reports its cycle interval,
// and the logger waits out the pause between cycles but still tells a meter that froze.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "SimProcess.h"

namespace kivo::test {
namespace {

using Steady = std::chrono::steady_clock;

const std::string kDevice = std::string(KIVO_TEST_DATA) + "/scatter9.dev";

bool IsDataLine(const std::string& line) {
    return !line.empty() && line.find_first_not_of("0123456789.-/:\t") == std::string::npos;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::size_t LinesIn(const std::string& path) {
    const std::string text = ReadBytes(path);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Three lines at 20 Hz every 2 s: 0.1 s within a cycle, 1.9 s between cycles; lines are
// grouped at a pause of a second, far from both.
TEST(SimulatedMeterInCycleMode, SendsItsLinesInCyclesAndReportsThem) {
    SimProcess sim({"--cycle", "3,000002", "--rate", "20"});
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.ReadLine(milliseconds(5000)));  // the identification
    ASSERT_TRUE(client.Write("$mnu\r\n"));
    std::vector<std::string> menu;
    while (std::optional<std::string> line = client.ReadLine(milliseconds(5000))) {
        menu.push_back(*line);
        if (line->rfind("MEM", 0) == 0) break;
    }
    EXPECT_NE(std::find(menu.begin(), menu.end(), "PKT 3"), menu.end());
    EXPECT_NE(std::find(menu.begin(), menu.end(), "INT 000002"), menu.end());

    ASSERT_TRUE(client.Write("$run\r\n"));
    std::vector<std::size_t> cycles;  // lines per burst
    std::optional<Steady::time_point> last;
    while (cycles.size() < 4) {
        const std::optional<std::string> line = client.ReadLine(milliseconds(5000));
        ASSERT_TRUE(line.has_value()) << "no line within 5 s";
        if (!IsDataLine(*line)) continue;
        const Steady::time_point now = Steady::now();
        if (!last || now - *last > std::chrono::seconds(1)) cycles.push_back(0);
        ++cycles.back();
        last = now;
    }
    cycles.pop_back();  // the last burst may not be complete yet
    EXPECT_EQ(cycles, std::vector<std::size_t>(3, 3));

    // "$INT 000000": no cycles any more; the lines that follow its reply come without pause.
    ASSERT_TRUE(client.Write("$INT 000000\r\n"));
    while (std::optional<std::string> line = client.ReadLine(milliseconds(5000))) {
        if (*line == "INT 000000") break;
    }
    std::size_t pauses = 0;
    last.reset();
    for (std::size_t lines = 0; lines < 12;) {
        const std::optional<std::string> line = client.ReadLine(milliseconds(5000));
        ASSERT_TRUE(line.has_value()) << "no line within 5 s";
        if (!IsDataLine(*line)) continue;
        const Steady::time_point now = Steady::now();
        if (last && now - *last > std::chrono::seconds(1)) ++pauses;
        last = now;
        ++lines;
    }
    EXPECT_EQ(pauses, 0u);
}

// Cycles of three lines every 5 s: 4.8 s of silence between them, more than the 3 s that
// tell a streaming meter. After three cycles the meter freezes; that is told.
TEST(SimulatedMeterInCycleMode, TheLoggerWaitsForTheNextCycleAndTellsAFrozenMeter) {
    ScratchDirectory folder;
    const std::string raw = folder.File("cycles.raw");
    SimProcess sim(
        {"--dev", kDevice, "--cycle", "3,000005", "--rate", "10", "--fault-freeze-after", "9"});
    ChildProcess log(KIVO_LOG_PATH,
                     {"--port", sim.PortPath(), "--dev", kDevice, "--raw", raw, "--start"});
    std::size_t linesWhenTold = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            linesWhenTold = LinesIn(raw);
            return log.Stderr().find("No data for ") != std::string::npos;
        },
        milliseconds(60000)))
        << log.Stderr();
    EXPECT_EQ(linesWhenTold, 9u) << "told between cycles:\n" << log.Stderr();
    EXPECT_EQ(log.Stop(), 0);
    const std::string told = log.Stderr();
    EXPECT_EQ(Count(told, "No data for "), 1u) << told;
    // The cycle interval and three sample intervals on top.
    std::smatch seconds;
    ASSERT_TRUE(std::regex_search(told, seconds, std::regex(R"(No data for (\d+) s)")));
    EXPECT_GE(std::stoi(seconds[1]), 5) << told;
}

// By hand the limit is whatever the operator says, cycles or not.
TEST(SimulatedMeterInCycleMode, AStallLimitByHandIsKept) {
    SimProcess sim({"--dev", kDevice, "--cycle", "3,000005", "--rate", "10"});
    ChildProcess log(KIVO_LOG_PATH,
                     {"--port", sim.PortPath(), "--dev", kDevice, "--start", "--stall-after", "2"});
    ASSERT_TRUE(WaitFor([&] { return log.Stderr().find("Data again at ") != std::string::npos; },
                        milliseconds(30000)))
        << log.Stderr();
    EXPECT_EQ(log.Stop(), 0);
    EXPECT_TRUE(std::regex_search(log.Stderr(), std::regex(R"((^|\n)No data for 2 s at )")))
        << log.Stderr();

    const ProcessResult refused =
        RunToExit(KIVO_LOG_PATH, {"--port", "/dev/null", "--dev", kDevice, "--stall-after", "0"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--stall-after"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace kivo::test
