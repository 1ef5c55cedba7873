#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/host/LineAssembler.h"

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
        // The 251st character drops the 250 before it and begins a new line.
        AssemblyCase{"The251stStartsANewLine", {k251 + "\n"}, {"b"}, 1, ""},
        // After an overflow the first character is not counted: 251 fit the new line.
        AssemblyCase{"AfterOverflowTheFirstIsFree",
                     {k251 + Repeat('c', 250) + "\n"},
                     {"b" + Repeat('c', 250)},
                     1,
                     ""},
        // NUL counts toward the limit even though it is not kept.
        AssemblyCase{"NulCountsTowardTheLimit", {Repeat('\0', 250) + "x\n"}, {"x"}, 1, ""},
        // One warning per overlong stretch, however long; a line end re-arms it.
        AssemblyCase{
            "OneWarningPerStretch", {Repeat('z', 1000)}, {}, 1, Repeat('z', 1000 - 753 + 1)},
        AssemblyCase{"LineEndRearmsTheWarning",
                     {Repeat('z', 600) + "\n" + Repeat('y', 300) + "\n"},
                     {Repeat('z', 600 - 502 + 1), Repeat('y', 300 - 251 + 1)},
                     2,
                     ""}),
    [](const ::testing::TestParamInfo<AssemblyCase>& info) { return info.param.name; });

}  // namespace
}  // namespace kivo
