#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "core/recording/RawRecording.h"
#include "core/recording/Recorders.h"

namespace kivo {
namespace {

using test::ReadBytes;
using test::ScratchDirectory;
using test::WriteBytes;

TEST(RawRecorder, EachLineOfNCharactersAddsNPlusTwoBytes) {
    const std::string lines[] = {"", "7", "11/20/03\t12:30:45\t4050\t2001", std::string(250, '9')};
    ScratchDirectory dir;
    RawRecorder recorder(nullptr);
    ASSERT_TRUE(recorder.Start(dir.File("r.raw")));
    std::string expected;
    Sample sample;
    for (const std::string& line : lines) {
        const std::int64_t before = recorder.ByteCount();
        sample.line = line;
        recorder.OnSample(sample);
        EXPECT_EQ(recorder.ByteCount() - before, static_cast<std::int64_t>(line.size() + 2));
        expected += line + "\r\n";
    }
    recorder.Stop();
    EXPECT_EQ(ReadBytes(dir.File("r.raw")), expected);
}

// One tick's read as the receive pump sees it.
struct Tick {
    std::string bytes;
    bool end = false;
};

Tick ReadTick(ReplayReader& reader) {
    std::array<char, ReplayReader::kBufferSize> buffer{};
    const ReplayRead read = reader.ReadReplayLine(buffer.data(), buffer.size());
    return {std::string(buffer.data(), read.count), read.end};
}

// The pieces of one pass through the file, up to the read that reports its end.
std::vector<std::string> OnePass(ReplayReader& reader, int maxTicks = 1000) {
    std::vector<std::string> pieces;
    for (int i = 0; i < maxTicks; ++i) {
        const Tick tick = ReadTick(reader);
        if (tick.end) return pieces;
        pieces.push_back(tick.bytes);
    }
    ADD_FAILURE() << "the replay never reported its end";
    return pieces;
}

std::optional<ReplayReader> OpenWith(const ScratchDirectory& dir, const std::string& bytes) {
    const std::string path = dir.File("replay.raw");
    WriteBytes(path, bytes);
    return ReplayReader::Open(path);
}

TEST(ReplayReader, PiecesOfOnePass) {
    const std::string long250(250, 'L');
    const std::string exactly98(98, 'E');
    struct Case {
        const char* name;
        std::string file;
        std::vector<std::string> pieces;  // the last is what the read that met the end got
    };
    const std::vector<Case> cases = {
        {"empty file", "", {""}},
        {"two lines", "a\tb\nc\td\n", {"a\tb\n", "c\td\n", ""}},
        {"last line without LF", "a\nb", {"a\n", "b"}},
        {"CR LF reads as LF", "a\tb\r\nc\r\n", {"a\tb\n", "c\n", ""}},
        {"a lone CR stays", "a\rb\n", {"a\rb\n", ""}},
        {"CR at the end of the file", "a\r", {"a\r"}},
        {"empty lines", "\n\r\n", {"\n", "\n", ""}},
        {"250 characters in 98-character pieces",
         long250 + "\n",
         {long250.substr(0, 98), long250.substr(98, 98), long250.substr(196) + "\n", ""}},
        {"98 characters, then the LF alone", exactly98 + "\r\n", {exactly98, "\n", ""}},
        {"97 characters and CR LF fit one piece",
         exactly98.substr(1) + "\r\n",
         {exactly98.substr(1) + "\n", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDirectory dir;
        auto reader = OpenWith(dir, c.file);
        ASSERT_TRUE(reader);
        EXPECT_EQ(OnePass(*reader), c.pieces);
    }
}

TEST(ReplayReader, CrLfAndLfFilesReplayTheSameLines) {
    std::string withCrLf;
    std::string withLf;
    for (int i = 0; i < 40; ++i) {
        const std::string line = "11/20/03\t12:30:" + std::to_string(10 + i) + "\t" +
                                 std::string(static_cast<std::size_t>(i * 7), '5');
        withCrLf += line + "\r\n";
        withLf += line + "\n";
    }
    ScratchDirectory dir;
    WriteBytes(dir.File("crlf.raw"), withCrLf);
    WriteBytes(dir.File("lf.raw"), withLf);
    auto crlf = ReplayReader::Open(dir.File("crlf.raw"));
    auto lf = ReplayReader::Open(dir.File("lf.raw"));
    ASSERT_TRUE(crlf && lf);
    const std::vector<std::string> pieces = OnePass(*lf);
    EXPECT_EQ(OnePass(*crlf), pieces);
    std::string joined;
    for (const std::string& piece : pieces) joined += piece;
    EXPECT_EQ(joined, withLf);
}

TEST(ReplayReader, EndPausesRewindsAndReplaysFromTheFirstLine) {
    ScratchDirectory dir;
    auto reader = OpenWith(dir, "first\nsecond\n");
    ASSERT_TRUE(reader);
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE(pass);
        EXPECT_EQ(ReadTick(*reader).bytes, "first\n");
        EXPECT_EQ(ReadTick(*reader).bytes, "second\n");
        const Tick nothing = ReadTick(*reader);  // finds nothing more: 0, not yet the end
        EXPECT_EQ(nothing.bytes, "");
        EXPECT_FALSE(nothing.end);
        const Tick end = ReadTick(*reader);
        EXPECT_TRUE(end.end);
        EXPECT_EQ(end.bytes, "");
        EXPECT_EQ(reader->Position(), 0);
    }
}

TEST(ReplayReader, ZeroesTheWholeBufferAndLeavesRoomForItsEnd) {
    ScratchDirectory dir;
    auto reader = OpenWith(dir, "abc\n" + std::string(20, 'z') + "\n");
    ASSERT_TRUE(reader);
    std::array<char, ReplayReader::kBufferSize> buffer;
    buffer.fill('#');
    ASSERT_EQ(reader->ReadReplayLine(buffer.data(), buffer.size()).count, 4u);
    EXPECT_EQ(std::string(buffer.data(), 4), "abc\n");
    for (std::size_t i = 4; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], '\0') << i;

    // A buffer smaller than a piece gets at most its size - 1 characters.
    std::array<char, 8> small;
    small.fill('#');
    EXPECT_EQ(reader->ReadReplayLine(small.data(), small.size()).count, 7u);
    EXPECT_EQ(std::string(small.data()), std::string(7, 'z'));
}

TEST(ReplayReader, PositionAndSizeForTheProgressBar) {
    ScratchDirectory dir;
    auto reader = OpenWith(dir, "12345\r\n678\n");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Size(), 11);
    EXPECT_EQ(reader->Position(), 0);
    ReadTick(*reader);
    EXPECT_EQ(reader->Position(), 7);
    ReadTick(*reader);
    EXPECT_EQ(reader->Position(), 11);
}

TEST(ReplayReader, FileCutShortWhileReplayingEndsLikeItsEnd) {
    struct Case {
        const char* name;
        std::uintmax_t newSize;
    };
    const Case cases[] = {{"emptied", 0}, {"cut to its first lines", 60}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDirectory dir;
        std::string content;
        for (int i = 0; i < 20000; ++i)
            content += "11/20/03\t12:30:45\t" + std::to_string(i) + "\n";
        auto reader = OpenWith(dir, content);
        ASSERT_TRUE(reader);
        for (int i = 0; i < 3; ++i) ReadTick(*reader);
        std::filesystem::resize_file(dir.File("replay.raw"), c.newSize);

        // What the stream had buffered may still come; then the end, well before the 20000
        // lines the file once held.
        OnePass(*reader, 2000);
        EXPECT_LE(reader->Position(), reader->Size());
        // The rewound replay reads what the file now holds.
        const std::vector<std::string> again = OnePass(*reader, 2000);
        std::string joined;
        for (const std::string& piece : again) joined += piece;
        EXPECT_EQ(joined, content.substr(0, c.newSize));
    }
}

TEST(ReplayReader, OpensAPathOfAnyLengthAndTellsWhyItCannot) {
    ScratchDirectory dir;
    std::string folder = dir.path;
    while (folder.size() < 400) folder += "/" + std::string(60, 'd');
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/replay.raw";
    WriteBytes(path, "1\t2\n");
    auto reader = ReplayReader::Open(path);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Path(), path);
    EXPECT_EQ(ReadTick(*reader).bytes, "1\t2\n");

    std::string reason;
    EXPECT_FALSE(ReplayReader::Open(dir.File("missing.raw"), &reason));
    EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace kivo
