#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "core/recording/RecordFile.h"

namespace kivo {
namespace {

using test::ReadBytes;
using test::ReportLog;
using test::ScratchDirectory;

TEST(RecordFile, WritesTheBytesInOrderAndCountsThem) {
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"nothing", {}},
        {"empty pieces", {"", ""}},
        {"text", {"12\t34\r\n", "56\t78\r\n"}},
        {"binary", {std::string("\0\r\n\xff", 4), std::string(1, '\x1a')}},
        {"beyond the stream buffer", {std::string(70000, 'a'), "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDirectory dir;
        ReportLog log;
        auto file = RecordFile::Create(dir.File("r.raw"), log.Reporter());
        ASSERT_TRUE(file);
        std::string expected;
        for (const std::string& piece : c.pieces) {
            EXPECT_TRUE(file->Write(piece));
            expected += piece;
        }
        EXPECT_EQ(file->ByteCount(), static_cast<std::int64_t>(expected.size()));
        EXPECT_TRUE(file->Close());
        EXPECT_FALSE(file->IsOpen());
        EXPECT_EQ(ReadBytes(dir.File("r.raw")), expected);
        EXPECT_TRUE(log.messages.empty());
    }
}

// The window starts afresh; kivo-log continues an earlier recording when asked, and counts
// the file's size from what it held.
TEST(RecordFile, AnExistingFileIsTruncatedOrAppendedTo) {
    const std::string earlier = "an earlier recording, longer than the new one\r\n";
    struct Case {
        RecordMode mode;
        std::string after;
    };
    const Case cases[] = {{RecordMode::Truncate, "new\r\n"},
                          {RecordMode::Append, earlier + "new\r\n"}};
    for (const Case& c : cases) {
        ScratchDirectory dir;
        test::WriteBytes(dir.File("old.raw"), earlier);
        auto file = RecordFile::Create(dir.File("old.raw"), nullptr, c.mode);
        ASSERT_TRUE(file);
        file->Write("new\r\n");
        EXPECT_EQ(file->ByteCount(), static_cast<std::int64_t>(c.after.size()));
        file->Close();
        EXPECT_EQ(ReadBytes(dir.File("old.raw")), c.after);
    }
}

TEST(RecordFile, FlushPutsEverythingWrittenOnDiskBeforeTheClose) {
    ScratchDirectory dir;
    const std::string path = dir.File("tick.raw");
    auto file = RecordFile::Create(path, nullptr);
    ASSERT_TRUE(file);
    file->Write("line one\r\n");
    EXPECT_TRUE(file->Flush());
    EXPECT_EQ(ReadBytes(path), "line one\r\n");
    file->Write("line two\r\n");
    EXPECT_TRUE(file->Flush());
    EXPECT_TRUE(file->Flush());  // a tick that wrote nothing
    EXPECT_EQ(ReadBytes(path), "line one\r\nline two\r\n");
    EXPECT_TRUE(file->IsOpen());
}

TEST(RecordFile, CreateFailureNamesThePathAndTheReason) {
    ScratchDirectory dir;
    const std::string path = dir.File("no such folder/r.raw");
    ReportLog log;
    EXPECT_FALSE(RecordFile::Create(path, log.Reporter()));
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_NE(log.messages[0].find(path), std::string::npos) << log.messages[0];
    EXPECT_NE(log.messages[0].find(std::strerror(ENOENT)), std::string::npos) << log.messages[0];
}

// /dev/full accepts the open and fails every write with "No space left on device": a full
// disk under a running recording.
TEST(RecordFile, FullDiskIsReportedOnceAndLaterWritesAreRefused) {
    if (!test::DevFullAvailable()) GTEST_SKIP() << "no /dev/full here";
    enum class FailsAt { Flush, Write, Close };
    struct Case {
        const char* name;
        std::size_t firstWrite;
        FailsAt failsAt;
    };
    const Case cases[] = {
        {"a small write, noticed at the tick's flush", 10, FailsAt::Flush},
        {"a write larger than the buffer, noticed at once", 100000, FailsAt::Write},
        {"a small write, noticed at the close", 10, FailsAt::Close},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReportLog log;
        auto file = RecordFile::Create("/dev/full", log.Reporter());
        ASSERT_TRUE(file);
        const bool written = file->Write(std::string(c.firstWrite, 'a'));
        EXPECT_EQ(written, c.failsAt != FailsAt::Write);
        if (c.failsAt == FailsAt::Flush) {
            EXPECT_FALSE(file->Flush());
        }
        if (c.failsAt != FailsAt::Close) {
            EXPECT_TRUE(file->Failed());
            const std::int64_t countAtFailure = file->ByteCount();
            EXPECT_FALSE(file->Write("more"));
            EXPECT_FALSE(file->Flush());
            EXPECT_EQ(file->ByteCount(), countAtFailure);
        }
        EXPECT_FALSE(file->Close());
        ASSERT_EQ(log.messages.size(), 1u);
        EXPECT_NE(log.messages[0].find("/dev/full"), std::string::npos) << log.messages[0];
        EXPECT_NE(log.messages[0].find(std::strerror(ENOSPC)), std::string::npos)
            << log.messages[0];
    }
}

TEST(RecordFile, ClosedFileRefusesWritesAndClosesOnlyOnce) {
    ScratchDirectory dir;
    ReportLog log;
    auto file = RecordFile::Create(dir.File("r.raw"), log.Reporter());
    ASSERT_TRUE(file);
    file->Write("abc");
    EXPECT_TRUE(file->Close());
    EXPECT_FALSE(file->Write("def"));
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(file->ByteCount(), 3);
    EXPECT_EQ(ReadBytes(dir.File("r.raw")), "abc");
    EXPECT_TRUE(log.messages.empty());
}

}  // namespace
}  // namespace kivo
