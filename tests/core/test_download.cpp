#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "core/recording/Download.h"

namespace kivo {
namespace {

using test::ReadBytes;

struct DownloadBench {
    test::ScratchDirectory dir;
    test::ReportLog log;
    MemoryDownload download{log.Reporter()};

    std::string Path(int n = 1) const { return dir.File("memory" + std::to_string(n) + ".raw"); }
    bool Start(int n = 1, std::int32_t pages = -1) { return download.Start(Path(n), pages); }
    // One tick of the receive timer during a download: the read, then the idle countdown.
    void Tick(const std::string& bytes = "") {
        download.PumpDownload(bytes);
        download.IdleTick();
    }
};

TEST(MemoryDownload, StartsInProgress) {
    DownloadBench bench;
    EXPECT_EQ(bench.download.Status(), DownloadState::None);
    ASSERT_TRUE(bench.Start(1, 10));
    EXPECT_TRUE(bench.download.Active());
    EXPECT_EQ(bench.download.Status(), DownloadState::InProgress);
    EXPECT_EQ(bench.download.IdleTicks(), MemoryDownload::kIdleTicks);
    EXPECT_EQ(bench.download.BytesReceived(), 0);
    EXPECT_EQ(bench.download.ExpectedBytes(), 2640);
    EXPECT_TRUE(std::filesystem::exists(bench.Path()));
}

TEST(MemoryDownload, EndMarkerInAnyCaseAndAnySplit) {
    struct Case {
        const char* name;
        std::vector<std::string> reads;
        std::string file;  // the receive file when it ends
    };
    const std::vector<Case> cases = {
        {"lower case", {"data etx"}, "data etx"},
        {"capitals", {"dataETX"}, "dataETX"},
        {"mixed", {"eTx"}, "eTx"},
        {"split E|TX", {"12\t34\r\nE", "TX\r\n"}, "12\t34\r\nETX\r\n"},
        {"split ET|x", {"Et", "x"}, "Etx"},
        {"one byte a tick", {"e", "t", "X"}, "etX"},
        {"the rest of the read stays", {"abc", "etxTAIL\r\n"}, "abcetxTAIL\r\n"},
        {"first marker counts", {"etxetx"}, "etxetx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadBench bench;
        ASSERT_TRUE(bench.Start());
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            EXPECT_TRUE(bench.download.Active()) << "ended before read " << i;
            bench.Tick(c.reads[i]);
        }
        EXPECT_FALSE(bench.download.Active());
        EXPECT_EQ(bench.download.Status(), DownloadState::Complete);
        EXPECT_EQ(bench.download.IdleTicks(), 0);
        EXPECT_EQ(bench.download.BytesReceived(), static_cast<std::int64_t>(c.file.size()));
        // Later reads are ordinary input, not the download's.
        bench.Tick("late bytes");
        EXPECT_EQ(ReadBytes(bench.Path()), c.file);
        EXPECT_EQ(bench.download.Status(), DownloadState::Complete);
        EXPECT_TRUE(bench.log.messages.empty());
    }
}

TEST(MemoryDownload, NearMissesDoNotEndIt) {
    DownloadBench bench;
    ASSERT_TRUE(bench.Start());
    const std::string reads[] = {"et x", "ETY", std::string("e\0tx", 4), "xte", "\xc3\xa9t", "x"};
    for (const std::string& read : reads) bench.Tick(read);
    EXPECT_TRUE(bench.download.Active());
    EXPECT_EQ(bench.download.Status(), DownloadState::InProgress);
}

TEST(MemoryDownload, EveryTickThatWroteIsOnDisk) {
    DownloadBench bench;
    ASSERT_TRUE(bench.Start());
    bench.Tick(std::string(499, 'a'));
    EXPECT_EQ(ReadBytes(bench.Path()), std::string(499, 'a'));
    bench.Tick("bc");
    EXPECT_EQ(ReadBytes(bench.Path()), std::string(499, 'a') + "bc");
    EXPECT_EQ(bench.download.BytesReceived(), 501);
}

TEST(MemoryDownload, SilenceTimesOut) {
    struct Case {
        const char* name;
        int ticksWithBytes;  // the first ticks each bring a byte
    };
    const Case cases[] = {{"nothing ever arrives", 0}, {"the meter stops", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadBench bench;
        ASSERT_TRUE(bench.Start());
        for (int i = 0; i < c.ticksWithBytes; ++i) bench.Tick("d");
        for (int silent = 1; silent < MemoryDownload::kIdleTicks; ++silent) bench.Tick();
        // Nothing arrived at all: the 61st tick after the start ends it; otherwise the 60th
        // silent one.
        if (c.ticksWithBytes == 0) bench.Tick();
        EXPECT_TRUE(bench.download.Active());
        bench.Tick();
        EXPECT_FALSE(bench.download.Active());
        EXPECT_EQ(bench.download.Status(), DownloadState::Incomplete);
        EXPECT_EQ(ReadBytes(bench.Path()),
                  std::string(static_cast<std::size_t>(c.ticksWithBytes), 'd'));
    }
}

TEST(MemoryDownload, CancelStaysCancelledWhateverEndsIt) {
    struct Case {
        const char* name;
        bool byMarker;
    };
    for (const Case& c : {Case{"end marker", true}, Case{"time-out", false}}) {
        SCOPED_TRACE(c.name);
        DownloadBench bench;
        ASSERT_TRUE(bench.Start());
        bench.Tick("abc");
        bench.download.Cancel();
        EXPECT_EQ(bench.download.Status(), DownloadState::Cancelled);
        EXPECT_TRUE(bench.download.Active());  // the transfer goes on
        if (c.byMarker) {
            bench.Tick("ETX");
        } else {
            for (int i = 0; i <= MemoryDownload::kIdleTicks; ++i) bench.Tick();
        }
        EXPECT_FALSE(bench.download.Active());
        EXPECT_EQ(bench.download.Status(), DownloadState::Cancelled);
    }
}

TEST(MemoryDownload, CancelWithoutADownloadOnlySetsTheStatus) {
    DownloadBench bench;
    bench.download.Cancel();
    EXPECT_EQ(bench.download.Status(), DownloadState::Cancelled);
    for (int i = 0; i < 100; ++i) bench.Tick("etx");
    EXPECT_FALSE(bench.download.Active());
    EXPECT_EQ(bench.download.Status(), DownloadState::Cancelled);
}

TEST(MemoryDownload, WindowCarriesOverIntoTheNextDownload) {
    DownloadBench bench;
    EXPECT_EQ(bench.download.EndMarkerWindow(), "xxx");
    ASSERT_TRUE(bench.Start(1));
    bench.Tick("data... e");
    bench.Tick("t");
    for (int i = 0; i <= MemoryDownload::kIdleTicks; ++i) bench.Tick();
    ASSERT_EQ(bench.download.Status(), DownloadState::Incomplete);
    EXPECT_EQ(bench.download.EndMarkerWindow(), " et");

    ASSERT_TRUE(bench.Start(2));
    EXPECT_EQ(bench.download.EndMarkerWindow(), " et");  // not cleared by the start
    bench.Tick("x and the rest");
    EXPECT_EQ(bench.download.Status(), DownloadState::Complete);
    EXPECT_EQ(ReadBytes(bench.Path(2)), "x and the rest");
    EXPECT_EQ(ReadBytes(bench.Path(1)), "data... et");
}

TEST(MemoryDownload, SecondStartWhileRunningIsRefused) {
    DownloadBench bench;
    ASSERT_TRUE(bench.Start(1));
    bench.Tick("first ");
    EXPECT_FALSE(bench.Start(2));
    ASSERT_EQ(bench.log.messages.size(), 1u);
    EXPECT_EQ(bench.log.messages[0], MemoryDownload::kAlreadyRunningText);
    EXPECT_FALSE(std::filesystem::exists(bench.Path(2)));
    bench.Tick("goes on etx");
    EXPECT_EQ(ReadBytes(bench.Path(1)), "first goes on etx");
    EXPECT_EQ(bench.download.BytesReceived(), 17);
}

TEST(MemoryDownload, FileThatCannotBeCreatedStartsNothing) {
    DownloadBench bench;
    const std::string path = bench.dir.File("missing folder/memory.raw");
    EXPECT_FALSE(bench.download.Start(path, 5));
    EXPECT_FALSE(bench.download.Active());
    EXPECT_EQ(bench.download.Status(), DownloadState::None);
    ASSERT_EQ(bench.log.messages.size(), 1u);
    EXPECT_NE(bench.log.messages[0].find(path), std::string::npos);
    EXPECT_NE(bench.log.messages[0].find(std::strerror(ENOENT)), std::string::npos);
}

TEST(MemoryDownload, LostBytesMakeItIncomplete) {
    if (!test::DevFullAvailable()) GTEST_SKIP() << "no /dev/full here";
    DownloadBench bench;
    ASSERT_TRUE(bench.download.Start("/dev/full", -1));
    bench.Tick("data");
    bench.Tick("more data");
    bench.Tick("etx");
    EXPECT_FALSE(bench.download.Active());
    EXPECT_EQ(bench.download.Status(), DownloadState::Incomplete);
    EXPECT_EQ(bench.download.ExpectedBytes(), 0);
    ASSERT_EQ(bench.log.messages.size(), 1u);
    EXPECT_NE(bench.log.messages[0].find(std::strerror(ENOSPC)), std::string::npos);
}

TEST(MemoryDownload, IdleTicksWithoutADownloadChangeNothing) {
    DownloadBench bench;
    ASSERT_TRUE(bench.Start());
    bench.Tick("etx");
    ASSERT_EQ(bench.download.Status(), DownloadState::Complete);
    for (int i = 0; i < 2 * MemoryDownload::kIdleTicks; ++i) bench.download.IdleTick();
    EXPECT_EQ(bench.download.Status(), DownloadState::Complete);
    EXPECT_EQ(bench.download.IdleTicks(), 0);
}

}  // namespace
}  // namespace kivo
