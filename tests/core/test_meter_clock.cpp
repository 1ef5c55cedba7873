// The meter's clock against the computer's: set in UTC unless chosen otherwise, the offset
// measured and logged, and a device file of another meter noticed.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "SessionFixture.h"
#include "core/files/FileDigest.h"
#include "core/host/ClockOffset.h"
#include "core/protocol/MeterIdentity.h"

namespace kivo::test {
namespace {

MeterClock Meter(int month, int day, int year, int hour, int minute, int second) {
    return MeterClock{month, day, year, hour, minute, second};
}

HostClockSnapshot Host(int month, int day, int year, int hour, int minute, int second) {
    return HostClockSnapshot{hour, minute, second, day, month, year};
}

TEST(ClockOffset, MeterMinusHostAcrossDaysMonthsAndYears) {
    const struct {
        const char* name;
        MeterClock meter;
        HostClockSnapshot host;
        std::optional<std::int64_t> offset;
    } cases[] = {
        {"same instant", Meter(12, 9, 26, 2, 47, 19), Host(12, 9, 26, 2, 47, 19), 0},
        {"meter ahead", Meter(12, 9, 26, 2, 47, 21), Host(12, 9, 26, 2, 47, 19), 2},
        {"meter behind over midnight", Meter(12, 8, 26, 23, 59, 58), Host(12, 9, 26, 0, 0, 3), -5},
        {"over a year's end", Meter(1, 1, 27, 0, 0, 1), Host(12, 31, 26, 23, 59, 59), 2},
        {"over a leap day", Meter(3, 1, 28, 0, 0, 0), Host(2, 29, 28, 0, 0, 0), 86400},
        {"four hours of local time", Meter(12, 8, 26, 22, 47, 18), Host(12, 9, 26, 2, 47, 19),
         -4 * 3600 - 1},
        {"no date from the meter", Meter(99, 0, 0, 2, 47, 19), Host(12, 9, 26, 2, 47, 19), {}},
        {"a time out of range", Meter(12, 9, 26, 24, 0, 0), Host(12, 9, 26, 2, 47, 19), {}},
        {"host never read", Meter(12, 9, 26, 2, 47, 19), HostClockSnapshot{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MeterMinusHostSeconds(c.meter, c.host), c.offset) << c.name;
}

TEST(ClockOffset, LoggedAtTheMomentsAskedAndWhenItMovesMoreThanTwoSeconds) {
    ClockOffsetLog log;
    EXPECT_EQ(log.Describe("before the download"),
              "clock offset (meter - computer UTC) before the download not known");
    log.LogNext("at connection");
    EXPECT_EQ(log.Take(1), "clock offset (meter - computer UTC) +1 s, at connection");
    // A whole-second clock against another wavers by a second: not news.
    EXPECT_EQ(log.Take(2), std::nullopt);
    EXPECT_EQ(log.Take(-1), std::nullopt);
    EXPECT_EQ(log.Take(4), "clock offset (meter - computer UTC) +4 s, changed by +3 s");
    EXPECT_EQ(log.Take(4), std::nullopt);
    log.LogNext("after setting the clock");
    EXPECT_EQ(log.Take(0), "clock offset (meter - computer UTC) 0 s, after setting the clock");
    EXPECT_EQ(log.Current(), 0);
}

TEST(MeterIdentity, SerialNumbersAreFoundAndComparedWithoutCaseOrLeadingZeros) {
    const struct {
        const char* text;
        std::optional<std::string> serial;
    } cases[] = {
        {"VER 2.1 KIVO-BB9 SN 0042", "42"}, {"KIVO BB9 S/N:0042 sea", "42"},
        {"kivo fl sn#a17", "A17"},          {"KIVO SN 0000", "0"},
        {"KIVO-BB9 SN0042", std::nullopt},  // not a word of its own
        {"SNOW KIVO", std::nullopt},        {"KIVO FL 2.1", std::nullopt},
        {"KIVO SN ", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(SerialNumberIn(c.text), c.serial) << c.text;
    EXPECT_FALSE(CheckDeviceAgainstMeter("VER 2.1 SN 0042", "KIVO BB9 sn 42"));
    EXPECT_FALSE(CheckDeviceAgainstMeter("VER 2.1", "KIVO BB9 SN 0042"));
    const std::optional<DeviceMismatch> other =
        CheckDeviceAgainstMeter("VER 2.1 SN 0001", "KIVO BB9 SN 0042");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->meterSerial, "1");
    EXPECT_EQ(other->deviceSerial, "42");
}

std::string LogText(const SessionFixture& f) { return ReadBytes(f.session.EventLogPath()); }

// The fixture's computer: 2026-12-08 16:02:03 UTC, and 12:02:03 on its local clock (UTC-4).
struct ClockSession : MeterSession {
    ClockSession() {
        clock.now = LocalTime{2026, 12, 8, 12, 2, 3};
        port.written.clear();
    }
};

TEST(SetDateAndTime, SetsTheMeterToUtcUnlessLocalTimeIsChosenAndKeepsTheChoice) {
    ClockSession f;
    f.session.Meter().SetMeterClock();
    EXPECT_EQ(f.port.written, "$CLK 160203\r\n$DAT 120826\r\n");
    f.Receive("CLK 16:02:03\r\nDAT 12/08/26\r\nVER KIVO\r\n");
    f.session.Timer500msTimer();
    EXPECT_EQ(f.Shown().setup.hostClock, "Host:  12/08/26  16:02:03 UTC");

    f.session.MeterClocks().SetMeterClockLocal(true);
    f.port.written.clear();
    f.session.Meter().SetMeterClock();
    f.session.State().alternateCommands = 1;
    f.session.Meter().SetMeterClock();
    f.session.Meter().SetMeterTime();
    EXPECT_EQ(f.port.written, "$CLK 120203\r\n$DAT 120826\r\n$SDT 120826\r\n$SCK 120203\r\n");

    // The next start keeps the operator's choice.
    MemorySerialPort port;
    FakePrompts prompts;
    FixedClock clock;
    Session next(Seams{port, prompts, clock, ComPortMap(), nullptr, f.folder.path, true});
    EXPECT_TRUE(next.MeterClocks().MeterClockLocal());
}

TEST(ClockOffset, IsLoggedAtConnectionAfterSettingAndWhenTheMeterDrifts) {
    ClockSession f;
    // Data lines with the meter's date and time, 3 s ahead of the computer's UTC.
    f.Receive("12/08/26\t16:02:06\t4050\t1000\t240\t3000\r\n");
    EXPECT_EQ(f.session.MeterClocks().ClockOffsetSeconds(), 3);
    f.Receive("12/08/26\t16:02:07\t4050\t1000\t240\t3000\r\n");
    f.clock.Advance(60000);
    f.Receive("12/08/26\t16:03:13\t4050\t1000\t240\t3000\r\n");  // 10 s ahead now
    f.session.Meter().SetMeterClock();
    f.Receive("CLK 16:03:03\r\nDAT 12/08/26\r\n");
    ASSERT_TRUE(f.session.StartDownload(f.folder.path + "/memory.raw"));

    const std::string log = LogText(f);
    std::vector<std::string> offsets;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find("clock offset");
        if (at != std::string::npos) offsets.push_back(line.substr(at));
    }
    const std::vector<std::string> expected = {
        "clock offset (meter - computer UTC) +3 s, at connection",
        "clock offset (meter - computer UTC) +10 s, changed by +7 s",
        "clock offset (meter - computer UTC) before setting the clock +10 s",
        "clock offset (meter - computer UTC) 0 s, after setting the clock",
        "clock offset (meter - computer UTC) before the download 0 s",
    };
    EXPECT_EQ(offsets, expected) << log;
    EXPECT_NE(log.find("the meter's clock set from the computer's UTC clock"), std::string::npos);
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.Shown().clockOffset, "Clock Offset: 0 s");
}

TEST(ClockOffset, AReplayedFileTellsNothingOfTheMetersClockNow) {
    ClockSession f;
    const std::string raw = f.folder.path + "/old.raw";
    std::ofstream(raw) << "11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n";
    ASSERT_TRUE(f.session.OpenReplay(raw));
    f.session.BTStartClick();
    f.Ticks(20);
    EXPECT_GE(f.session.Chain().Counts().DataLineCount, 1.0);
    EXPECT_EQ(f.session.MeterClocks().ClockOffsetSeconds(), std::nullopt);
}

TEST(DeviceFile, OfAnotherMeterIsWarnedOfOnceAndEveryLoadIsLoggedWithItsDigest) {
    SessionFixture f;
    f.Ticks(1);
    f.OpenMeterPort();
    const std::string device = f.folder.path + "/sn42.dev";
    {
        std::ifstream in(TestDataFile("fluoro.dev"));
        std::string first;
        std::getline(in, first);
        std::ofstream out(device);
        out << "KIVO FL SN 0042\r\n" << in.rdbuf();
    }
    const auto receive = [](SessionFixture& s, const std::string& bytes) {
        s.port.incoming += bytes;
        s.Ticks(1);
    };
    ASSERT_TRUE(f.session.LoadDeviceFile(device));
    EXPECT_TRUE(f.prompts.warnings.empty());  // the meter has not said who it is
    receive(f, "VER 2.1 KIVO FL SN 0001\r\n");
    ASSERT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_EQ(f.prompts.warnings[0].caption, "Device File May Belong to Another Meter");
    EXPECT_NE(f.prompts.warnings[0].text.find("serial number 1,"), std::string::npos);
    EXPECT_NE(f.prompts.warnings[0].text.find("serial number 42."), std::string::npos);
    // The same pair again, by a reload or a second identification: no second box.
    ASSERT_TRUE(f.session.LoadDeviceFile(device));
    receive(f, "VER 2.1 KIVO FL SN 0001 again\r\n");
    EXPECT_EQ(f.prompts.warnings.size(), 1u);

    const std::string log = LogText(f);
    EXPECT_NE(log.find("meter identification VER 2.1 KIVO FL SN 0001"), std::string::npos);
    const std::string loaded = "device file loaded " + device + ", SHA-256 " +
                               Sha256HexOfFile(device).value() +
                               ", first line \"KIVO FL SN 0042\", meter VER 2.1 KIVO FL SN 0001";
    EXPECT_NE(log.find(loaded), std::string::npos) << log;

    // The meter's own device file: nothing to warn of.
    SessionFixture g;
    g.Ticks(1);
    g.OpenMeterPort();
    ASSERT_TRUE(g.session.LoadDeviceFile(device));
    receive(g, "VER 2.1 KIVO FL SN 42\r\n");
    EXPECT_TRUE(g.prompts.warnings.empty());
}

}  // namespace
}  // namespace kivo::test
