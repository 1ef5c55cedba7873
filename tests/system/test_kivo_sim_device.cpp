// The simulated meter streams lines that fit a device file, read by the core's own loader.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "SimProcess.h"
#include "core/chain/DataChain.h"
#include "core/data/DeviceFile.h"
#include "core/seams/View.h"

namespace kivo::test {
namespace {

class SilentPrompts final : public Prompts {
public:
    int warnings = 0;
    void ShowWarning(const std::string&, const std::string&) override { ++warnings; }
    void ShowMessage(const std::string&, const std::string&) override { ++warnings; }
    std::optional<std::string> OpenFileName(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> SaveFileName(const FileDialogSpec&) override { return {}; }
};

class FixedClock final : public Clock {
public:
    LocalTime Now() override { return {}; }
};

struct DeviceCase {
    const char* file;
    std::vector<std::string> extra;
    bool accepted;
};

TEST(SimulatedMeterWithDeviceFile, StreamsLinesTheParserTakes) {
    const std::vector<DeviceCase> cases = {
        {"fluoro.dev", {}, true},
        {"scatter9.dev", {}, true},
        {"scatter_ref.dev", {}, true},
        {"scatter_ref.dev", {"--alt"}, true},
        {"fluoro.dev", {"--fault-columns", "1"}, false},
    };
    for (const DeviceCase& c : cases) {
        const std::string path = std::string(KIVO_TEST_DATA) + "/" + c.file;
        std::vector<std::string> arguments = {"--dev", path, "--autorun", "--rate", "50"};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        SimProcess sim(arguments);
        PtyClient port(sim.PortPath());

        DeviceCalibration calibration;
        std::string name;
        SilentPrompts prompts;
        std::ifstream file(path);
        ASSERT_TRUE(ReadDeviceFile(file, calibration, name, prompts)) << c.file;
        DataChain chain(calibration);
        FixedClock clock;
        const bool alternate = !c.extra.empty() && c.extra[0] == "--alt";
        int lines = 0;
        while (lines < 5) {
            const std::optional<std::string> line = port.ReadLine(milliseconds(5000));
            ASSERT_TRUE(line.has_value()) << c.file;
            if (line->rfind("VER", 0) == 0) continue;
            EXPECT_EQ(chain.Accept(*line, true, {alternate, false, false}, clock).dataLine,
                      c.accepted)
                << c.file << ": " << *line;
            ++lines;
        }
        if (c.accepted) {
            EXPECT_NE(chain.Current().meterClock.month, 99) << c.file;
        }
    }
}

// A FIFO is refused like a missing file, never waited on.
TEST(SimulatedMeterWithDeviceFile, AFileThatDoesNotLoadIsRefused) {
    ScratchDirectory folder;
    const std::string fifo = folder.File("fifo.dev");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {std::string("/no/such/meter.dev"), fifo}) {
        const ProcessResult run = RunToExit(KIVO_SIM_PATH, {"--dev", path});
        EXPECT_EQ(run.exitCode, 2) << path;
        EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace kivo::test
