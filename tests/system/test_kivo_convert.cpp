// kivo-convert writes the bytes the window records for the same raw file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../core/FakePrompts.h"
#include "../core/FileBytes.h"
#include "../core/MemorySerialPort.h"
#include "SimProcess.h"
#include "core/data/DeviceFile.h"
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

// The last line of a text, without its line end.
std::string LastLine(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.rfind('\n') + 1);  // from the start when there is one line
}

// The window's own recording: the raw file replayed, engineering-units recording on.
std::string RecordedByTheProgram(const std::string& device, const std::string& raw,
                                 const std::string& eng, bool alternate) {
    MemorySerialPort port;
    FakePrompts prompts;
    NoClock clock;
    Session session(Seams{port, prompts, clock, ComPortMap{}, nullptr, "", false});
    session.State().alternateCommands = alternate;
    session.Timer55msTimer();
    EXPECT_TRUE(session.LoadDeviceFile(DataFile(device)));
    EXPECT_TRUE(session.Recording().StartEngrRecording(eng));
    EXPECT_TRUE(session.OpenReplay(raw));
    session.BTStartClick();
    for (int tick = 0; tick < 10000 && session.State().ReplayRunning; ++tick) {
        session.Timer55msTimer();
    }
    session.Recording().StopAll();
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
    // Besides the 120 data lines: the reply, and "1\t2", of another field count, which
    // in alternate mode is no data line at all (its first field is no six-digit date).
    const std::string refusedLines =
        "lines refused: 0 overflow, 1 column mismatch, 1 not a data line";
    const std::string refusedLinesAlternate =
        "lines refused: 0 overflow, 0 column mismatch, 2 not a data line";
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
        EXPECT_EQ(LastLine(run.err), "kivo-convert: 120 records written; " +
                                         (c.alternate ? refusedLinesAlternate : refusedLines))
            << run.err;

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
        {{"--meter-clock", "EST", "--format", "csv", "--dev", DataFile("fluoro.dev"), "in.raw"},
         2,
         "not 'EST'"},
        {{"--attr", "institution", "--format", "csv", "--dev", DataFile("fluoro.dev"), "in.raw"},
         2,
         "not KEY=VALUE"},
        {{"--attr", "history=mine", "--format", "csv", "--dev", DataFile("fluoro.dev"), "in.raw"},
         2,
         "written by the program"},
        {{"--attr", "institution=X", "--dev", DataFile("fluoro.dev"), "in.raw"},
         2,
         "need --format csv or netcdf"},
        {{"--attrs", folder.File("missing.txt"), "--format", "csv", "--dev", DataFile("fluoro.dev"),
          folder.File("in.raw")},
         1,
         "missing.txt"},
        {{"--attrs", folder.File("bad.dev"), "--format", "csv", "--dev", DataFile("fluoro.dev"),
          folder.File("in.raw")},
         2,
         "line 1: 'Bad' is not KEY=VALUE"},
        {{"--bin", "1", "--format", "csv", "--dev", DataFile("fluoro.dev"), "in.raw"},
         2,
         "need --casts"},
        {{"--casts", "--dev", DataFile("fluoro.dev"), "in.raw"}, 2, "--casts needs --format"},
        {{"--casts", "--bin", "0", "--format", "csv", "--dev", DataFile("fluoro.dev"), "in.raw"},
         2,
         "above 0, not '0'"},
        {{"--casts", "--surface", "0,5", "--format", "csv", "--dev", DataFile("fluoro.dev"),
          "in.raw"},
         2,
         "not '0,5'"},
        {{"--casts", "--format", "csv", "--dev", DataFile("fluoro.dev"), folder.File("in.raw")},
         2,
         "no pressure column"},
        {{"--qc", folder.File("bad.qc"), "--format", "csv", "--dev", DataFile("fluoro.dev"),
          folder.File("in.raw")},
         2,
         "bad.qc line 2: spike takes two numbers"},
        {{"--qc", folder.File("missing.qc"), "--format", "csv", "--dev", DataFile("fluoro.dev"),
          folder.File("in.raw")},
         1,
         "missing.qc"},
        {{"--qc-detail", "--dev", DataFile("fluoro.dev"), "in.raw"}, 2, "need --format csv"},
        {{"--qc", "none", "--qc-detail", "--format", "netcdf", "-o", "x.nc", "--dev",
          DataFile("fluoro.dev"), "in.raw"},
         2,
         "there are no flags"},
    };
    WriteBytes(folder.File("bad.qc"), "[all]\nspike = 5\n");
    for (const Case& c : cases) {
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, c.arguments);
        EXPECT_EQ(run.exitCode, c.status) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunToExit(KIVO_CONVERT_PATH, {"--help"}).exitCode, 0);
    EXPECT_EQ(RunToExit(KIVO_CONVERT_PATH, {"--version"}).out, "kivo-convert 1.16\n");
}

// `-o cast.raw cast.raw` once left a heading where the recording was, and `-o METER.dev`
// replaced the calibration. Refused before anything is opened for writing.
TEST(Converter, NeverWritesOverWhatItReads) {
    ScratchDirectory folder;
    const std::string raw = folder.File("cast.raw");
    const std::string rawBytes = MakeRawFile("fluoro.dev", false, 10);
    WriteBytes(raw, rawBytes);
    const std::string device = folder.File("meter.dev");
    WriteBytes(device, ReadBytes(DataFile("fluoro.dev")));
    const std::string settings = folder.File("last.rbs");
    WriteBytes(settings, "1 2 0 0 0 0 0 0 0 1 1 0\nmeter.dev\n");
    const std::string rawLink = folder.File("link.raw");
    ASSERT_EQ(symlink(raw.c_str(), rawLink.c_str()), 0);
    const std::vector<std::vector<std::string>> cases = {
        {"--dev", device, "-o", raw, raw},
        {"--dev", device, "-o", device, raw},
        {"--dev", device, "-o", rawLink, raw},
        {"--dev", device, "--settings", settings, "-o", settings, raw},
    };
    for (const std::vector<std::string>& arguments : cases) {
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments[3] << ": " << run.err;
        EXPECT_NE(run.err.find("refusing"), std::string::npos) << run.err;
    }
    // Standard output appended to the device file by the shell.
    const ProcessResult appended = RunToExit(
        "/bin/sh",
        {"-c", "exec \"$0\" --dev \"$1\" \"$2\" >>\"$1\"", KIVO_CONVERT_PATH, device, raw});
    EXPECT_EQ(appended.exitCode, 2) << appended.err;
    EXPECT_EQ(ReadBytes(raw), rawBytes);
    EXPECT_EQ(ReadBytes(device), ReadBytes(DataFile("fluoro.dev")));
    EXPECT_EQ(ReadBytes(settings), "1 2 0 0 0 0 0 0 0 1 1 0\nmeter.dev\n");
}

// Standard output that the shell appends to a file is written where it points, not opened
// anew: a collection of casts built with `>>` keeps what it held.
TEST(Converter, StandardOutputAppendedByTheShellKeepsWhatTheFileHeld) {
    ScratchDirectory folder;
    const std::string raw = folder.File("cast.raw");
    WriteBytes(raw, MakeRawFile("fluoro.dev", false, 10));
    const std::string all = folder.File("all.eng");
    WriteBytes(all, "the first cast\r\n");
    const ProcessResult run =
        RunToExit("/bin/sh", {"-c", "exec \"$0\" --dev \"$1\" \"$2\" >>\"$3\"", KIVO_CONVERT_PATH,
                              DataFile("fluoro.dev"), raw, all});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const ProcessResult alone =
        RunToExit(KIVO_CONVERT_PATH, {"--dev", DataFile("fluoro.dev"), raw});
    EXPECT_EQ(ReadBytes(all), "the first cast\r\n" + alone.out);
}

// A failed run leaves a file already at the output's path as it was, and nothing beside it;
// a run that succeeded puts its result there with the permissions a plain open gives.
TEST(Converter, TheOutputAppearsOnlyWhenTheRunSucceeded) {
    ScratchDirectory folder;
    const std::string raw = folder.File("cast.raw");
    WriteBytes(raw, MakeRawFile("fluoro.dev", false, 20));
    const std::string unreadable = folder.File("folder.raw");  // opens, but reading fails
    ASSERT_EQ(mkdir(unreadable.c_str(), 0700), 0);
    const std::string noise = folder.File("noise.raw");
    WriteBytes(noise, "VER KIVO\r\n");
    const std::string out = folder.File("out.eng");
    WriteBytes(out, "an earlier result\r\n");
    const std::vector<std::vector<std::string>> failing = {{raw, unreadable}, {noise}};
    for (const std::vector<std::string>& inputs : failing) {
        std::vector<std::string> arguments = {"--dev", DataFile("fluoro.dev"), "-o", out};
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, arguments);
        EXPECT_NE(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadBytes(out), "an earlier result\r\n") << inputs.back();
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"cast.raw", "folder.raw", "noise.raw", "out.eng"}));

    const std::string expected =
        RunToExit(KIVO_CONVERT_PATH, {"--dev", DataFile("fluoro.dev"), raw}).out;
    const mode_t umaskBefore = umask(027);
    const ProcessResult fresh = RunToExit(
        KIVO_CONVERT_PATH, {"--dev", DataFile("fluoro.dev"), "-o", folder.File("new.eng"), raw});
    const ProcessResult replacing =
        RunToExit(KIVO_CONVERT_PATH, {"--dev", DataFile("fluoro.dev"), "-o", out, raw});
    umask(umaskBefore);
    EXPECT_EQ(fresh.exitCode, 0) << fresh.err;
    EXPECT_EQ(ReadBytes(folder.File("new.eng")), expected);
    struct stat status {};
    ASSERT_EQ(stat(folder.File("new.eng").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(replacing.exitCode, 0) << replacing.err;
    EXPECT_EQ(ReadBytes(out), expected);
}

// A full disk under a NetCDF export was told and then crashed at exit inside the library
// (status 139). The file size limit stands in for the full disk: writes fail with EFBIG,
// and SIGXFSZ, ignored by the shell, stays ignored across the exec.
TEST(Converter, ANetcdfExportOnAFullDiskFailsCleanly) {
    ScratchDirectory folder;
    const std::string raw = folder.File("cast.raw");
    WriteBytes(raw, MakeRawFile("scatter9.dev", false, 400));
    const std::string out = folder.File("out.nc");
    const std::string script = "trap '' XFSZ; ulimit -f 8; exec \"$0\" \"$@\"";
    const ProcessResult run =
        RunToExit("/bin/sh", {"-c", script, KIVO_CONVERT_PATH, "--dev", DataFile("scatter9.dev"),
                              "--format", "netcdf", "-o", out, raw});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("Cannot write the NetCDF file"), std::string::npos) << run.err;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"cast.raw"});
}

// A run that converted nothing once exited 0: now status 3, and the last line says why.
TEST(Converter, ARunThatWroteNoRecordSaysWhyAndFails) {
    ScratchDirectory folder;
    const std::string lines = MakeRawFile("scatter9.dev", false, 40);  // twelve columns
    WriteBytes(folder.File("cast.raw"), lines);
    std::string crOnly;  // line ends a converter on another system turned into CR alone
    for (const char c : lines) {
        if (c != '\r') crOnly += c == '\n' ? '\r' : c;
    }
    WriteBytes(folder.File("cr-only.raw"), crOnly);
    std::string wide = "Wide\nColumns=75\nDate=1\nTime=11\n";
    for (int column = 2; column <= 75; ++column) {
        if (column != 11) wide += "CHL=" + std::to_string(column) + " 0.01 50\n";
    }
    WriteBytes(folder.File("wide.dev"), wide);
    struct Case {
        std::string device;
        std::string raw;
        std::string refused;
    };
    const std::vector<Case> cases = {
        {DataFile("scatter9.dev"), folder.File("cr-only.raw"), "overflow"},
        {folder.File("wide.dev"), folder.File("cast.raw"), "41 column mismatch"},
        // A raw file given as the device file: it loads as a meter of no columns.
        {folder.File("cast.raw"), folder.File("cast.raw"), "column mismatch"},
    };
    for (const Case& c : cases) {
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, {"--dev", c.device, c.raw});
        EXPECT_EQ(run.exitCode, 3) << c.device << " " << c.raw << ": " << run.err;
        const std::string last = LastLine(run.err);
        EXPECT_EQ(last.rfind("kivo-convert: 0 records written;", 0), 0u) << run.err;
        EXPECT_NE(last.find(c.refused), std::string::npos) << last;
    }
}

// A FIFO, a device or a folder as settings or device file is a missing file, never waited
// on; the raw input may still be a pipe.
TEST(Converter, SettingsAndDeviceFilesAreReadOnlyWhenRegular) {
    ScratchDirectory folder;
    const std::string fifo = folder.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string raw = folder.File("cast.raw");
    WriteBytes(raw, MakeRawFile("fluoro.dev", false, 10));
    const std::vector<std::vector<std::string>> cases = {
        {"--dev", fifo, raw},
        {"--dev", folder.path, raw},
        {"--dev", "/dev/zero", raw},
        {"--dev", DataFile("fluoro.dev"), "--settings", fifo, raw},
    };
    for (const std::vector<std::string>& arguments : cases) {
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, arguments);
        ASSERT_TRUE(run.finished) << arguments[1] << " " << arguments[2];
        EXPECT_EQ(run.exitCode, 1) << run.err;
    }
    const ProcessResult piped =
        RunToExit("/bin/sh", {"-c", "cat \"$2\" | exec \"$0\" --dev \"$1\" /dev/stdin",
                              KIVO_CONVERT_PATH, DataFile("fluoro.dev"), raw});
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out, RunToExit(KIVO_CONVERT_PATH, {"--dev", DataFile("fluoro.dev"), raw}).out);
}

// A run whose output failed never reports its records as written.
TEST(Converter, TheSummaryOfAFailedWriteCountsNoRecordAsWritten) {
    if (!DevFullAvailable()) GTEST_SKIP() << "no /dev/full here";
    ScratchDirectory folder;
    const std::string raw = folder.File("cast.raw");
    WriteBytes(raw, MakeRawFile("fluoro.dev", false, 20));
    const ProcessResult run =
        RunToExit(KIVO_CONVERT_PATH,
                  {"--dev", DataFile("fluoro.dev"), "--format", "csv", "-o", "/dev/full", raw});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const std::string last = LastLine(run.err);
    EXPECT_NE(last.rfind("kivo-convert: 20 records written", 0), 0u) << last;
    EXPECT_NE(last.find("the output failed"), std::string::npos) << last;
}

// Stopped while it waits for more input, it leaves no hidden temporary file behind.
TEST(Converter, AStopSignalRemovesTheStagedFile) {
    ScratchDirectory folder;
    const std::string fifo = folder.File("stream.raw");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR);  // open at once, and never at an end
    ASSERT_GE(writer, 0);
    const std::string lines = MakeRawFile("fluoro.dev", false, 10);
    ASSERT_EQ(::write(writer, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    ChildProcess convert(KIVO_CONVERT_PATH,
                         {"--dev", DataFile("fluoro.dev"), "-o", folder.File("out.eng"), fifo});
    const auto staged = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(folder.path))
            if (entry.path().filename().string().rfind(".out.eng.", 0) == 0) return true;
        return false;
    };
    ASSERT_TRUE(WaitFor(staged)) << convert.Stderr();
    kill(convert.Pid(), SIGTERM);
    const std::optional<int> status = convert.WaitExit(milliseconds(10000));
    ::close(writer);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 128 + SIGTERM);
    EXPECT_FALSE(staged());
    EXPECT_FALSE(std::filesystem::exists(folder.File("out.eng")));
}

}  // namespace
}  // namespace kivo::test
