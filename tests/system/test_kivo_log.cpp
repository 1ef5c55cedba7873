// kivo-log against the simulated meter: the window's files, a clean stop, a pulled cable.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "SimProcess.h"

namespace kivo::test {
namespace {

const std::string kDevice = std::string(KIVO_TEST_DATA) + "/scatter9.dev";

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::size_t LinesIn(const std::string& path) { return Lines(ReadBytes(path)); }

// Waits, with a bound, until the file holds more than `count` lines.
bool MoreLinesThan(const std::string& path, std::size_t count) {
    return WaitFor([&] { return LinesIn(path) > count; });
}

bool Holds(const std::string& path, const std::string& text) {
    return ReadBytes(path).find(text) != std::string::npos;
}

TEST(Logger, RecordsWhatTheWindowWouldAndStopsCleanlyOnSigterm) {
    ScratchDirectory folder;
    const std::string commands = folder.File("commands.log");
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--log", commands});
    ChildProcess log(KIVO_LOG_PATH,
                     {"--port", sim.PortPath(), "--dev", kDevice, "--raw", folder.File("log.raw"),
                      "--eng", folder.File("log.eng"), "--start"});
    ASSERT_TRUE(MoreLinesThan(folder.File("log.raw"), 20)) << log.Stderr();
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
    ASSERT_TRUE(MoreLinesThan(folder.File("log.raw"), 20)) << log.Stderr();
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

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos;
         start = end + separator.size())
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

// A CSV file from its heading on: the "#" lines of facts before it left out.
std::string WithoutHeader(const std::string& csv) {
    std::size_t start = 0;
    while (csv.compare(start, 1, "#") == 0) start = csv.find('\n', start) + 1;
    return csv.substr(start);
}

// The CSV beside the .eng holds the same records: every value equal to the .eng's printed
// digits (the CSV has more of them), one row a record, flushed as the .eng is.
TEST(Logger, CsvRowsAreTheEngineeringUnitsRecords) {
    ScratchDirectory folder;
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun"});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--eng",
                                     folder.File("log.eng"), "--csv", folder.File("log.csv"),
                                     "--station", "Line P 4", "--operator", "J. Smith"});
    ASSERT_TRUE(MoreLinesThan(folder.File("log.eng"), 10)) << log.Stderr();
    EXPECT_EQ(log.Stop(), 0) << log.Stderr();
    // The station header, in the file's story and the event log.
    const std::string header = ReadBytes(folder.File("log.csv"));
    EXPECT_NE(header.find("# station: Line P 4\r\n# operator: J. Smith\r\n"), std::string::npos);
    EXPECT_NE(ReadBytes(folder.File("kivoview-events.log"))
                  .find("station header: station Line P 4; operator J. Smith"),
              std::string::npos);
    const std::vector<std::string> eng = Split(ReadBytes(folder.File("log.eng")), "\r\n");
    const std::vector<std::string> csv =
        Split(WithoutHeader(ReadBytes(folder.File("log.csv"))), "\r\n");
    ASSERT_EQ(csv.size(), eng.size());
    ASSERT_GT(csv.size(), 10u);
    EXPECT_EQ(csv.back(), "");  // complete lines only
    for (std::size_t line = 1; line + 1 < eng.size(); ++line) {
        const std::vector<std::string> printed = Split(eng[line], "\t");
        const std::vector<std::string> exported = Split(csv[line], ",");
        // Count, Date, Time: the meter's time and the host's UTC receive time; each value's
        // quality flag after the values.
        ASSERT_EQ(exported.size() + 1, 2 * printed.size() - 3) << csv[line];
        EXPECT_TRUE(
            std::regex_match(exported[1], std::regex(R"(\d{4}-\d\d-\d\dT[\d:]{8}\.\d{3}Z)")))
            << exported[1];
        for (std::size_t field = 3; field < printed.size(); ++field) {
            const std::string& text = printed[field];
            const std::size_t point = text.find('.');
            const int decimals =
                point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
            const double value = std::stod(exported[field - 1]);
            EXPECT_LE(std::fabs(value - std::stod(text)), 0.5 * std::pow(10.0, -decimals) * 1.0001)
                << "line " << line << ": " << exported[field - 1] << " printed as " << text;
        }
    }
}

TEST(Logger, StatusLinesShowTheReadout) {
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun"});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice});
    // The readout appears once data lines came in, however long that takes here.
    const auto readout = [](const std::string& line) {
        return line.find("Sample Rate: ") != std::string::npos &&
               line.find("| 412 nm: ") != std::string::npos &&
               line.find("| iTemp: ") != std::string::npos;
    };
    std::optional<std::string> line;
    for (int i = 0; i < 30 && !(line && readout(*line)); ++i) {
        line = log.ReadStdoutLine(milliseconds(15000));
    }
    ASSERT_TRUE(line.has_value()) << log.Stderr();
    EXPECT_TRUE(readout(*line)) << *line;
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
    EXPECT_TRUE(MoreLinesThan(folder.File("log.raw"), LinesIn(folder.File("log.raw"))));
    EXPECT_EQ(log.Stop(), 0);
    const std::string told = log.Stderr();
    EXPECT_NE(told.find("Lost Comm Port"), std::string::npos) << told;
    EXPECT_NE(told.find("is back"), std::string::npos) << told;
}

// A meter that freezes with its port open is told once on stderr and in the event log, and
// again when its lines return; one whose port closes is noticed without a write.
TEST(Logger, AFrozenMeterIsToldOnceAndItsReturnToo) {
    ScratchDirectory folder;
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun", "--fault-freeze-after", "20",
                    "--fault-freeze-for", "5"});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--raw",
                                     folder.File("cast.raw")});
    const auto told = [&](const char* text) {
        return WaitFor([&] { return log.Stderr().find(text) != std::string::npos; });
    };
    ASSERT_TRUE(told("No data for ")) << log.Stderr();
    ASSERT_TRUE(told("Data again at ")) << log.Stderr();
    EXPECT_EQ(log.Stop(), 0) << log.Stderr();
    const std::string stderrText = log.Stderr();
    std::size_t stalls = 0;
    for (std::size_t at = stderrText.find("No data for"); at != std::string::npos;
         at = stderrText.find("No data for", at + 1))
        ++stalls;
    EXPECT_EQ(stalls, 1u) << stderrText;
    EXPECT_TRUE(
        std::regex_search(stderrText, std::regex(R"((^|\n)No data for [3-5] s at [-0-9: ]+\n)")))
        << stderrText;
    const std::string events = ReadBytes(folder.File("kivoview-events.log"));
    for (const char* text : {"Z port opened COM1 ", "Z raw recording started ", "Z no data for ",
                             "Z data again after ", "Z raw recording stopped "})
        EXPECT_NE(events.find(text), std::string::npos) << text << "\n" << events;
}

// A channel above the QC file's ceiling is told once on stderr and in the event log, and the
// CSV file flags its values.
TEST(Logger, ASaturatedChannelIsToldOnce) {
    ScratchDirectory folder;
    WriteBytes(folder.File("low.qc"), "[column 2]\nceiling = 1\n");
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun"});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--qc",
                                     folder.File("low.qc"), "--csv", folder.File("log.csv")});
    ASSERT_TRUE(WaitFor([&] {
        return Split(WithoutHeader(ReadBytes(folder.File("log.csv"))), "\r\n").size() > 20;
    })) << log.Stderr();
    EXPECT_EQ(log.Stop(), 0) << log.Stderr();
    const std::string told = log.Stderr();
    const std::regex notice(
        R"(kivo-log: [-0-9: ]+ quality: 412 nm \(column 2\) saturated: \d+ counts\n)");
    EXPECT_EQ(std::distance(std::sregex_iterator(told.begin(), told.end(), notice),
                            std::sregex_iterator()),
              1)
        << told;
    EXPECT_NE(ReadBytes(folder.File("kivoview-events.log"))
                  .find("Z quality: 412 nm (column 2) saturated: "),
              std::string::npos);
    // The first value column is the saturated channel's Beta: every row flags it 4.
    const std::vector<std::string> rows =
        Split(WithoutHeader(ReadBytes(folder.File("log.csv"))), "\r\n");
    const std::vector<std::string> heading = Split(rows[0], ",");
    const auto flag = std::find(heading.begin(), heading.end(), "beta_412_qc") - heading.begin();
    ASSERT_LT(static_cast<std::size_t>(flag), heading.size()) << rows[0];
    for (std::size_t r = 1; r + 1 < rows.size(); ++r)
        EXPECT_EQ(Split(rows[r], ",")[static_cast<std::size_t>(flag)], "4") << rows[r];
}

TEST(Logger, AMeterWhosePortClosesIsNoticedAtOnce) {
    ScratchDirectory folder;
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun", "--fault-close-after", "10"});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--raw",
                                     folder.File("cast.raw")});
    ASSERT_TRUE(WaitFor([&] { return log.Stderr().find("Lost Comm Port 1") != std::string::npos; }))
        << log.Stderr();
    EXPECT_EQ(log.Stderr().find("No data for"), std::string::npos) << "noticed by silence only";
    EXPECT_EQ(log.Stop(), 0);
    EXPECT_NE(ReadBytes(folder.File("kivoview-events.log")).find("Z port lost COM1 "),
              std::string::npos);
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
        // A FIFO is no device file: refused like a missing one, never waited on.
        {{"--port", "/dev/null", "--dev", folder.File("fifo.dev")}, 1, "fifo.dev"},
        // A file as the port was read again from its start at every reconnect, and exit 0.
        {{"--port", folder.File("lines.raw"), "--dev", kDevice, "--duration", "3"},
         1,
         "not a serial port"},
        {{"--port", folder.File("fifo.dev"), "--dev", kDevice, "--duration", "3"},
         1,
         "not a serial port"},
        {{"--port", "/dev/null", "--dev", kDevice, "--qc", folder.File("bad.qc")},
         2,
         "bad.qc line 1: no test knows the key 'spikes'"},
    };
    WriteBytes(folder.File("bad.qc"), "spikes = 5 6\n");
    WriteBytes(folder.File("lines.raw"), "1\t2\r\n");
    ASSERT_EQ(mkfifo(folder.File("fifo.dev").c_str(), 0600), 0);
    for (const Case& c : cases) {
        const ProcessResult run = RunToExit(KIVO_LOG_PATH, c.arguments);
        EXPECT_EQ(run.exitCode, c.status) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunToExit(KIVO_LOG_PATH, {"--version"}).out, "kivo-log 1.16\n");
    EXPECT_NE(RunToExit(KIVO_LOG_PATH, {"--help"}).out.find("--duration"), std::string::npos);
}

// Refused before anything is opened: the device file and an earlier recording stay as they
// were, and no file is made.
TEST(Logger, RecordFilesThatWouldDestroySomethingAreRefused) {
    ScratchDirectory folder;
    const std::string device = folder.File("meter.dev");
    WriteBytes(device, ReadBytes(kDevice));
    const std::string deviceLink = folder.File("link.dev");
    ASSERT_EQ(symlink(device.c_str(), deviceLink.c_str()), 0);
    const std::string earlierRaw = folder.File("earlier.raw");
    WriteBytes(earlierRaw, "05/21/04\t3906\r\n");
    const std::string earlierEng = folder.File("earlier.eng");
    WriteBytes(earlierEng, "Count\tDate\tTime\tCHL(ug/l)\r\n");  // another meter's heading
    const std::string same = folder.File("both");
    const std::string earlierCsv = folder.File("earlier.csv");
    WriteBytes(earlierCsv, "time,CHL(ug/l)\r\n");  // another meter's heading
    const std::string fluorometerCsv = folder.File("fluorometer.csv");
    WriteBytes(fluorometerCsv, "# title: KIVO FL\r\ntime,host_time,chl\r\n");
    // A link to the raw file that is not there yet: both would write one file.
    const std::string castRaw = folder.File("cast.raw");
    const std::string castCsv = folder.File("cast.csv");
    ASSERT_EQ(symlink(castRaw.c_str(), castCsv.c_str()), 0);
    struct Case {
        std::vector<std::string> targets;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"--raw", same, "--eng", same}, "same file"},
        {{"--eng", same, "--csv", same}, "same file"},
        {{"--csv", deviceLink}, "device file"},
        {{"--csv", earlierCsv}, "--append"},
        {{"--csv", earlierCsv, "--append"}, "heading"},
        {{"--csv", fluorometerCsv, "--append"}, "other columns"},
        {{"--raw", device}, "device file"},
        {{"--eng", deviceLink}, "device file"},
        {{"--raw", earlierRaw}, "--append"},
        {{"--eng", earlierEng}, "--append"},
        {{"--eng", earlierEng, "--append"}, "heading"},
        {{"--raw", earlierRaw, "--append", "--overwrite"}, "not both"},
        {{"--raw", castRaw, "--csv", castCsv}, "same file"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"--port", "/dev/null", "--dev", device};
        arguments.insert(arguments.end(), c.targets.begin(), c.targets.end());
        const ProcessResult run = RunToExit(KIVO_LOG_PATH, arguments);
        EXPECT_EQ(run.exitCode, 2) << c.targets[1] << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadBytes(device), ReadBytes(kDevice));
    EXPECT_EQ(ReadBytes(earlierRaw), "05/21/04\t3906\r\n");
    EXPECT_EQ(ReadBytes(earlierEng), "Count\tDate\tTime\tCHL(ug/l)\r\n");
    EXPECT_EQ(ReadBytes(earlierCsv), "time,CHL(ug/l)\r\n");
    EXPECT_FALSE(std::filesystem::exists(same));
    EXPECT_FALSE(std::filesystem::exists(castRaw));
}

// --overwrite whose engineering-units file cannot be made: the raw file stays as it was.
TEST(Logger, AStartThatFailsLeavesEveryOldFileAsItWas) {
    ScratchDirectory folder;
    SimProcess sim({"--dev", kDevice});
    const std::string raw = folder.File("earlier.raw");
    WriteBytes(raw, "05/21/04\t3906\r\n");
    const ProcessResult run =
        RunToExit(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--raw", raw, "--eng",
                                  folder.File("no-folder/log.eng"), "--overwrite"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(ReadBytes(raw), "05/21/04\t3906\r\n");
}

// A recording to standard output gets the records alone; the status lines go to stderr.
TEST(Logger, StatusLinesNeverGoIntoARecordingOnStandardOutput) {
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun"});
    const ProcessResult run = RunToExit(
        KIVO_LOG_PATH,
        {"--port", sim.PortPath(), "--dev", kDevice, "--raw", "/dev/stdout", "--duration", "2.5"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GT(Lines(run.out), 5u);
    EXPECT_EQ(run.out.find("lines "), std::string::npos) << run.out.substr(0, 300);
    EXPECT_NE(run.err.find("lines "), std::string::npos) << run.err;
}

// --duration ends the run on time whatever its record file does: here a FIFO whose reader
// stopped reading, so that a write waits for ever once the pipe is full.
TEST(Logger, DurationEndsTheRunWhateverTheRecordFileDoes) {
    ScratchDirectory folder;
    SimProcess sim({"--dev", kDevice, "--rate", "200", "--autorun"});
    const std::string fifo = folder.File("stream.raw");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    fcntl(reader, F_SETPIPE_SZ, 4096);  // full within a second
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--raw", fifo,
                                     "--duration", "2"});
    const std::optional<int> status = log.WaitExit(milliseconds(20000));
    ::close(reader);
    ASSERT_TRUE(status.has_value()) << log.Stderr();
    EXPECT_EQ(*status, 1) << log.Stderr();  // the records that did not fit were lost
}

// A restarted logger continues its files when told to, and replaces them only when told to.
TEST(Logger, AppendContinuesTheRecordingAndOverwriteReplacesIt) {
    ScratchDirectory folder;
    const std::string raw = folder.File("log.raw");
    const std::string eng = folder.File("log.eng");
    const std::string csv = folder.File("log.csv");
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun"});
    const auto logUntil = [&](const std::string& how, const std::function<bool()>& done) {
        std::vector<std::string> arguments = {"--port", sim.PortPath(), "--dev", kDevice, "--raw",
                                              raw,      "--eng",        eng,     "--csv", csv};
        if (!how.empty()) arguments.push_back(how);
        ChildProcess log(KIVO_LOG_PATH, arguments);
        EXPECT_TRUE(WaitFor(done)) << log.Stderr();
        EXPECT_EQ(log.Stop(), 0) << log.Stderr();
    };
    logUntil("", [&] { return LinesIn(raw) > 3; });
    const std::string firstRaw = ReadBytes(raw);
    const std::string firstEng = ReadBytes(eng);
    const std::string firstCsv = ReadBytes(csv);
    logUntil("--append", [&] { return LinesIn(raw) > Lines(firstRaw) + 3; });
    const std::string appendedRaw = ReadBytes(raw);
    const std::string appendedEng = ReadBytes(eng);
    const std::string appendedCsv = ReadBytes(csv);
    EXPECT_EQ(appendedRaw.compare(0, firstRaw.size(), firstRaw), 0);
    EXPECT_EQ(appendedEng.compare(0, firstEng.size(), firstEng), 0);
    EXPECT_EQ(appendedCsv.compare(0, firstCsv.size(), firstCsv), 0);
    EXPECT_EQ(Lines(appendedEng), Lines(appendedRaw) + 1);  // still one heading
    // Rows only: no second header or heading.
    EXPECT_EQ(Lines(WithoutHeader(appendedCsv)), Lines(appendedRaw) + 1);
    EXPECT_EQ(appendedCsv.find("#", firstCsv.size()), std::string::npos);

    // Replaced: the first run's lines are gone, and new ones came.
    logUntil("--overwrite", [&] {
        const std::string now = ReadBytes(raw);
        return Lines(now) > 3 && now.find(firstRaw) == std::string::npos;
    });
    EXPECT_EQ(Lines(ReadBytes(eng)), LinesIn(raw) + 1);
}

// Disk full in an unattended recording: it stops now, with the stop sequence sent, instead
// of running to the end of --duration with nothing written.
TEST(Logger, AFailingRecordFileStopsItAtOnce) {
    if (!DevFullAvailable()) GTEST_SKIP() << "no /dev/full here";
    ScratchDirectory folder;
    const std::string commands = folder.File("commands.log");
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--log", commands});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--raw",
                                     "/dev/full", "--start", "--duration", "3600"});
    const std::optional<int> status = log.WaitExit(milliseconds(30000));
    ASSERT_TRUE(status.has_value()) << log.Stderr();
    EXPECT_EQ(*status, 1);
    EXPECT_NE(log.Stderr().find("/dev/full"), std::string::npos) << log.Stderr();
    EXPECT_TRUE(WaitFor([&] { return ReadBytes(commands) == "$mnu\n$run\n!!!!!\n"; }))
        << ReadBytes(commands);
}

// A closed terminal or a service manager's reload: stopped as cleanly as by SIGTERM.
TEST(Logger, SighupStopsItCleanly) {
    ScratchDirectory folder;
    const std::string commands = folder.File("commands.log");
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--log", commands});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--raw",
                                     folder.File("log.raw"), "--start"});
    ASSERT_TRUE(WaitFor([&] { return Holds(commands, "$run"); })) << log.Stderr();
    kill(log.Pid(), SIGHUP);
    const std::optional<int> status = log.WaitExit(milliseconds(15000));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << log.Stderr();
    EXPECT_TRUE(WaitFor([&] { return ReadBytes(commands) == "$mnu\n$run\n!!!!!\n"; }))
        << ReadBytes(commands);
}

// An engineering-units file that is a FIFO nobody reads is never waited on: the run ends at
// once, told, and the raw file it had made for the start is gone again.
TEST(Logger, AFifoNobodyReadsFailsAtOnce) {
    ScratchDirectory folder;
    const std::string fifo = folder.File("nobody-reads.eng");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    SimProcess sim({"--dev", kDevice});
    ChildProcess log(KIVO_LOG_PATH, {"--port", sim.PortPath(), "--dev", kDevice, "--raw",
                                     folder.File("log.raw"), "--eng", fifo, "--duration", "1"});
    const std::optional<int> status = log.WaitExit(milliseconds(10000));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 1);
    EXPECT_NE(log.Stderr().find("no program reads"), std::string::npos) << log.Stderr();
    EXPECT_FALSE(std::filesystem::exists(folder.File("log.raw")));
}

}  // namespace
}  // namespace kivo::test
