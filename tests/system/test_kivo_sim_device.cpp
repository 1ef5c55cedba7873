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
#include "core/seams/Prompts.h"

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

// A download rehearsed with a device file holds lines of that file: converted with it, every
// whole line of the image is a record.
TEST(SimulatedMeterWithDeviceFile, ItsMemoryImageConvertsWithTheDeviceFile) {
    ScratchDirectory folder;
    for (const char* file : {"scatter9.dev", "fluoro.dev"}) {
        const std::string device = std::string(KIVO_TEST_DATA) + "/" + file;
        const std::string image = folder.File(std::string(file) + ".raw");
        SimProcess sim({"--dev", device, "--memory-size", "5000", "--memory-out", image, "--fast"});
        PtyClient port(sim.PortPath());
        ASSERT_TRUE(port.Write("$get\r\n"));
        ASSERT_TRUE(port.ReadUntil("etx", milliseconds(5000))) << file;
        ASSERT_TRUE(WaitFor([&] { return ReadBytes(image).size() == 5003; })) << file;

        // A heading, whole lines, and the last one cut where the memory ends.
        const std::string bytes = ReadBytes(image);
        std::size_t wholeLines = 0;
        for (std::size_t at = bytes.find("\r\n"); at != std::string::npos;
             at = bytes.find("\r\n", at + 2))
            ++wholeLines;
        ASSERT_GT(wholeLines, 20u) << file;
        const ProcessResult converted = RunToExit(KIVO_CONVERT_PATH, {"--dev", device, image});
        EXPECT_EQ(converted.exitCode, 0) << file << ": " << converted.err;
        const std::string records = std::to_string(wholeLines - 1) + " records written";
        EXPECT_NE(converted.err.find(records), std::string::npos) << file << ": " << converted.err;
        EXPECT_NE(converted.err.find(" 0 column mismatch"), std::string::npos) << converted.err;
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
