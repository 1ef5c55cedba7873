#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "SessionFixture.h"
#include "core/host/StatusLabels.h"

namespace kivo::test {
namespace {

TEST(ReceivePump, TakesTheWholeReceiveBufferEachTick) {
    SessionFixture f;
    f.OpenMeterPort();
    for (int i = 0; i < 300; ++i) f.port.incoming += "1234567\t89\n";  // 3300 bytes
    f.Ticks(1);
    EXPECT_EQ(f.port.largestRead, Session::kReceiveBufferSize);
    EXPECT_EQ(f.session.State().BytesRead, 1000u);
    f.Ticks(3);
    EXPECT_TRUE(f.port.incoming.empty());
    EXPECT_EQ(f.session.State().BytesRead, 3300u);
    EXPECT_EQ(f.Shown().memo.total, 300u);
    EXPECT_EQ(f.Shown().memo.newest.back(), "1234567\t89");
}

TEST(ReceivePump, AFailingOrClosedPortGivesNothing) {
    SessionFixture f;
    f.Ticks(2);
    EXPECT_EQ(f.session.State().BytesRead, 0u);
    f.OpenMeterPort();
    f.port.incoming = "VER 1\r\n";
    f.port.failed = true;
    f.Ticks(1);
    EXPECT_TRUE(f.Shown().memo.total == 0);
    EXPECT_EQ(f.session.State().BytesRead, 0u);
}

TEST(AutomaticSetupRequest, LeavesOnTheTenthTickAfterAPortChange) {
    SessionFixture f;
    f.Ticks(3);
    f.OpenMeterPort();
    for (int tick = 1; tick <= 12; ++tick) {
        f.Ticks(1);
        EXPECT_EQ(f.port.written, tick >= 10 ? "$mnu\r\n" : "") << "tick " << tick;
    }
    // A second change re-arms it.
    f.session.Port().SelectHostPort(1, 2);
    f.port.written.clear();
    f.Ticks(10);
    EXPECT_EQ(f.port.written, "$mnu\r\n");
}

TEST(AutomaticSetupRequest, IsLostWhenNoPortIsOpenWhenItFallsDue) {
    SessionFixture f;
    f.Ticks(12);
    EXPECT_EQ(f.session.State().autoMenuCountdown, 0u);
    f.OpenMeterPort();
    EXPECT_EQ(f.port.written, "");
}

TEST(PortSelection, SpeedItemsGiveTheirRatesAndNoSelectionGives19200) {
    const std::vector<std::pair<int, int>> cases = {{0, 4800},  {1, 9600},   {2, 19200},
                                                    {3, 38400}, {-1, 19200}, {7, 19200}};
    for (const auto& [item, baud] : cases) {
        SessionFixture f;
        f.session.Port().SelectHostPort(1, item);
        EXPECT_EQ(f.port.openBaud, baud) << "item " << item;
        if (item < 0 || item > 3) {
            EXPECT_EQ(f.Shown().baudItem, 2);
        }
    }
}

TEST(PortSelection, ASpeedWithoutAPortOpensNothingButArmsTheRequest) {
    SessionFixture f;
    f.Ticks(12);
    f.session.Port().SelectHostPort(-1, 0);
    EXPECT_TRUE(f.port.opens.empty());
    EXPECT_EQ(f.session.State().BaudIndex, 0);
    EXPECT_EQ(f.session.State().autoMenuCountdown, 10u);
    EXPECT_FALSE(f.Shown().choosePortPrompt);
}

TEST(PortSelection, OpenAndCloseFailuresAreToldAsCommErrors) {
    SessionFixture f;
    f.session.Port().SelectHostPort(3, -1);  // COM3 maps to /dev/ttyS2, absent here
    ASSERT_EQ(f.prompts.messages.size(), 1u);
    EXPECT_EQ(f.prompts.messages[0].caption, "Comm Error");
    EXPECT_EQ(f.prompts.messages[0].text, "Could Not Open Comm Port 3");
    EXPECT_EQ(f.port.opens.back(), "/dev/ttyS2@19200");
    EXPECT_EQ(f.Shown().choosePortPrompt, false);
    EXPECT_EQ(f.session.State().PortNumber, 0);

    f.OpenMeterPort();
    f.port.failClose = true;
    f.session.Port().SelectHostPort(0, 2);
    ASSERT_EQ(f.prompts.messages.size(), 2u);
    EXPECT_EQ(f.prompts.messages[1].text, "Could Not Close Comm  Port");
    EXPECT_EQ(f.session.State().PortNumber, 0);
    EXPECT_EQ(f.Shown().choosePortPrompt, true);
}

TEST(ComPortMapping, DefaultsAndOverrides) {
    ComPortMap ports;
    EXPECT_EQ(ports.PathOf(1), "/dev/ttyS0");
    EXPECT_EQ(ports.PathOf(8), "/dev/ttyS7");
    EXPECT_EQ(ports.PathOf(0), "");
    EXPECT_EQ(ports.PathOf(9), "");
    EXPECT_FALSE(ports.ApplyOverride("1=/dev/ttyUSB0").has_value());
    EXPECT_EQ(ports.PathOf(1), "/dev/ttyUSB0");
    EXPECT_FALSE(ports.ApplyOverride("8=/tmp/kivo=odd").has_value());
    EXPECT_EQ(ports.PathOf(8), "/tmp/kivo=odd");
    for (const char* bad : {"9=/dev/x", "0=/dev/x", "1", "1=", "12=/dev/x", "a=/dev/x"}) {
        EXPECT_TRUE(ports.ApplyOverride(bad).has_value()) << bad;
    }
    EXPECT_EQ(ports.PathOf(1), "/dev/ttyUSB0");
}

struct StatusCase {
    std::int64_t bytes;
    const char* raw;
};

TEST(StatusLabels, ByteCountersShowWholeKilobytes) {
    const std::vector<StatusCase> cases = {{0, "Raw File Size: 0 K"},
                                           {1023, "Raw File Size: 0 K"},
                                           {1024, "Raw File Size: 1 K"},
                                           {2047, "Raw File Size: 1 K"},
                                           {3LL << 31, "Raw File Size: 6291456 K"}};
    for (const StatusCase& c : cases) {
        SessionStatus status;
        status.rawBytes = status.engBytes = status.downloadBytes = c.bytes;
        ShownState shown;
        PresentStatus(status, shown);
        EXPECT_EQ(shown.rawFileSize, c.raw);
        const std::string kilobytes = std::string(c.raw).substr(15);
        EXPECT_EQ(shown.engrFileSize, "Engr Units File Size: " + kilobytes);
        EXPECT_EQ(shown.receiveFileSize, "Receive File Size: " + kilobytes);
    }
}

TEST(StatusLabels, RecordingAndReceiveStatusTexts) {
    SessionFixture f;
    const std::vector<std::tuple<bool, bool, const char*>> recording = {
        {false, false, "Recording:  OFF"},
        {true, false, "Recording:  Raw"},
        {false, true, "Recording:  Engr Units"},
        {true, true, "Recording:  Raw + Engr Units"}};
    for (const auto& [raw, engr, text] : recording) {
        SessionStatus status;
        status.rawRecording = raw;
        status.engRecording = engr;
        ShownState shown;
        PresentStatus(status, shown);
        EXPECT_EQ(shown.recordStatus, text);
    }
    SessionStatus csv;  // the CSV recording is named after the others
    csv.csvRecording = true;
    ShownState shown;
    PresentStatus(csv, shown);
    EXPECT_EQ(shown.recordStatus, "Recording:  CSV");
    csv.rawRecording = true;
    PresentStatus(csv, shown);
    EXPECT_EQ(shown.recordStatus, "Recording:  Raw + CSV");
    const char* statuses[] = {"Receive File Status:  ", "Receive File Status:  In Progress",
                              "Receive File Status:  Complete", "Receive File Status:  Incomplete",
                              "Receive File Status:  Cancelled"};
    for (int status = 0; status <= 4; ++status) {
        f.session.State().DownloadStatus = static_cast<DownloadState>(status);
        f.session.Timer1SecondTimer();
        EXPECT_EQ(f.Shown().receiveStatus, statuses[status]);
        EXPECT_EQ(f.Shown().receiveFailed, status == 3);
    }
    f.session.State().BytesRead = 4294967296ULL + 5;  // past 32 bits
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.Shown().bytesRead, "Bytes Read: 4294967301");
}

TEST(StatusLabels, UserModePanelAndStatisticsSelector) {
    SessionFixture f;
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.Shown().powerUser, false);
    EXPECT_EQ(f.Shown().selectors.statistics, false);
    f.session.State().powerUser = 1;
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.Shown().powerUser, true);
    EXPECT_EQ(f.Shown().selectors.statistics, true);
    f.session.State().PlotType = 1;
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.Shown().selectors.statistics, false);
}

TEST(Exit, EndsThroughTheExitSeamWithStatusZero) {
    SessionFixture f;
    f.session.Exit();
    EXPECT_EQ(f.exits, std::vector<int>({0}));
}

}  // namespace
}  // namespace kivo::test

namespace kivo::test {
namespace {

TEST(LostPort, IsToldOnceRetriedEveryTwoSecondsAndComesBack) {
    SessionFixture f;
    f.Ticks(1);
    f.OpenMeterPort();
    f.Ticks(10);
    f.port.failed = true;  // the adapter is pulled out
    f.Ticks(1);
    ASSERT_EQ(f.prompts.messages.size(), 1u);
    EXPECT_EQ(f.prompts.messages[0].caption, "Comm Error");
    EXPECT_NE(f.prompts.messages[0].text.find("Lost Comm Port 1 (/dev/meter1)"), std::string::npos);
    EXPECT_EQ(f.session.State().PortNumber, 0);
    EXPECT_EQ(f.session.Port().LostPort(), 1);
    EXPECT_EQ(f.Shown().portItem, 1);  // the selection is kept

    f.port.openable.clear();  // still gone
    const std::size_t attempts = f.port.opens.size();
    f.Ticks(36 * 3);
    EXPECT_EQ(f.port.opens.size(), attempts + 3);
    EXPECT_EQ(f.prompts.messages.size(), 1u);

    f.port.openable = {"/dev/meter1"};  // plugged in again
    f.port.failed = false;
    f.port.written.clear();
    EXPECT_TRUE(f.prompts.closed.empty());
    f.Ticks(36);
    EXPECT_EQ(f.session.State().PortNumber, 1);
    EXPECT_EQ(f.session.Port().Reconnections(), 1);
    // The box that told the loss is closed now that it is untrue.
    ASSERT_EQ(f.prompts.closed.size(), 1u);
    EXPECT_EQ(f.prompts.closed[0].caption, f.prompts.messages[0].caption);
    EXPECT_EQ(f.prompts.closed[0].text, f.prompts.messages[0].text);
    f.Ticks(10);
    EXPECT_EQ(f.port.written, "$mnu\r\n");  // as after any opening of the port
    f.port.incoming = "VER back\r\n";
    f.Ticks(1);
    EXPECT_EQ(f.Shown().memo.newest.back(), "VER back");
}

TEST(LostPort, ChoosingAnotherPortEndsTheRetrying) {
    SessionFixture f;
    f.OpenMeterPort();
    f.port.failed = true;
    f.Ticks(1);
    EXPECT_EQ(f.session.Port().LostPort(), 1);
    f.port.failed = false;
    f.session.Port().SelectHostPort(0, 2);
    EXPECT_EQ(f.session.Port().LostPort(), 0);
    const std::size_t attempts = f.port.opens.size();
    f.Ticks(100);
    EXPECT_EQ(f.port.opens.size(), attempts);
}

}  // namespace
}  // namespace kivo::test

namespace kivo::test {
namespace {

TEST(ReceivePump, ALineSplitAcrossAPortReopenIsJoined) {
    SessionFixture f;
    f.OpenMeterPort();
    f.port.incoming = "VER KI";
    f.Ticks(1);
    f.session.Port().SelectHostPort(1, 2);  // the operator picks the same port again
    f.port.incoming = "VO 1\r\n";
    f.Ticks(1);
    ASSERT_EQ(f.Shown().memo.total, 1u);
    EXPECT_EQ(f.Shown().memo.newest[0], "VER KIVO 1");
}

}  // namespace
}  // namespace kivo::test
