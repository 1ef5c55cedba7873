// The ship's feed: each sample's datagram is its row of the live CSV recording behind the tag,
// and a feed that cannot send is counted and told once a run of failures, never in the way.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "FakePrompts.h"
#include "FileBytes.h"
#include "MemorySerialPort.h"
#include "SessionFixture.h"
#include "core/export/ShipFeed.h"
#include "core/host/Session.h"

namespace kivo::test {
namespace {

// Keeps what was sent; each send fails with the reason scripted for it ("" or none: it goes).
class FakeSender final : public DatagramSender {
public:
    std::vector<std::string> sent;
    std::deque<std::string> failures;
    std::string openError;  // not empty: Open fails with it
    std::string address;

    bool Open(const std::string& host, int port, std::string& error) override {
        address = host + ":" + std::to_string(port);
        error = openError;
        return openError.empty();
    }
    bool Send(std::string_view datagram, std::string& reason) override {
        std::string failure;
        if (!failures.empty()) {
            failure = failures.front();
            failures.pop_front();
        }
        if (!failure.empty()) {
            reason = failure;
            return false;
        }
        sent.emplace_back(datagram);
        return true;
    }
    void Close() override {}
    std::string Description() const override { return address; }
};

// Every reading a millisecond later than the one before: an output that read the clock on
// its own for a line would give it another host time than the CSV file.
class RunningClock final : public Clock {
public:
    LocalTime Now() override { return {2026, 12, 8, 16, 2, 3}; }
    std::int64_t UtcMilliseconds() override { return ++ms_; }
    std::int64_t SteadyMilliseconds() override { return ms_; }

private:
    std::int64_t ms_ = 1796745723123;
};

struct FeedSession {
    ScratchDirectory folder;
    MemorySerialPort port;
    FakePrompts prompts;
    RunningClock clock;
    FakeSender sender;
    Session session{Seams{port,
                          prompts,
                          clock,
                          SessionFixture::DefaultPorts(),
                          {},
                          folder.path,
                          true,
                          nullptr,
                          &sender}};

    FeedSession() {
        port.openable = {"/dev/meter1"};
        session.Timer55msTimer();
        session.Port().SelectHostPort(1, 2);
        LoadDeviceFile("fluoro.dev");
    }
    void LoadDeviceFile(const std::string& name) {
        prompts.openAnswers.push_back(TestDataFile(name));
        session.LoadDeviceFileClick();
        Ticks(10);
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) session.Timer55msTimer();
    }
    void Receive(const std::string& bytes) {
        port.incoming += bytes;
        Ticks(1);
    }
};

// The rows of a CSV file, each without its quality flags and with its CR LF.
std::vector<std::string> RowsWithoutFlags(const std::string& path) {
    std::istringstream in(ReadBytes(path));
    std::vector<std::string> rows;
    std::size_t flags = 0;
    bool heading = true;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        line.pop_back();  // the CR
        if (heading) {
            for (std::size_t at = line.find("_qc"); at != std::string::npos;
                 at = line.find("_qc", at + 1))
                ++flags;
            heading = false;
            continue;
        }
        for (std::size_t i = 0; i < flags; ++i) line.erase(line.rfind(','));
        rows.push_back(line + "\r\n");
    }
    return rows;
}

TEST(ShipFeed, EachDatagramIsTheSamplesCsvRowBehindTheTag) {
    FeedSession f;
    const std::string first = f.folder.File("first.csv");
    ASSERT_TRUE(f.session.Recording().StartCsvRecording(first));
    ASSERT_TRUE(f.session.SetShipFeed({true, "192.0.2.7", 5000, ""}));
    f.Receive("11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n");
    f.Receive("$ack\r\n11/20/03\t12:30:46\t4051\t1001\t241\t3001\r\n");
    ASSERT_TRUE(f.session.Recording().StopCsvRecording());
    // Another device file: other columns from its first line on, and its name as the tag.
    f.LoadDeviceFile("scatter9.dev");
    const std::string second = f.folder.File("second.csv");
    ASSERT_TRUE(f.session.Recording().StartCsvRecording(second));
    f.Receive("11/20/03\t100\t200\t300\t400\t500\t600\t700\t800\t900\t12:30:47\t3000\r\n");
    ASSERT_TRUE(f.session.Recording().StopCsvRecording());

    const std::vector<std::string> rows = RowsWithoutFlags(first);
    const std::vector<std::string> later = RowsWithoutFlags(second);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(later.size(), 1u);
    const std::vector<std::string> expected = {"fluoro," + rows[0], "fluoro," + rows[1],
                                               "scatter9," + later[0]};
    EXPECT_EQ(f.sender.sent, expected);
}

TEST(ShipFeed, AFailedSendIsCountedAndToldInTheSessionWhileTheRecordingGoesOn) {
    FeedSession f;
    const std::string path = f.folder.File("on.csv");
    ASSERT_TRUE(f.session.Recording().StartCsvRecording(path));
    ASSERT_TRUE(f.session.SetShipFeed({true, "ship-das", 5000, "bb9-fwd"}));
    f.sender.failures = {"", "No buffer space available"};
    for (int second = 45; second < 48; ++second)
        f.Receive("11/20/03\t12:30:" + std::to_string(second) + "\t4050\t1000\t240\t3000\r\n");
    ASSERT_TRUE(f.session.Recording().StopCsvRecording());
    EXPECT_EQ(RowsWithoutFlags(path).size(), 3u);
    ASSERT_EQ(f.sender.sent.size(), 2u);
    EXPECT_EQ(f.sender.sent[0].rfind("bb9-fwd,2003-11-20T12:30:45Z,", 0), 0u) << f.sender.sent[0];
    const std::deque<std::string> notices = f.session.TakeFeedNotices();
    const std::deque<std::string> told = {
        "UDP feed to ship-das:5000: cannot send (No buffer space available); 1 line not sent so "
        "far"};
    EXPECT_EQ(notices, told);
    ASSERT_TRUE(f.session.Status().feed.has_value());
    EXPECT_EQ(f.session.Status().feed->sent, 2);
    EXPECT_EQ(f.session.Status().feed->notSent, 1);
    EXPECT_NE(ReadBytes(f.session.EventLogPath()).find(told.front()), std::string::npos);
}

TEST(ShipFeed, SettingsThatCannotWorkAreRefusedWithTheReason) {
    FeedSession f;
    std::string why;
    EXPECT_FALSE(f.session.SetShipFeed({true, "192.0.2.7", 5000, "bb9,aft"}, &why));
    EXPECT_NE(why.find("comma"), std::string::npos) << why;
    f.sender.openError = "cannot find the address of nowhere.invalid";
    EXPECT_FALSE(f.session.SetShipFeed({true, "nowhere.invalid", 5000, ""}, &why));
    EXPECT_EQ(why, f.sender.openError);
    f.Receive("11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n");
    EXPECT_TRUE(f.sender.sent.empty());
    EXPECT_FALSE(f.session.Status().feed.has_value());
}

// Runs of failures are told once each; sending again only once it has lasted, so a port
// nobody listens on (every other datagram refused) is one run.
TEST(ShipFeed, ARunOfFailuresIsToldOnceAndItsEndOnce) {
    const std::string refused = "Connection refused";
    auto alternating = [&](int count) {
        std::vector<std::string> script;
        for (int i = 0; i < count; ++i) script.push_back(i % 2 ? refused : "");
        return script;
    };
    auto then = [](std::vector<std::string> script, int count, const std::string& outcome) {
        script.insert(script.end(), static_cast<std::size_t>(count), outcome);
        return script;
    };
    const std::string cannot = "UDP feed to 127.0.0.1:9: cannot send (Connection refused); ";
    const std::string again = "UDP feed to 127.0.0.1:9: sending again; ";
    struct Case {
        const char* name;
        std::vector<std::string> script;
        std::vector<std::string> told;
        std::int64_t notSent;
    };
    const int recovered = ShipFeed::kRecoveredAfter;
    const Case cases[] = {
        {"nobody listening", alternating(60), {cannot + "1 line not sent so far"}, 30},
        {"back after a while",
         then({"", refused, refused}, recovered, ""),
         {cannot + "1 line not sent so far", again + "2 lines not sent so far"},
         2},
        {"not back yet",
         then({refused}, recovered - 1, ""),
         {cannot + "1 line not sent so far"},
         1},
        {"two runs",
         then(then({refused}, recovered, ""), 2, refused),
         {cannot + "1 line not sent so far", again + "1 line not sent so far",
          cannot + "2 lines not sent so far"},
         3},
    };
    for (const Case& c : cases) {
        FakeSender sender;
        std::vector<std::string> told;
        ShipFeed feed(
            &sender, [] { return std::int64_t{0}; },
            [&](const std::string& text) { told.push_back(text); });
        std::string error;
        ASSERT_TRUE(feed.Start("127.0.0.1", 9, "t", {}, error));
        sender.failures.assign(c.script.begin(), c.script.end());
        const Sample sample;
        for (std::size_t i = 0; i < c.script.size(); ++i) feed.OnSample(sample);
        EXPECT_EQ(told, c.told) << c.name;
        EXPECT_EQ(feed.NotSent(), c.notSent) << c.name;
        EXPECT_EQ(feed.Sent() + feed.NotSent(), static_cast<std::int64_t>(c.script.size()))
            << c.name;
    }
}

}  // namespace
}  // namespace kivo::test
