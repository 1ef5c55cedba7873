// kivo-sim seen from the host's side of its pseudo-terminal.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "SimProcess.h"

namespace kivo::test {
namespace {

const milliseconds kWait(5000);

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.emplace_back();
    return fields;
}

// What the host takes for a data line: digits . - / : and single TABs, no empty field.
bool IsDataLine(const std::string& line) {
    if (line.empty() || line.find_first_not_of("0123456789.-/:\t") != std::string::npos) {
        return false;
    }
    for (const std::string& field : Fields(line)) {
        if (field.empty()) return false;
    }
    return true;
}

bool Matches(const std::string& text, const std::string& pattern) {
    // Pattern: 9 a digit, anything else itself.
    if (text.size() != pattern.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

bool IsCount(const std::string& field) {
    return !field.empty() && field.find_first_not_of("0123456789") == std::string::npos;
}

// Lines up to and including the first that starts with `last`.
std::vector<std::string> LinesThrough(PtyClient& client, const std::string& last) {
    std::vector<std::string> lines;
    while (std::optional<std::string> line = client.ReadLine(kWait)) {
        lines.push_back(*line);
        if (line->compare(0, last.size(), last) == 0) break;
    }
    return lines;
}

std::optional<std::string> NextDataLine(PtyClient& client) {
    while (std::optional<std::string> line = client.ReadLine(kWait)) {
        if (IsDataLine(*line)) return line;
    }
    return std::nullopt;
}

bool HasCompleteDataLine(const std::string& received) {
    std::stringstream stream(received);
    std::string line;
    while (std::getline(stream, line)) {
        if (stream.eof()) break;  // not ended by LF yet
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (IsDataLine(line)) return true;
    }
    return false;
}

std::string Keyword(const std::string& line) { return line.substr(0, 3); }

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

class KivoSim : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kivo-sim-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string InDir(const std::string& name) const { return dir_ + "/" + name; }

    std::string dir_;
};

TEST_F(KivoSim, IdentifiesItselfAtStartAndFirstInTheMenu) {
    SimProcess sim({"--id", "VER TEST METER 42"});
    PtyClient client(sim.PortPath());
    EXPECT_EQ(client.ReadLine(kWait), "VER TEST METER 42");

    ASSERT_TRUE(client.Write("$mnu\r\n"));
    const std::vector<std::string> menu = LinesThrough(client, "MEM");
    const std::vector<std::string> keywords = {"VER", "AVE", "PKT", "SET", "INT", "REC",
                                               "CAL", "ASV", "CLK", "DAT", "MEM"};
    ASSERT_EQ(menu.size(), keywords.size());
    EXPECT_EQ(menu[0], "VER TEST METER 42");
    for (std::size_t i = 1; i < menu.size(); ++i) EXPECT_EQ(Keyword(menu[i]), keywords[i]);
    EXPECT_TRUE(Matches(menu[8], "CLK 99:99:99")) << menu[8];
    EXPECT_TRUE(Matches(menu[9], "DAT 99/99/99")) << menu[9];
    EXPECT_EQ(menu[10], "MEM 16");  // 4096 bytes in pages of 264

    ASSERT_TRUE(client.Write("$par\r\n"));
    const std::vector<std::string> timing = LinesThrough(client, "OFF");
    std::vector<std::string> timingKeywords;
    for (const std::string& line : timing) timingKeywords.push_back(Keyword(line));
    EXPECT_EQ(timingKeywords, (std::vector<std::string>{"01N", "01F", "11N", "11F", "UGL", "OFF"}));
}

TEST_F(KivoSim, SettingsAnswerTheirNewValueAndTheMenuReportsIt) {
    struct Case {
        const char* command;
        const char* reply;
    };
    const Case cases[] = {
        {"$AVE 60", "AVE 60"},
        {"$PKT 7", "PKT 7"},
        {"$SET 9", "SET 9"},
        {"$INT 001500", "INT 001500"},
        {"$REC 1", "REC 1"},
        {"$ASV 1", "ASV 1"},
        {"$cal 1", "CAL 1"},
        {"$ugl 31", "UGL 31"},
        {"$off 12", "OFF 12"},
        {"$01n=7", "01N 7"},
        {"$01f 6", "01F 6"},
        {"$11n=5", "11N 5"},
        {"$11f=4", "11F 4"},
        // Values the meter refuses leave the setting as it was.
        {"$ASV 3", "ASV 1"},
        {"$AVE ", "AVE 60"},
        {"$INT HHMMSS", "INT 001500"},
        {"$off 128", "OFF 12"},
        {"$PKT 7x", "PKT 7"},
    };
    SimProcess sim;
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.ReadLine(kWait));  // the identification at start
    for (const Case& c : cases) {
        ASSERT_TRUE(client.Write(std::string(c.command) + "\r\n"));
        EXPECT_EQ(client.ReadLine(kWait), c.reply) << c.command;
    }
    ASSERT_TRUE(client.Write("$mnu\r\n$par\r\n"));
    std::vector<std::string> report = LinesThrough(client, "MEM");
    const std::vector<std::string> timing = LinesThrough(client, "OFF");
    report.insert(report.end(), timing.begin(), timing.end());
    for (const Case& c : cases) {
        EXPECT_NE(std::find(report.begin(), report.end(), c.reply), report.end()) << c.reply;
    }
}

TEST_F(KivoSim, CommandsMatchLetterCaseAndSeparatorExactly) {
    // "$01f" takes a blank, the other timing values "="; "$RUN" is not "$run".
    SimProcess sim({"--rate", "50"});
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.ReadLine(kWait));
    ASSERT_TRUE(client.Write("$RUN\r\n$MNU\r\n$01f=6\r\n$01n 6\r\n$par\r\n"));
    const std::vector<std::string> lines = LinesThrough(client, "OFF");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "01N 12");  // nothing answered before "$par"
    EXPECT_EQ(lines.size(), 6u);
    EXPECT_FALSE(client.ReadUntil(HasCompleteDataLine, milliseconds(400))) << client.Received();
}

TEST_F(KivoSim, StoreReloadEraseClockAndOtherCommands) {
    SimProcess sim({"--memory-size", "600"});
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.ReadLine(kWait));
    const auto answer = [&client](const std::string& command) {
        EXPECT_TRUE(client.Write(command + "\r\n"));
        return client.ReadLine(kWait).value_or("(nothing)");
    };
    EXPECT_EQ(answer("$AVE 60"), "AVE 60");
    EXPECT_EQ(answer("$sto"), "DONE");
    EXPECT_EQ(answer("$AVE 5"), "AVE 5");
    EXPECT_EQ(answer("$rls"), "VER KIVO-SIM 1.0 SN 0001");
    ASSERT_TRUE(client.Write("$mnu\r\n"));
    const std::vector<std::string> menu = LinesThrough(client, "MEM");
    EXPECT_NE(std::find(menu.begin(), menu.end(), "AVE 60"), menu.end());  // flash value back
    EXPECT_EQ(menu.back(), "MEM 3");

    EXPECT_EQ(answer("$CLK 120000"), "CLK 12:00:00");
    EXPECT_EQ(answer("$DAT 030504"), "DAT 03/05/04");
    EXPECT_EQ(answer("$SDT 022904"), "DAT 02/29/04");
    EXPECT_EQ(answer("$SDT 023003"), "DAT 02/29/04");  // no such day
    EXPECT_EQ(answer("$dat"), "DAT 02/29/04");
    EXPECT_EQ(answer("$SCK 070809"), "CLK 07:08:09");
    const std::string clock = answer("$clk");
    EXPECT_TRUE(Matches(clock, "CLK 07:08:99") && clock >= "CLK 07:08:09") << clock;
    const std::string refused = answer("$CLK 250000");  // the clock runs on
    EXPECT_TRUE(Matches(refused, "CLK 07:08:99")) << refused;

    EXPECT_EQ(answer("$emc"), "MEM 0");
    ASSERT_TRUE(client.Write("$mnu\r\n"));
    EXPECT_EQ(LinesThrough(client, "MEM").back(), "MEM 0");

    for (const char* command : {"$swp", "$mvs 1", "$mvs 0", "$hex 0"}) {
        const std::string reply = answer(command);
        EXPECT_FALSE(reply.empty()) << command;
        EXPECT_FALSE(IsDataLine(reply)) << command << ": " << reply;
    }
    // The rest of the hex dump, then a single measurement.
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(IsDataLine(client.ReadLine(kWait).value_or("1")));
    const std::string one = answer("$one");
    EXPECT_TRUE(IsDataLine(one)) << one;
}

TEST_F(KivoSim, AlternateModeSendsSixDigitClockRepliesAndFields) {
    SimProcess sim({"--alt", "--clock", "030504070809", "--counts", "2", "--rate", "50"});
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.ReadLine(kWait));
    ASSERT_TRUE(client.Write("$dat\r\n$CLK 101112\r\n"));
    EXPECT_EQ(client.ReadLine(kWait), "DAT 030504");
    EXPECT_EQ(client.ReadLine(kWait), "CLK 101112");
    ASSERT_TRUE(client.Write("$run\r\n"));
    const std::optional<std::string> line = NextDataLine(client);
    ASSERT_TRUE(line);
    const std::vector<std::string> fields = Fields(*line);
    ASSERT_EQ(fields.size(), 4u) << *line;
    EXPECT_EQ(fields[0], "030504");
    EXPECT_TRUE(Matches(fields[1], "101199") && fields[1] >= "101112") << fields[1];
}

struct LayoutCase {
    std::vector<std::string> arguments;
    std::vector<std::string> shape;  // "D" date, "T" time, "d"/"t" six-digit forms, "N" count
};

void PrintTo(const LayoutCase& layout, std::ostream* out) {
    for (const std::string& argument : layout.arguments) *out << argument << ' ';
}

class StreamLayout : public ::testing::TestWithParam<LayoutCase> {};

bool FieldFits(const std::string& field, const std::string& kind) {
    if (kind == "D") return Matches(field, "99/99/99");
    if (kind == "T") return Matches(field, "99:99:99");
    if (kind == "d" || kind == "t") return Matches(field, "999999");
    return IsCount(field);
}

TEST_P(StreamLayout, RunStreamsTheLayoutAndStopEndsIt) {
    std::vector<std::string> arguments = GetParam().arguments;
    arguments.insert(arguments.end(), {"--rate", "50"});
    SimProcess sim(arguments);
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.Write("$run\r\n"));
    for (int i = 0; i < 3; ++i) {
        const std::optional<std::string> line = NextDataLine(client);
        ASSERT_TRUE(line);
        const std::vector<std::string> fields = Fields(*line);
        ASSERT_EQ(fields.size(), GetParam().shape.size()) << *line;
        for (std::size_t f = 0; f < fields.size(); ++f) {
            EXPECT_TRUE(FieldFits(fields[f], GetParam().shape[f])) << *line;
        }
    }
    ASSERT_TRUE(client.Write("!!!!!$mnu\r\n"));
    ASSERT_EQ(Keyword(LinesThrough(client, "MEM").back()), "MEM");
    // At 50 lines a second a stream that went on would show within this bound.
    EXPECT_FALSE(client.ReadUntil(HasCompleteDataLine, milliseconds(400))) << client.Received();
}

INSTANTIATE_TEST_SUITE_P(Layouts, StreamLayout,
                         ::testing::Values(LayoutCase{{}, {"N", "N", "N"}},
                                           LayoutCase{{"--date", "--time", "--counts", "5"},
                                                      {"D", "T", "N", "N", "N", "N", "N"}},
                                           LayoutCase{{"--time", "--counts", "1"}, {"T", "N"}},
                                           LayoutCase{{"--alt", "--counts", "2"},
                                                      {"d", "t", "N", "N"}},
                                           LayoutCase{{"--counts", "2", "--fault-columns", "6"},
                                                      {"N", "N", "N", "N", "N", "N"}}));

std::vector<std::string> FirstDataLines(const std::vector<std::string>& arguments, int count) {
    SimProcess sim(arguments);
    PtyClient client(sim.PortPath());
    client.Write("$run\r\n");
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) lines.push_back(NextDataLine(client).value_or(""));
    return lines;
}

TEST_F(KivoSim, SameSeedGivesTheSameLines) {
    const auto seven = FirstDataLines({"--seed", "7", "--rate", "100"}, 6);
    EXPECT_EQ(seven, FirstDataLines({"--seed", "7", "--rate", "100"}, 6));
    EXPECT_NE(seven, FirstDataLines({"--seed", "8", "--rate", "100"}, 6));
    // The counts wander: not one line repeated over and over.
    EXPECT_NE(seven.front(), seven.back());
}

TEST_F(KivoSim, AutorunStreamsWithoutRun) {
    SimProcess sim({"--autorun", "--rate", "50", "--log", InDir("log")});
    PtyClient client(sim.PortPath());
    EXPECT_TRUE(NextDataLine(client));
    EXPECT_EQ(ReadWholeFile(InDir("log")), "");
}

TEST_F(KivoSim, LogHoldsEachCommandAndStopWhereverItAppears) {
    const std::string log = InDir("commands.log");
    SimProcess sim({"--log", log, "--rate", "50"});
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.ReadLine(kWait));
    // LF alone ends a command too; a stop inside a line drops what came before it.
    // An over-long line is cut for the log and not acted on.
    const std::string overlong = "$AVE 7" + std::string(300, ' ');
    ASSERT_TRUE(client.Write("$run\r\n$AV!!!!!" + overlong + "\r\n$AVE 60\n$nonsense 1\r\n"));
    std::optional<std::string> reply;
    do reply = client.ReadLine(kWait);  // data lines may come before the stop took effect
    while (reply && IsDataLine(*reply));
    EXPECT_EQ(reply, "AVE 60");
    const std::string expected =
        "$run\n!!!!!\n" + overlong.substr(0, 255) + "\n$AVE 60\n$nonsense 1\n";
    EXPECT_TRUE(WaitFor([&] { return ReadWholeFile(log) == expected; })) << ReadWholeFile(log);
}

TEST_F(KivoSim, DownloadSendsTheImageEndedByEtxAndWritesIt) {
    const std::string out = InDir("memory.raw");
    SimProcess sim({"--memory-size", "3000", "--memory-out", out, "--seed", "3"});
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.ReadLine(kWait));
    ASSERT_TRUE(client.Write("$get\r\n"));
    ASSERT_TRUE(client.ReadUntil(
        [](const std::string& received) {
            return LowerCase(received).find("etx") != std::string::npos;
        },
        kWait));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(out); }));
    const std::string sent = ReadWholeFile(out);
    EXPECT_EQ(client.Received(), sent);
    ASSERT_EQ(sent.size(), 3003u);
    EXPECT_EQ(LowerCase(sent).find("etx"), 3000u);  // the marker only at the end

    // Erased memory: the marker alone.
    client.TakeReceived();
    ASSERT_TRUE(client.Write("$emc\r\n"));
    EXPECT_EQ(client.ReadLine(kWait), "MEM 0");
    std::filesystem::remove(out);
    ASSERT_TRUE(client.Write("$get\r\n"));
    EXPECT_TRUE(client.ReadUntil("etx", kWait));
    EXPECT_EQ(client.Received(), "etx");
    EXPECT_TRUE(WaitFor([&] { return ReadWholeFile(out) == "etx"; }));
}

TEST_F(KivoSim, StopEndsADownloadWithoutEtx) {
    const std::string out = InDir("memory.raw");
    SimProcess sim({"--memory-size", "200000", "--memory-out", out});  // paced: about a minute
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.ReadLine(kWait));
    ASSERT_TRUE(client.Write("$get\r\n"));
    ASSERT_TRUE(client.ReadUntil([](const std::string& received) { return received.size() >= 600; },
                                 kWait));
    ASSERT_TRUE(client.Write("!!!!!$mnu\r\n"));
    ASSERT_TRUE(client.ReadUntil("\r\nMEM ", kWait));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(out); }));
    const std::string sent = ReadWholeFile(out);
    EXPECT_LT(sent.size(), 200000u);
    EXPECT_EQ(client.Received().substr(0, sent.size()), sent);
    EXPECT_EQ(LowerCase(client.Received()).find("etx"), std::string::npos);
    EXPECT_EQ(client.Received().substr(sent.size(), 4), "VER ");  // the meter answers again
}

TEST_F(KivoSim, SilenceFaultCutsTheDownloadAndNeverSendsEtx) {
    const std::string out = InDir("memory.raw");
    SimProcess sim({"--fault-silence-after", "1000", "--memory-out", out, "--fast"});
    PtyClient client(sim.PortPath());
    ASSERT_TRUE(client.ReadLine(kWait));
    ASSERT_TRUE(client.Write("$get\r\n"));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(out); }));
    ASSERT_TRUE(client.Write("$mnu\r\n"));
    ASSERT_TRUE(client.ReadUntil("\r\nMEM ", kWait));
    const std::string sent = ReadWholeFile(out);
    ASSERT_EQ(sent.size(), 1000u);
    EXPECT_EQ(client.Received().substr(0, 1000), sent);
    EXPECT_EQ(client.Received().substr(1000, 4), "VER ");
    EXPECT_EQ(LowerCase(client.Received()).find("etx"), std::string::npos);
}

TEST_F(KivoSim, GarbageAndOverlongFaultsComeBeforeEachRunsFirstLine) {
    {
        SimProcess sim({"--fault-garbage", "20", "--rate", "50"});
        PtyClient client(sim.PortPath());
        ASSERT_TRUE(client.ReadLine(kWait));
        ASSERT_TRUE(client.Write("$run\r\n"));
        const std::string spoilt = client.ReadLine(kWait).value_or("");
        ASSERT_GE(spoilt.size(), 20u);
        EXPECT_FALSE(IsDataLine(spoilt));
        EXPECT_TRUE(IsDataLine(spoilt.substr(20))) << spoilt;
        EXPECT_TRUE(IsDataLine(client.ReadLine(kWait).value_or("")));
    }
    {
        SimProcess sim({"--fault-overlong", "--rate", "50"});
        PtyClient client(sim.PortPath());
        ASSERT_TRUE(client.ReadLine(kWait));
        for (int run = 0; run < 2; ++run) {
            ASSERT_TRUE(client.Write("$run\r\n"));
            EXPECT_EQ(client.ReadLine(kWait), std::string(300, 'Z'));
            EXPECT_TRUE(IsDataLine(client.ReadLine(kWait).value_or("")));
            ASSERT_TRUE(client.Write("!!!!!$mnu\r\n"));
            LinesThrough(client, "MEM");
        }
    }
}

TEST_F(KivoSim, ReopenFaultMovesToANewPortAndLink) {
    const std::string link = InDir("meter");
    SimProcess sim({"--fault-reopen-after", "3", "--rate", "50", "--link", link});
    PtyClient first(sim.PortPath());
    ASSERT_TRUE(first.Write("$run\r\n"));
    // Read until the old port goes away.
    first.ReadUntil([](const std::string&) { return false; }, kWait);
    ASSERT_TRUE(first.HungUp());
    int dataLines = 0;
    while (std::optional<std::string> line = first.ReadLine(milliseconds(0))) {
        dataLines += IsDataLine(*line) ? 1 : 0;
    }
    EXPECT_EQ(dataLines, 3);

    const std::optional<std::string> newPath = sim.NextStdoutLine(kWait);
    ASSERT_TRUE(newPath);
    EXPECT_NE(*newPath, sim.PortPath());
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::read_symlink(link) == *newPath; }));
    PtyClient second(*newPath);
    EXPECT_TRUE(NextDataLine(second));  // the stream goes on
}

TEST_F(KivoSim, LinkPointsAtThePortUntilTermination) {
    const std::string link = InDir("ttyKIVO");
    // A link of a run that was killed is replaced.
    ASSERT_EQ(::symlink("/dev/pts/999999", link.c_str()), 0);
    SimProcess sim({"--link", link});
    EXPECT_EQ(std::filesystem::read_symlink(link), sim.PortPath());
    PtyClient client(link);
    EXPECT_EQ(Keyword(client.ReadLine(kWait).value_or("")), "VER");
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// `--link kivo-bb9.dev` once deleted the device file: only a link to a pseudo-terminal is
// ever replaced.
TEST_F(KivoSim, LinkNeverReplacesSomethingElse) {
    std::ofstream(InDir("kivo-bb9.dev")) << "Columns=12\n";
    ASSERT_EQ(::symlink(InDir("kivo-bb9.dev").c_str(), InDir("to-file").c_str()), 0);
    std::filesystem::create_directory(InDir("folder"));
    for (const char* name : {"kivo-bb9.dev", "to-file", "folder"}) {
        const ProcessResult run = RunToExit(KIVO_SIM_PATH, {"--link", InDir(name)});
        EXPECT_EQ(run.exitCode, 2) << name << ": " << run.err;
        EXPECT_NE(run.err.find("not replaced"), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadWholeFile(InDir("kivo-bb9.dev")), "Columns=12\n");
    EXPECT_EQ(std::filesystem::read_symlink(InDir("to-file")), InDir("kivo-bb9.dev"));
    EXPECT_TRUE(std::filesystem::is_directory(InDir("folder")));
}

TEST(KivoSimCommandLine, HelpAndBadOptions) {
    const ProcessResult help = RunToExit(KIVO_SIM_PATH, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--fault-reopen-after"), std::string::npos);

    const std::vector<std::vector<std::string>> bad = {
        {"--rate", "0"},
        {"--rate", "fast"},
        {"--counts", "-1"},
        {"--bogus"},
        {"--seed"},
        {"--date=1"},
        {"--clock", "023003000000"},
        {"--counts", "0"},
        {"--log", "/nonexistent-dir/x.log"},
        {"--link", "/nonexistent-dir/tty"},
        {"--cast", "0"},
        {"--cast", "deep"},
        {"--cast", "150"},
        {"--cast", "150", "--dev", std::string(KIVO_TEST_DATA) + "/scatter9.dev"},
    };
    for (const auto& arguments : bad) {
        const ProcessResult result = RunToExit(KIVO_SIM_PATH, arguments);
        EXPECT_TRUE(result.finished) << arguments[0];
        EXPECT_EQ(result.exitCode, 2) << arguments[0];
        EXPECT_EQ(result.out, "") << arguments[0];
        ASSERT_FALSE(result.err.empty()) << arguments[0];
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
}

}  // namespace
}  // namespace kivo::test
