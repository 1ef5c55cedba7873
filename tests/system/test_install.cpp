// What `cmake --install` lays out, and how each installed program answers --help, --version
// and a mistake on its command line: the manners a technician meets first.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "SimProcess.h"

namespace kivo::test {
namespace {

namespace fs = std::filesystem;

const milliseconds kProgramWait(30000);

std::string Slurp(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool HaveWindowProgram() { return std::string(KIVO_VIEW_PATH).size() > 0; }

// The cmake that configured the build tree, as its cache names it.
std::string CMakeCommand() {
    const std::string cache = Slurp(fs::path(KIVO_BINARY_DIR) / "CMakeCache.txt");
    const std::string key = "CMAKE_COMMAND:INTERNAL=";
    const std::size_t at = cache.find(key);
    if (at == std::string::npos) return "/usr/bin/cmake";
    const std::size_t start = at + key.size();
    return cache.substr(start, cache.find('\n', start) - start);
}

std::vector<std::string> Programs() {
    std::vector<std::string> programs = {"kivo-sim", "kivo-log", "kivo-convert"};
    if (HaveWindowProgram()) programs.insert(programs.begin(), "kivoview");
    return programs;
}

// The build tree installed into a fresh prefix of its own for each test (ctest runs the
// tests of this file side by side).
class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string pattern = (fs::path(testing::TempDir()) / "kivo-install-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        prefix_ = name.data();
        const ProcessResult install =
            RunToExit(CMakeCommand(), {"--install", KIVO_BINARY_DIR, "--prefix", prefix_.string()},
                      milliseconds(120000));
        ASSERT_TRUE(install.finished) << "cmake --install did not finish";
        ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(prefix_, ignored);
    }

    fs::path Bin(const std::string& program) const { return prefix_ / "bin" / program; }
    fs::path ManPage(const std::string& program) const {
        return prefix_ / "share/man/man1" / (program + ".1.gz");
    }
    // The installed page unpacked beside it, for groff and for reading.
    fs::path UnpackedManPage(const std::string& program) const {
        const fs::path text = prefix_ / (program + ".1");
        const ProcessResult unpack =
            RunToExit("/bin/sh",
                      {"-c", "gzip -dc \"$0\" > \"$1\"", ManPage(program).string(), text.string()});
        EXPECT_EQ(unpack.exitCode, 0) << program << unpack.err;
        return text;
    }

    // Runs an installed program. Qt and fontconfig keep caches until exit by design, so
    // the window program alone runs without the leak check.
    ProcessResult Run(const std::string& program, const std::vector<std::string>& arguments) const {
        std::vector<std::string> command = {"ASAN_OPTIONS=detect_leaks=0",
                                            "QT_QPA_PLATFORM=offscreen"};
        if (program != "kivoview") command.clear();
        command.push_back(Bin(program).string());
        command.insert(command.end(), arguments.begin(), arguments.end());
        return RunToExit("/usr/bin/env", command, kProgramWait);
    }

    fs::path prefix_;
};

TEST_F(InstalledTree, HoldsProgramsDesktopEntryIconManPagesAndDemo) {
    for (const std::string& program : Programs()) {
        const fs::path path = Bin(program);
        ASSERT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_EQ(::access(path.c_str(), X_OK), 0) << path << " is not executable";
        EXPECT_TRUE(fs::is_regular_file(ManPage(program))) << program;
    }
    const std::vector<std::string> files = {
        "share/applications/kivoview.desktop",
        "share/icons/hicolor/scalable/apps/kivoview.svg",
        "share/kivoview/demo/kivo-bb9.dev",
        "share/kivoview/demo/kivo-bb3-ctd.dev",
        "share/kivoview/demo/last.rbs",
        "share/kivoview/demo/kivo-demo.qc",
        "lib/systemd/system/kivo-log@.service",
        "share/doc/kivoview/examples/kivo-log.conf.example",
        "share/doc/kivoview/examples/99-kivo-meter.rules.example",
        "share/doc/kivoview/README.md"};
    for (const std::string& file : files) {
        EXPECT_TRUE(fs::is_regular_file(prefix_ / file)) << file;
        EXPECT_GT(fs::file_size(prefix_ / file), 0u) << file;
    }
    // The demo's last.rbs names its device file, which must lie beside it.
    const std::string lastRbs = Slurp(prefix_ / "share/kivoview/demo/last.rbs");
    const std::string deviceName = lastRbs.substr(lastRbs.find('\n') + 1);
    EXPECT_EQ(deviceName, "kivo-bb9.dev\n");
}

TEST_F(InstalledTree, DesktopEntryStartsTheInstalledWindowWithItsIcon) {
    std::ifstream entry(prefix_ / "share/applications/kivoview.desktop");
    std::string line;
    ASSERT_TRUE(std::getline(entry, line));
    EXPECT_EQ(line, "[Desktop Entry]");
    std::map<std::string, std::string> keys;
    while (std::getline(entry, line)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    const std::map<std::string, std::string> expected = {
        {"Type", "Application"}, {"Name", "KIVO View"}, {"Exec", "kivoview %f"},
        {"Icon", "kivoview"},    {"Terminal", "false"}, {"Categories", "Science;Utility;"}};
    for (const auto& [key, value] : expected) EXPECT_EQ(keys[key], value) << key;
    // "Open With" hands it a file, but it claims no type: camera makers' files end in .raw too.
    EXPECT_EQ(keys.count("MimeType"), 0u);

    // Exec and Icon name what the same install put in place.
    if (HaveWindowProgram()) {
        EXPECT_TRUE(fs::is_regular_file(Bin(keys["Exec"].substr(0, keys["Exec"].find(' ')))));
    }
    const fs::path iconPath =
        prefix_ / "share/icons/hicolor/scalable/apps" / (keys["Icon"] + ".svg");
    ASSERT_TRUE(fs::is_regular_file(iconPath)) << iconPath;
    const std::string icon = Slurp(iconPath);
    EXPECT_NE(icon.find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
    EXPECT_NE(icon.find("viewBox="), std::string::npos);
    const std::size_t end = icon.rfind("</svg>");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(icon.find_first_not_of(" \n", end + 6), std::string::npos) << "text after </svg>";
}

TEST_F(InstalledTree, ManPagesFormatWithoutWarnings) {
    if (!fs::exists("/usr/bin/groff")) GTEST_SKIP() << "groff is not installed";
    for (const std::string& program : Programs()) {
        const fs::path page = UnpackedManPage(program);
        const ProcessResult run =
            RunToExit("/usr/bin/groff", {"-man", "-Tutf8", "-ww", "-z", page.string()});
        ASSERT_TRUE(run.finished) << program;
        EXPECT_EQ(run.exitCode, 0) << program;
        EXPECT_EQ(run.err, "") << program;
        // The page is headed by the program's own name, upper-cased, in section 1.
        std::string title = program;
        for (char& c : title) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(Slurp(page).rfind(".TH " + title + " 1 ", 0), 0u) << program;
    }
}

// Every long option that --help offers is described in the program's man page, so the
// two cannot drift apart unnoticed.
TEST_F(InstalledTree, ManPagesDescribeEveryOptionTheProgramOffers) {
    const std::regex longOption("--[a-z][a-z-]*[a-z]");
    for (const std::string& program : Programs()) {
        const ProcessResult help = Run(program, {"--help"});
        ASSERT_EQ(help.exitCode, 0) << program;
        std::set<std::string> options;
        for (auto it = std::sregex_iterator(help.out.begin(), help.out.end(), longOption);
             it != std::sregex_iterator(); ++it) {
            options.insert(it->str());
        }
        EXPECT_GE(options.size(), 3u) << program << ": " << help.out;
        const std::string page = Slurp(UnpackedManPage(program));
        for (const std::string& option : options) {
            // Man source writes each hyphen as "\-".
            std::string escaped;
            for (const char c : option)
                escaped += c == '-' ? std::string("\\-") : std::string(1, c);
            EXPECT_NE(page.find(escaped), std::string::npos) << program << " " << option;
        }
    }
}

struct HelpCase {
    std::string program;
    std::vector<std::string> options;  // each must appear in the --help text
};

TEST_F(InstalledTree, HelpExitsZeroAndNamesTheOptions) {
    const std::vector<HelpCase> cases = {
        {"kivoview", {"--com", "--dev", "--open", "--screenshot", "--settle", "--version"}},
        {"kivo-sim", {"--dev", "--rate", "--autorun", "--link", "--fault-garbage", "--version"}},
        {"kivo-log", {"--port", "--com", "--baud", "--dev", "--raw", "--eng", "--version"}},
        {"kivo-convert", {"--dev", "--output", "--settings", "--refcorr", "--version"}},
    };
    for (const HelpCase& c : cases) {
        if (c.program == "kivoview" && !HaveWindowProgram()) continue;
        for (const char* asked : {"--help", "-h"}) {
            const ProcessResult run = Run(c.program, {asked});
            ASSERT_TRUE(run.finished) << c.program;
            EXPECT_EQ(run.exitCode, 0) << c.program << " " << asked << ": " << run.err;
            EXPECT_EQ(run.err, "") << c.program;
            EXPECT_NE(run.out.find("Usage: " + c.program), std::string::npos) << run.out;
            for (const std::string& option : c.options) {
                EXPECT_NE(run.out.find(option), std::string::npos) << c.program << " " << option;
            }
        }
    }
}

TEST_F(InstalledTree, VersionIsNameAndVersionOnOneLine) {
    for (const std::string& program : Programs()) {
        const ProcessResult run = Run(program, {"--version"});
        ASSERT_TRUE(run.finished) << program;
        EXPECT_EQ(run.exitCode, 0) << program;
        EXPECT_EQ(run.out, program + " 1.16\n");
        EXPECT_EQ(run.err, "") << program;
    }
}

struct MistakeCase {
    std::string program;
    std::vector<std::string> arguments;
};

// A mistake exits 2 before anything else happens, with one line on stderr that names the
// program, and nothing on stdout (a script reading stdout gets no half-result).
TEST_F(InstalledTree, MistakesExitTwoWithOneLineOnStderr) {
    const std::vector<MistakeCase> cases = {
        {"kivoview", {"--no-such-option"}},
        {"kivoview", {"--com", "9=/dev/ttyUSB0"}},
        {"kivoview", {"--settle"}},
        {"kivoview", {"stray"}},
        {"kivo-sim", {"--no-such-option"}},
        {"kivo-sim", {"--rate"}},
        {"kivo-sim", {"--rate", "0"}},
        {"kivo-sim", {"--dev", "/nonexistent/meter.dev"}},
        {"kivo-log", {}},
        {"kivo-log", {"--port", "/dev/null", "--dev", "x.dev", "--baud", "1234"}},
        {"kivo-log", {"--port", "/dev/null"}},
        {"kivo-convert", {}},
        {"kivo-convert", {"--dev", "x.dev"}},
        {"kivo-convert", {"--dev", "x.dev", "--frobnicate", "a.raw"}},
    };
    for (const MistakeCase& c : cases) {
        if (c.program == "kivoview" && !HaveWindowProgram()) continue;
        const std::string shown = c.program + (c.arguments.empty() ? "" : " " + c.arguments[0]);
        const ProcessResult run = Run(c.program, c.arguments);
        ASSERT_TRUE(run.finished) << shown;
        EXPECT_EQ(run.exitCode, 2) << shown << ": " << run.err;
        EXPECT_EQ(run.out, "") << shown;
        ASSERT_FALSE(run.err.empty()) << shown;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << shown << ": " << run.err;
        EXPECT_EQ(run.err.rfind(c.program + ": ", 0), 0u) << shown << ": " << run.err;
    }
}

}  // namespace
}  // namespace kivo::test
