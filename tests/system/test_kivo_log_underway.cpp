// kivo-log unattended: files by the clock against what the simulated meter sent, and a
// nearly full disk.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "SimProcess.h"

namespace kivo::test {
namespace {

const std::string kDevice = std::string(KIVO_TEST_DATA) + "/scatter9.dev";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// A small tmpfs mounted for the test and gone after it; none where mounting is not allowed.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& folder) : folder_(folder) {
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=2m") == 0;
        if (!mounted_) why_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }

private:
    std::string folder_;
    bool mounted_ = false;
    std::string why_;
};

// Pieces of ten seconds for 35 s: at least three of each kind, each a whole file of its kind,
// and the raw pieces together exactly a run of the lines the meter sent, none lost or twice.
TEST(LoggerUnderway, FilesByTheClockHoldEveryLineOnce) {
    ScratchDirectory folder;
    const std::string sent = folder.File("sent.txt");
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun", "--sent", sent});
    const std::string base = folder.File("log");
    const ProcessResult run =
        RunToExit(KIVO_LOG_PATH,
                  {"--port", sim.PortPath(), "--dev", kDevice, "--raw", base + ".raw", "--eng",
                   base + ".eng", "--csv", base + ".csv", "--rotate", "10", "--duration", "35"},
                  milliseconds(60000));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::map<std::string, std::vector<std::string>> pieces;  // by extension, in time order
    for (const auto& entry : std::filesystem::directory_iterator(folder.path)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("log_", 0) == 0) pieces[entry.path().extension().string()].push_back(name);
    }
    for (auto& [extension, names] : pieces) std::sort(names.begin(), names.end());
    ASSERT_GE(pieces[".raw"].size(), 3U);
    ASSERT_EQ(pieces[".eng"].size(), pieces[".raw"].size());
    ASSERT_EQ(pieces[".csv"].size(), pieces[".raw"].size());
    std::vector<std::string> recorded;
    const std::string events = ReadBytes(folder.File("kivoview-events.log"));
    for (std::size_t p = 0; p < pieces[".raw"].size(); ++p) {
        const std::string stem = pieces[".raw"][p].substr(0, pieces[".raw"][p].size() - 4);
        EXPECT_TRUE(std::regex_match(stem, std::regex(R"(log_\d{8}T\d{6}Z)"))) << stem;
        const std::vector<std::string> raw = Lines(ReadBytes(folder.File(stem + ".raw")));
        recorded.insert(recorded.end(), raw.begin(), raw.end());
        // The same lines in the other kinds' piece, under their own heading.
        const std::vector<std::string> eng = Lines(ReadBytes(folder.File(stem + ".eng")));
        ASSERT_FALSE(eng.empty());
        EXPECT_EQ(eng.front().rfind("Count\t", 0), 0U) << eng.front();
        EXPECT_EQ(eng.size() - 1, raw.size()) << stem;
        const std::string csv = ReadBytes(folder.File(stem + ".csv"));
        EXPECT_EQ(csv.rfind("# title: ", 0), 0U);
        std::size_t rows = 0;
        for (const std::string& line : Lines(csv)) rows += line.empty() || line[0] == '#' ? 0 : 1;
        EXPECT_EQ(rows - 1, raw.size()) << stem;  // less the heading
        EXPECT_NE(events.find("raw recording stopped " + folder.File(stem + ".raw") + ", "),
                  std::string::npos)
            << stem;
    }
    // The meter's lines, without their CR LF, one a line.
    std::vector<std::string> streamed;
    {
        const std::string text = ReadBytes(sent);
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find('\n', start);
            if (end == std::string::npos) break;
            streamed.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }
    ASSERT_GT(recorded.size(), 500U);
    const auto first = std::find(streamed.begin(), streamed.end(), recorded.front());
    ASSERT_NE(first, streamed.end());
    ASSERT_LE(static_cast<std::size_t>(streamed.end() - first), recorded.size() + 100);
    EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), first));
}

TEST(LoggerUnderway, ANearlyFullDiskStopsTheRecordingWithEveryLineKept) {
    ScratchDirectory scratch;
    const std::string folder = scratch.File("disk");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const SmallDisk disk(folder);
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.Why();
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun"});
    const std::string raw = folder + "/cast.raw";
    const ProcessResult run =
        RunToExit(KIVO_LOG_PATH,
                  {"--port", sim.PortPath(), "--dev", kDevice, "--raw", raw, "--duration", "20"},
                  milliseconds(30000));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("disk nearly full: 1 MB free where " + raw +
                           " is; recording stopped before the disk is full"),
              std::string::npos)
        << run.err;
    const std::string bytes = ReadBytes(raw);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    for (const std::string& line : Lines(bytes))
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 11) << line;
}

// A configuration file sets what the options set; the command line wins; a bad line is told
// with its number.
TEST(LoggerUnderway, AConfigurationFileIsTheOptionsAndTheCommandLineWins) {
    ScratchDirectory folder;
    SimProcess sim({"--dev", kDevice, "--rate", "20", "--autorun"});
    WriteBytes(folder.File("bb9.conf"), "# one meter\nport = /dev/null\ndev = " + kDevice +
                                            "\nraw = " + folder.File("from-file.raw") +
                                            "\n\nquiet = yes\nduration = 2.5\n");
    const ProcessResult run = RunToExit(KIVO_LOG_PATH,
                                        {"--config", folder.File("bb9.conf"), "--port",
                                         sim.PortPath(), "--raw", folder.File("given.raw")},
                                        milliseconds(20000));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GT(ReadBytes(folder.File("given.raw")).size(), 100U);
    EXPECT_FALSE(std::filesystem::exists(folder.File("from-file.raw")));
    // Quiet: the first status line only, in 2.5 s.
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;

    struct Case {
        std::string text;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"port = /dev/null\ndev = x\nbaud = 1200\n", "line 3: --baud takes 4800"},
        {"port = /dev/null\n\nwhatever = 1\n", "line 3: no option 'whatever'"},
        {"start = maybe\n", "line 1: start takes yes or no, not 'maybe'"},
        {"dev\n", "line 1: a line is key = value"},
        {"rotate = weekly\n", "line 1: --rotate takes hourly, daily or 10 to 86400 seconds"},
    };
    for (const Case& c : cases) {
        WriteBytes(folder.File("bad.conf"), c.text);
        const ProcessResult bad =
            RunToExit(KIVO_LOG_PATH, {"--config", folder.File("bad.conf"), "--duration", "1"});
        EXPECT_EQ(bad.exitCode, 2) << bad.err;
        EXPECT_NE(bad.err.find(folder.File("bad.conf") + " " + c.says), std::string::npos)
            << bad.err;
    }
    EXPECT_EQ(RunToExit(KIVO_LOG_PATH, {"--config", folder.File("none.conf")}).exitCode, 2);
}

// The service's unit as the service manager reads it, with the kivo-log just built.
TEST(LoggerUnderway, TheServiceUnitVerifies) {
    if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no systemd-analyze";
    ScratchDirectory folder;
    std::string unit =
        ReadBytes(std::string(KIVO_SOURCE_DIR) + "/packaging/systemd/kivo-log@.service");
    const std::string installed = "/usr/bin/kivo-log";
    ASSERT_NE(unit.find("ExecStart=" + installed + " --config /etc/kivo-log/%i.conf"),
              std::string::npos);
    unit.replace(unit.find(installed), installed.size(), KIVO_LOG_PATH);
    WriteBytes(folder.File("kivo-log@check.service"), unit);
    const ProcessResult verify =
        RunToExit("/bin/sh", {"-c", "systemd-analyze verify --man=no " +
                                        folder.File("kivo-log@check.service") + " 2>&1"});
    EXPECT_EQ(verify.exitCode, 0) << verify.out;
    EXPECT_EQ(verify.out, "");
    // The example configuration is one kivo-log takes, to its last line.
    const std::string example =
        ReadBytes(std::string(KIVO_SOURCE_DIR) + "/packaging/systemd/kivo-log.conf.example");
    WriteBytes(folder.File("example.conf"), example);
    const ProcessResult run =
        RunToExit(KIVO_LOG_PATH, {"--config", folder.File("example.conf"), "--port", "/dev/null",
                                  "--dev", "/nonexistent.dev"});
    EXPECT_EQ(run.exitCode, 1) << run.err;  // the device file is not there: past the parsing
    EXPECT_NE(run.err.find("/nonexistent.dev"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace kivo::test
