// kivo-convert writes the bytes the window records for the same raw file.
#include <gtest/gtest.h>

#include <filesystem>

#include "../core/FakePrompts.h"
#include "../core/FileBytes.h"
#include "../core/MemorySerialPort.h"
#include "SimProcess.h"
#include "core/data/DeviceFile.h"
#include "core/host/HeadlessView.h"
#include "core/host/Session.h"

namespace kivo::test {
namespace {

std::string DataFile(const std::string& name) { return std::string(KIVO_TEST_DATA) + "/" + name; }

class NoClock final : public Clock {
public:
    LocalTime Now() override { return {}; }
};

// A raw file that fits the device file: dates, times and counts that wander, with a reply
// and a line of the wrong shape among them, CR LF or LF ended.
std::string MakeRawFile(const std::string& device, bool alternate, int lines) {
    DeviceCalibration calibration;
    std::string name;
    FakePrompts prompts;
    std::ifstream file(DataFile(device));
    ReadDeviceFile(file, calibration, name, prompts);
    std::string raw;
    for (int n = 0; n < lines; ++n) {
        std::string line;
        for (int c = 0; c < calibration.declaredColumns; ++c) {
            if (c > 0) line += '\t';
            const int type = calibration.columnType[static_cast<std::size_t>(c)];
            char field[32];
            if (alternate && c == 0) {
                std::snprintf(field, sizeof field, "1120%02d", 3 + n % 7);
            } else if (alternate && c == 1) {
                std::snprintf(field, sizeof field, "12%02d%02d", n / 60 % 60, n % 60);
            } else if (type == 1) {
                std::snprintf(field, sizeof field, "11/%02d/03", 1 + n % 28);
            } else if (type == 2) {
                std::snprintf(field, sizeof field, "12:%02d:%02d", n / 60 % 60, n % 60);
            } else {
                std::snprintf(field, sizeof field, n % 5 == 0 ? "%d.5" : "%d",
                              100 + (n * 37 + c * 101) % 4000);
            }
            line += field;
        }
        raw += line + (n % 2 ? "\r\n" : "\n");
        if (n == 3) raw += "VER KIVO in the middle\r\n1\t2\r\n";
    }
    return raw;
}

// The window's own recording: the raw file replayed, engineering-units recording on.
std::string RecordedByTheProgram(const std::string& device, const std::string& raw,
                                 const std::string& eng, bool alternate) {
    MemorySerialPort port;
    HeadlessView view;
    FakePrompts prompts;
    NoClock clock;
    Session session(Seams{port, view, prompts, clock, ComPortMap{}, nullptr, "", false});
    session.State().alternateCommands = alternate;
    session.Timer55msTimer();
    EXPECT_TRUE(session.LoadDeviceFile(DataFile(device)));
    EXPECT_TRUE(session.StartEngrRecording(eng));
    EXPECT_TRUE(session.OpenReplay(raw));
    session.BTStartClick();
    for (int tick = 0; tick < 10000 && session.State().ReplayRunning; ++tick) {
        session.Timer55msTimer();
    }
    session.BTStopRecordClick();
    return ReadBytes(eng);
}

TEST(Converter, WritesWhatTheProgramRecords) {
    struct Case {
        std::string device;
        bool alternate;
    };
    const std::vector<Case> cases = {{"fluoro.dev", false},
                                     {"scatter9.dev", false},
                                     {"scatter_ref.dev", false},
                                     {"scatter_ref.dev", true},
                                     {"every_type.dev", false}};
    ScratchDirectory folder;
    for (const Case& c : cases) {
        const std::string raw = folder.File("in.raw");
        WriteBytes(raw, MakeRawFile(c.device, c.alternate, 120));
        const std::string expected =
            RecordedByTheProgram(c.device, raw, folder.File("program.eng"), c.alternate);
        ASSERT_GT(expected.size(), 1000u) << c.device;

        std::vector<std::string> arguments = {"--dev", DataFile(c.device), "-o",
                                              folder.File("converted.eng"), raw};
        if (c.alternate) arguments.push_back("--alt");
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(ReadBytes(folder.File("converted.eng")) == expected) << c.device;

        // The same to standard output.
        arguments.erase(arguments.begin() + 2, arguments.begin() + 4);
        const ProcessResult toStdout = RunToExit(KIVO_CONVERT_PATH, arguments);
        EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
        EXPECT_TRUE(toStdout.out == expected) << c.device;
    }
}

TEST(Converter, SwitchesComeFromASettingsFile) {
    ScratchDirectory folder;
    const std::string raw = folder.File("in.raw");
    WriteBytes(raw, MakeRawFile("scatter_ref.dev", false, 40));
    WriteBytes(folder.File("last.rbs"), "1 2 0 0 0 0 0 0 0 1 1 0\nscatter_ref.dev\n");
    const ProcessResult viaSettings = RunToExit(
        KIVO_CONVERT_PATH,
        {"--dev", DataFile("scatter_ref.dev"), "--settings", folder.File("last.rbs"), raw});
    const ProcessResult viaFlags = RunToExit(
        KIVO_CONVERT_PATH, {"--dev", DataFile("scatter_ref.dev"), "--refcorr", "--tempcorr", raw});
    const ProcessResult plain =
        RunToExit(KIVO_CONVERT_PATH, {"--dev", DataFile("scatter_ref.dev"), raw});
    EXPECT_EQ(viaSettings.exitCode, 0) << viaSettings.err;
    EXPECT_EQ(viaSettings.out, viaFlags.out);
    EXPECT_NE(viaSettings.out, plain.out);  // the corrections change the scattering values
}

TEST(Converter, MistakesAndMissingFilesAreToldAndFail) {
    ScratchDirectory folder;
    WriteBytes(folder.File("bad.dev"), "Bad\nColumns=2\nCHL=1 0.5\n");
    WriteBytes(folder.File("in.raw"), "1\t2\n");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{}, 2, "no device file"},
        {{"--dev", DataFile("fluoro.dev")}, 2, "no raw file"},
        {{"--bogus"}, 2, "unknown option"},
        {{"--dev", folder.File("missing.dev"), folder.File("in.raw")}, 1, "missing.dev"},
        {{"--dev", folder.File("bad.dev"), folder.File("in.raw")}, 1, "does not load"},
        {{"--dev", DataFile("fluoro.dev"), folder.File("nothing.raw")}, 1, "nothing.raw"},
        {{"--dev", DataFile("fluoro.dev"), "-o", "/dev/full", folder.File("in.raw")},
         1,
         "/dev/full"},
    };
    for (const Case& c : cases) {
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, c.arguments);
        EXPECT_EQ(run.exitCode, c.status) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunToExit(KIVO_CONVERT_PATH, {"--help"}).exitCode, 0);
    EXPECT_EQ(RunToExit(KIVO_CONVERT_PATH, {"--version"}).out, "kivo-convert 1.16\n");
}

}  // namespace
}  // namespace kivo::test
