#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "SessionFixture.h"
#include "core/files/EventLog.h"
#include "core/host/RecordNames.h"
#include "core/host/StallWatch.h"
#include "core/settings/PortSettings.h"

namespace kivo::test {
namespace {

const char kDataLine[] = "11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n";

std::vector<std::string> LogLines(const SessionFixture& f) {
    std::istringstream in(ReadBytes(f.session.EventLogPath()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool Logged(const SessionFixture& f, const std::string& text) {
    for (const std::string& line : LogLines(f))
        if (line.find(text) != std::string::npos) return true;
    return false;
}

// One second of ticks on the test's clock.
void Second(MeterSession& f) {
    f.clock.Advance(1000);
    f.Ticks(1);
}

TEST(StallWatch, ThreeIntervalsAndNeverUnderThreeSeconds) {
    const std::vector<std::pair<std::optional<float>, std::int64_t>> cases = {
        {std::nullopt, 3000}, {4.75f, 3000}, {1.0f, 3000}, {0.5f, 6000}, {0.0f, 3000}};
    for (const auto& [rate, limit] : cases) EXPECT_EQ(StallWatch::LimitMs(rate), limit);
}

TEST(StallWatch, AStallIsSaidOnceAndEndsWithTheNextLine) {
    MeterSession f;
    f.session.BTStartClick();
    f.Receive(kDataLine);
    EXPECT_EQ(f.session.Status().secondsSinceLastLine, 0.0);
    Second(f);
    Second(f);
    EXPECT_FALSE(f.session.Status().stalled);
    Second(f);
    SessionStatus status = f.session.Status();
    EXPECT_TRUE(status.stalled);
    EXPECT_EQ(status.stalls, 1);
    EXPECT_EQ(status.secondsSinceLastLine, 3.0);
    for (int i = 0; i < 5; ++i) Second(f);
    EXPECT_EQ(f.session.Status().stalls, 1);  // once per stall, not once a tick

    f.Receive(kDataLine);
    status = f.session.Status();
    EXPECT_FALSE(status.stalled);
    EXPECT_EQ(status.stallSeconds, 8.0);
    EXPECT_TRUE(Logged(f, "Z no data for 3 s"));
    EXPECT_TRUE(Logged(f, "Z data again after 8 s"));
}

TEST(StallWatch, WatchesOnlyWhileDataWasStartedOrARecordingRuns) {
    MeterSession f;
    f.Receive(kDataLine);
    for (int i = 0; i < 10; ++i) Second(f);
    EXPECT_FALSE(f.session.Status().stalled);
    EXPECT_EQ(f.session.Status().secondsSinceLastLine, 10.0);

    // A recording started long after the last line: silence counts from its start.
    ASSERT_TRUE(f.session.Recording().StartRawRecording(f.folder.path + "/cast.raw"));
    f.Ticks(1);
    Second(f);
    Second(f);
    EXPECT_FALSE(f.session.Status().stalled);
    Second(f);
    EXPECT_TRUE(f.session.Status().stalled);
    // Stopping ends the stall without a "data again".
    f.session.Recording().StopAll();
    f.Ticks(1);
    EXPECT_FALSE(f.session.Status().stalled);
    EXPECT_FALSE(Logged(f, "data again"));
}

TEST(EraseMemory, AsksFirstAndNoSendsNothing) {
    MeterSession f;
    f.Receive("MEM 756\r\n");
    f.port.written.clear();
    f.session.Meter().EraseMemory();  // no answer given: the default, No
    EXPECT_EQ(f.port.written, "");
    ASSERT_EQ(f.prompts.questions.size(), 1u);
    EXPECT_NE(f.prompts.questions[0].text.find("194 K of logged data"), std::string::npos);
    EXPECT_NE(f.prompts.questions[0].text.find("NOT been downloaded completely"),
              std::string::npos);

    // After a complete download the question says so.
    ASSERT_TRUE(f.session.StartDownload(f.folder.path + "/memory.raw"));
    f.Receive("image etx");
    f.prompts.yesNoAnswers.push_back(true);
    f.port.written.clear();
    f.session.Meter().EraseMemory();
    EXPECT_EQ(f.port.written, "$emc\r\n");
    EXPECT_NE(f.prompts.questions[1].text.find("was downloaded completely"), std::string::npos);
    EXPECT_TRUE(Logged(f, "Z Erase Memory"));
    EXPECT_TRUE(Logged(f, "Z download complete " + f.folder.path + "/memory.raw, 9 bytes"));
}

TEST(ReceiveData, AStreamingMeterIsStoppedAndGetWaitsForAQuietTick) {
    MeterSession f;
    f.session.BTStartClick();
    f.Receive(kDataLine);
    f.port.written.clear();
    const std::string path = f.folder.path + "/memory.raw";
    ASSERT_TRUE(f.session.StartDownload(path));
    EXPECT_EQ(f.port.written, "!!!!!");
    // The meter was mid-line and sends one more before it hears the stop.
    f.Receive("11/20/03\t12:30:46\t40");
    f.Receive("50\t1000\t240\t3000\r\n");
    EXPECT_EQ(f.port.written, "!!!!!");
    f.Ticks(1);  // the quiet tick
    EXPECT_EQ(f.port.written, "!!!!!$get\r\n");
    f.Receive("IMAGE etx");
    EXPECT_EQ(ReadBytes(path), "IMAGE etx");
    EXPECT_EQ(f.session.Chain().Counts().DataLineCount, 2.0);
}

TEST(ReceiveData, AQuietMeterGetsGetAtOnce) {
    MeterSession f;
    f.port.written.clear();
    ASSERT_TRUE(f.session.StartDownload(f.folder.path + "/memory.raw"));
    EXPECT_EQ(f.port.written, "$get\r\n");
}

TEST(EventLog, LinesBeginWithTheUtcTimeAndKeepEveryCommandAsSent) {
    MeterSession f;
    f.session.BTStartClick();
    f.session.BTStopClick();
    f.port.failed = true;
    f.Ticks(1);
    const std::vector<std::string> lines = LogLines(f);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "2026-12-08T16:02:03.123Z port opened COM1 /dev/meter1 at 19200 baud");
    for (const char* text :
         {" sent $mnu", " Start Data", " sent $run", " Stop Data", " sent !!!!!",
          " port lost COM1 /dev/meter1", " message Comm Error: Lost Comm Port 1"})
        EXPECT_TRUE(Logged(f, text)) << text;
    EXPECT_EQ(f.session.EventLogPath(), f.folder.path + "/kivoview-events.log");

    // A recording moves the log beside it.
    ScratchDirectory casts;
    ASSERT_TRUE(f.session.Recording().StartRawRecording(casts.path + "/cast.raw"));
    EXPECT_EQ(f.session.EventLogPath(), casts.path + "/kivoview-events.log");
    EXPECT_TRUE(Logged(f, " raw recording started " + casts.path + "/cast.raw"));
}

TEST(UtcText, MillisecondsAndFileStamps) {
    EXPECT_EQ(UtcIsoText(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(UtcIsoText(-1), "1969-12-31T23:59:59.999Z");
    EXPECT_EQ(UtcFileStamp(1796745723999), "20261208T160203Z");
}

TEST(RecordNames, AProposalIsNeverAnExistingFile) {
    ScratchDirectory folder;
    const auto exists = [](const std::string& p) { return std::filesystem::exists(p); };
    const std::string first =
        ProposeRecordPath(folder.path, "fluoro", 1796745723123, "raw", exists);
    EXPECT_EQ(first, folder.path + "/fluoro_20261208T160203Z.raw");
    WriteBytes(first, "");
    EXPECT_EQ(ProposeRecordPath(folder.path, "fluoro", 1796745723123, "raw", exists),
              folder.path + "/fluoro_20261208T160204Z.raw");
}

TEST(RecordNames, DialogsProposeInTheLastFolderAndEngFollowsARunningRaw) {
    MeterSession f;
    ScratchDirectory casts;
    f.session.Recording().RecordRaw();  // cancelled
    ASSERT_EQ(f.prompts.saveDialogs.size(), 1u);
    EXPECT_EQ(f.prompts.saveDialogs[0].proposedPath,
              f.folder.path + "/fluoro_20261208T160203Z.raw");
    ASSERT_TRUE(f.session.Recording().StartRawRecording(casts.path + "/cast7.raw"));
    f.session.Recording().RecordEngr();
    EXPECT_EQ(f.prompts.saveDialogs[1].proposedPath, casts.path + "/cast7.eng");
    f.session.Recording().StopAll();
    f.session.Recording().RecordRaw();
    EXPECT_EQ(f.prompts.saveDialogs[2].proposedPath, casts.path + "/fluoro_20261208T160203Z.raw");
}

TEST(PortSettings, AChosenDeviceIsOpenedAtTheNextStartAndCommandLineWins) {
    ScratchDirectory settings;
    {
        MemorySerialPort port;
        FakePrompts prompts;
        FixedClock clock;
        Session session(Seams{port, prompts, clock, ComPortMap(), nullptr, settings.path, true});
        session.MapPort(2, "/dev/serial/by-id/usb-FTDI_A1-if00-port0");
        session.MapPort(3, settings.path + "/gone");
    }
    const std::string kept = ReadBytes(settings.path + "/kivoview-ports.ini");
    std::istringstream in(kept);
    EXPECT_EQ(ReadPortSettings(in).devices[1], "/dev/serial/by-id/usb-FTDI_A1-if00-port0");

    ComPortMap commandLine;
    commandLine.Map(2, "/dev/ttyUSB5");
    MemorySerialPort port;
    FakePrompts prompts;
    FixedClock clock;
    Session session(Seams{port, prompts, clock, commandLine, nullptr, settings.path, true});
    EXPECT_EQ(session.Ports().PathOf(2), "/dev/ttyUSB5");
    EXPECT_EQ(session.Ports().PathOf(3), settings.path + "/gone");
    session.Timer1SecondTimer();
    session.Timer1SecondTimer();
    ASSERT_EQ(prompts.messages.size(), 1u);  // told once, and only of the missing one
    EXPECT_EQ(prompts.messages[0].caption, "Port Missing");
    EXPECT_NE(prompts.messages[0].text.find("COM3"), std::string::npos);

    // A later save keeps the operator's choice, not the device given for this run.
    session.MapPort(4, "/dev/ttyUSB1");
    std::istringstream again(ReadBytes(settings.path + "/kivoview-ports.ini"));
    EXPECT_EQ(ReadPortSettings(again).devices[1], "/dev/serial/by-id/usb-FTDI_A1-if00-port0");
}

// The meter's clock in the zone the window set it to (here four hours behind UTC), told in
// the header with the meter's identification; the computer's receive time beside it.
TEST(CsvRecording, EveryLineCarriesTheHostsUtcReceiveTime) {
    MeterSession f;
    const std::string path = f.folder.path + "/cast.csv";
    f.session.Recording().SetMeterClockZone(*MeterClockZone::Parse("-04:00"));
    f.session.Recording().SetMeterIdentification("VER KIVO 1.16 SN 0042");
    ASSERT_TRUE(f.session.Recording().StartCsvRecording(path));
    f.Receive(kDataLine);
    f.clock.Advance(250);
    f.Receive(kDataLine);
    ASSERT_TRUE(f.session.Recording().StopCsvRecording());
    const std::string text = ReadBytes(path);
    EXPECT_NE(text.find("# meter_clock_zone: UTC-04:00\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("# meter_identification: VER KIVO 1.16 SN 0042\r\n"), std::string::npos);
    std::istringstream in(text.substr(text.find("\ntime,") + 1));
    std::string heading, first, second;
    std::getline(in, heading);
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_EQ(heading.rfind("time,host_time,", 0), 0u);
    EXPECT_EQ(first.rfind("2003-11-20T16:30:45Z,2026-12-08T16:02:03.123Z,", 0), 0u) << first;
    EXPECT_EQ(second.rfind("2003-11-20T16:30:45Z,2026-12-08T16:02:03.373Z,", 0), 0u) << second;
    EXPECT_TRUE(Logged(f, " CSV recording stopped " + path));
}

}  // namespace
}  // namespace kivo::test
