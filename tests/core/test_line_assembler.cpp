#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "core/chain/LineAssembler.h"

namespace kivo {
namespace {

struct Collected : LineSink {
    std::vector<std::string> lines;
    int overflows = 0;
    void OnLine(const std::string& line) override { lines.push_back(line); }
    void OnOverflow() override { ++overflows; }
};

struct AssemblyCase {
    const char* name;
    std::vector<std::string> reads;  // one entry per read from the port
    std::vector<std::string> lines;
    int overflows;
    std::string pending;
};

std::string Repeat(char c, int n) { return std::string(static_cast<std::size_t>(n), c); }

class LineAssembly : public ::testing::TestWithParam<AssemblyCase> {};

TEST_P(LineAssembly, GivesTheLinesTheMeterSent) {
    const AssemblyCase& c = GetParam();
    LineAssembler assembler;
    Collected sink;
    for (const std::string& read : c.reads) assembler.Feed(read.data(), read.size(), sink);
    EXPECT_EQ(sink.lines, c.lines);
    EXPECT_EQ(sink.overflows, c.overflows);
    EXPECT_EQ(assembler.Pending(), c.pending);
}

const std::string k250 = Repeat('a', 250);
const std::string k251 = Repeat('a', 250) + "b";

INSTANTIATE_TEST_SUITE_P(
    Rules, LineAssembly,
    ::testing::Values(
        AssemblyCase{"CrLf", {"one\r\ntwo\r\n"}, {"one", "two"}, 0, ""},
        AssemblyCase{"LfOnly", {"one\ntwo\n"}, {"one", "two"}, 0, ""},
        AssemblyCase{"LfCr", {"one\n\rtwo\n\r"}, {"one", "two"}, 0, ""},
        AssemblyCase{"CrInsideIsDropped", {"o\rn\re\n"}, {"one"}, 0, ""},
        AssemblyCase{"EmptyLine", {"a\n\nb\n"}, {"a", "", "b"}, 0, ""},
        AssemblyCase{"NulCountedNotKept", {std::string("a\0b\n", 4)}, {"ab"}, 0, ""},
        AssemblyCase{"SplitAcrossReads", {"12\t3", "4\t5", "6\r", "\n"}, {"12\t34\t56"}, 0, ""},
        AssemblyCase{"PartialLineWaits", {"VER 1\r\nAVE"}, {"VER 1"}, 0, "AVE"},
        AssemblyCase{"Exactly250", {k250 + "\n"}, {k250}, 0, ""},
        // The 251st character drops the line up to its end, which ends an empty line.
        AssemblyCase{"The251stDropsTheLine", {k251 + "\n"}, {""}, 1, ""},
        // Nothing of an overlong line survives, however it is cut into reads; the next
        // line is whole. A date-first line must not lose its head ("11/20/03" -> "1/20/03").
        AssemblyCase{"NothingOfTheOverlongLineSurvives",
                     {Repeat('\0', 240), Repeat('\0', 20) + "xx", "x\n11/20/03\t5\r\n"},
                     {"", "11/20/03\t5"},
                     1,
                     ""},
        // NUL counts toward the limit even though it is not kept.
        AssemblyCase{"NulCountsTowardTheLimit", {Repeat('\0', 250) + "x\n"}, {""}, 1, ""},
        // One warning per overlong stretch, however long; a line end re-arms it.
        AssemblyCase{"OneWarningPerStretch", {Repeat('z', 1000)}, {}, 1, ""},
        AssemblyCase{"LineEndRearmsTheWarning",
                     {Repeat('z', 600) + "\n" + Repeat('y', 300) + "\n"},
                     {"", ""},
                     2,
                     ""}),
    [](const ::testing::TestParamInfo<AssemblyCase>& info) { return info.param.name; });

TEST(LineAssembler, DropPendingForgetsAPartialOrOverlongLine) {
    LineAssembler assembler;
    Collected sink;
    const std::string bytes = "11/20/03\t1" + Repeat('9', 300);
    assembler.Feed(bytes.data(), bytes.size(), sink);
    assembler.DropPending();
    const std::string next = "11/21/03\t2\n";
    assembler.Feed(next.data(), next.size(), sink);
    EXPECT_EQ(sink.lines, std::vector<std::string>{"11/21/03\t2"});
}

}  // namespace
}  // namespace kivo
