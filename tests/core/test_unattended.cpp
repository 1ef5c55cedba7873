// Unattended logging: files by the clock cut at UTC boundaries with no line lost or written
// twice, and the disk watch that stops recording before the disk is full.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "SessionFixture.h"
#include "core/data/MeterClockZone.h"
#include "core/host/DiskWatch.h"
#include "core/recording/EngrRecording.h"
#include "core/recording/Rotation.h"

namespace kivo::test {
namespace {

std::int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
    return SecondsSinceEpoch({year, month, day, hour, minute, second});
}

TEST(Rotation, PiecesAreNamedByTheirUtcStart) {
    const std::int64_t start = Utc(2026, 12, 10, 9, 0, 0);
    EXPECT_EQ(RotatedPath("cast.raw", start), "cast_20261210T090000Z.raw");
    EXPECT_EQ(RotatedPath("/data/cruise.2026/cast", start),
              "/data/cruise.2026/cast_20261210T090000Z");
    EXPECT_EQ(RotatedPath("log.track.csv", start), "log.track_20261210T090000Z.csv");
    EXPECT_EQ(RotatedPath("/data/.raw", start), "/data/.raw_20261210T090000Z");
    EXPECT_EQ(PeriodStart(Utc(2026, 12, 10, 9, 59, 59), 3600), Utc(2026, 12, 10, 9, 0, 0));
    EXPECT_EQ(PeriodStart(Utc(2026, 12, 31, 23, 59, 59), 86400), Utc(2026, 12, 31, 0, 0, 0));
    EXPECT_EQ(PeriodStart(Utc(2027, 1, 1, 0, 0, 0), 86400), Utc(2027, 1, 1, 0, 0, 0));
    EXPECT_EQ(PeriodStart(Utc(2026, 12, 10, 9, 7, 5), 600), Utc(2026, 12, 10, 9, 0, 0));
}

// Every line the meter sent is in exactly one piece, in order; each piece is a whole file of
// its kind, heading and all.
TEST(Rotation, ACutAtAnHourAndAtADayLosesAndRepeatsNoLine) {
    struct Case {
        std::int64_t period;
        std::int64_t start;
        const char* firstPiece;
        const char* secondPiece;
    };
    const std::vector<Case> cases = {
        {3600, Utc(2026, 12, 31, 22, 59, 57), "_20261231T225957Z", "_20261231T230000Z"},
        {86400, Utc(2026, 12, 31, 23, 59, 58), "_20261231T235958Z", "_20270101T000000Z"},
    };
    for (const Case& c : cases) {
        MeterSession meter;
        meter.clock.utcMs = c.start * 1000 + 250;
        const std::string base = meter.folder.File("log");
        ASSERT_EQ(
            meter.session.Recording().StartRotating({base + ".raw", base + ".eng", ""}, c.period),
            StartOutcome::Started);
        std::string sent;
        for (int i = 0; i < 12; ++i) {
            const std::string line = "11/20/03\t12:30:" + std::to_string(10 + i) + "\t4050\t" +
                                     std::to_string(1000 + i) + "\t240\t3000\r\n";
            sent += line;
            meter.Receive(line);
            meter.clock.Advance(500);
        }
        meter.session.Recording().StopAll();
        const std::string first = ReadBytes(base + c.firstPiece + ".raw");
        const std::string second = ReadBytes(base + c.secondPiece + ".raw");
        EXPECT_FALSE(first.empty());
        EXPECT_FALSE(second.empty());
        EXPECT_EQ(first + second, sent);
        const std::string heading =
            EngrHeading(meter.session.Calibration(), meter.session.Calibration().definitionCount);
        for (const char* piece : {c.firstPiece, c.secondPiece}) {
            const std::string eng = ReadBytes(base + piece + ".eng");
            EXPECT_EQ(eng.rfind(heading, 0), 0U) << piece;
        }
        std::size_t pieces = 0;
        for (const auto& entry : std::filesystem::directory_iterator(meter.folder.path))
            pieces += entry.path().extension() == ".raw" ? 1 : 0;
        EXPECT_EQ(pieces, 2U);
        const std::string events = ReadBytes(meter.folder.File("kivoview-events.log"));
        EXPECT_NE(events.find("raw recording stopped " + base + c.firstPiece + ".raw, "),
                  std::string::npos)
            << events;
        EXPECT_NE(events.find("raw recording started " + base + c.secondPiece + ".raw"),
                  std::string::npos);
    }
}

TEST(DiskWatch, LowOnceFullOnceAndTheTimeLeftAtTheRate) {
    std::int64_t free = 3000 * DiskWatch::kMegabyte;
    DiskWatch watch([&](const std::string&) { return free; });
    const std::vector<std::string> files = {"/data/a.raw"};
    std::int64_t written = 0;
    std::int64_t now = 0;
    const auto step = [&](std::int64_t bytesPerSecond) {
        now += DiskWatch::kCheckEveryMs;
        written += bytesPerSecond * DiskWatch::kCheckEveryMs / 1000;
        free -= bytesPerSecond * DiskWatch::kCheckEveryMs / 1000;
        return watch.Check(now, files, written);
    };
    EXPECT_EQ(step(0), DiskWatch::Event::None);
    // 1 MB/s: an hour is 3.5 GB, more than is free.
    EXPECT_EQ(step(1024 * 1024), DiskWatch::Event::Low);
    EXPECT_EQ(step(1024 * 1024), DiskWatch::Event::None);  // told once
    ASSERT_TRUE(watch.SecondsLeft());
    EXPECT_NEAR(*watch.SecondsLeft(), (free - DiskWatch::kStopBelow) / (1024.0 * 1024.0), 1.0);
    EXPECT_EQ(watch.Check(now + 10, files, written), DiskWatch::Event::None);  // not yet again
    free = 40 * DiskWatch::kMegabyte;
    EXPECT_EQ(step(1024 * 1024), DiskWatch::Event::Full);
    EXPECT_EQ(step(1024 * 1024), DiskWatch::Event::None);
    watch.Check(now, {}, 0);  // nothing recorded: afresh
    EXPECT_FALSE(watch.Full());

    EXPECT_EQ(DiskText(41.9 * 3600, 0), "Disk: 41 h left");
    EXPECT_EQ(DiskText(25.5 * 60, 0), "Disk: 25 min left");
    EXPECT_EQ(DiskText(std::nullopt, 13207024435), "Disk: 12.3 GB free");
}

// A session whose disk is nearly full stops its recordings, keeps what they wrote and says
// why.
TEST(DiskWatch, ASessionStopsRecordingBeforeTheDiskIsFull) {
    ScratchDirectory folder;
    MemorySerialPort port;
    FakePrompts prompts;
    FixedClock clock;
    ComPortMap ports;
    ports.Map(1, "/dev/meter1");
    port.openable = {"/dev/meter1"};
    std::int64_t free = 2 * DiskWatch::kLowFloor;
    Session session(Seams{port, prompts, clock, ports, [](int) {}, folder.path, false, nullptr,
                          nullptr, [&](const std::string&) { return free; }});
    session.Timer55msTimer();
    session.Port().SelectHostPort(1, 2);
    ASSERT_TRUE(session.LoadDeviceFile(TestDataFile("fluoro.dev")));
    ASSERT_TRUE(session.Recording().StartRawRecording(folder.File("a.raw")));
    const std::string line = "11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n";
    for (int second = 0; second < 6; ++second) {
        port.incoming += line;
        session.Timer55msTimer();
        clock.Advance(1000);
        session.Timer1SecondTimer();
        if (second == 3) free = DiskWatch::kStopBelow - 1;
    }
    EXPECT_TRUE(session.StoppedForFullDisk());
    EXPECT_FALSE(session.Status().rawRecording);
    EXPECT_EQ(ReadBytes(folder.File("a.raw")), line + line + line + line + line);
    const std::deque<std::string> notices = session.TakeDiskNotices();
    ASSERT_EQ(notices.size(), 1U);
    EXPECT_EQ(notices.front().rfind("disk nearly full: 49 MB free where " + folder.File("a.raw") +
                                        " is; recording stopped before the disk is full",
                                    0),
              0U)
        << notices.front();
}

}  // namespace
}  // namespace kivo::test
