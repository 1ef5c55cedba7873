#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "SessionFixture.h"
#include "core/recording/EngrRecording.h"

namespace kivo::test {
namespace {

const std::string kLine1 = "11/20/03\t12:30:45\t4050\t1000\t240\t3000";
const std::string kLine2 = "11/20/03\t12:30:46\t4060\t1001\t250\t3010";

using Recording = MeterSession;

TEST(RawRecording, OnlyAcceptedDataLinesAreWrittenAsTheyArrived) {
    Recording f;
    f.prompts.saveAnswers.push_back(f.folder.File("out.raw"));
    f.session.Recording().RecordRaw();
    ASSERT_EQ(f.prompts.saveDialogs.size(), 1u);
    EXPECT_EQ(f.prompts.saveDialogs[0].title, "Record Raw Data");
    EXPECT_EQ(f.Shown().rawFile, "Raw File Name:  " + f.folder.File("out.raw"));
    f.Receive("VER KIVO\r\n" + kLine1 + "\r\n1\t2\t3\r\n" + kLine2 + "\n");
    // Written at the end of the tick, before any Stop Record.
    EXPECT_EQ(ReadBytes(f.folder.File("out.raw")), kLine1 + "\r\n" + kLine2 + "\r\n");
    EXPECT_EQ(f.session.Status().rawBytes,
              static_cast<std::int64_t>(kLine1.size() + kLine2.size() + 4));
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.Shown().recordStatus, "Recording:  Raw");
    f.session.Recording().StopAll();
    EXPECT_FALSE(f.session.Recording().RawActive());
    f.Receive(kLine1 + "\n");
    EXPECT_EQ(ReadBytes(f.folder.File("out.raw")), kLine1 + "\r\n" + kLine2 + "\r\n");
}

TEST(RawRecording, AFileThatCannotBeCreatedIsToldWithItsReason) {
    Recording f;
    const std::string path = f.folder.File("no-such-folder/out.raw");
    f.prompts.saveAnswers.push_back(path);
    f.session.Recording().RecordRaw();
    EXPECT_FALSE(f.session.Recording().RawActive());
    ASSERT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_NE(f.prompts.warnings[0].text.find(path), std::string::npos);
    EXPECT_NE(f.prompts.warnings[0].text.find("No such file or directory"), std::string::npos);
}

TEST(RawRecording, AFullDiskIsToldOnceAndStopsTheRecording) {
    if (!DevFullAvailable()) GTEST_SKIP() << "no /dev/full here";
    Recording f;
    ASSERT_TRUE(f.session.Recording().StartRawRecording("/dev/full"));
    f.Receive(kLine1 + "\n");
    EXPECT_FALSE(f.session.Recording().RawActive());
    ASSERT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_NE(f.prompts.warnings[0].text.find("/dev/full"), std::string::npos);
    EXPECT_NE(f.prompts.warnings[0].text.find("No space left on device"), std::string::npos);
    f.Receive(kLine2 + "\n");
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_EQ(f.Shown().recordStatus, "Recording:  OFF");
}

TEST(RawRecording, RecordRawAgainClosesThePreviousFileFirst) {
    Recording f;
    ASSERT_TRUE(f.session.Recording().StartRawRecording(f.folder.File("one.raw")));
    f.Receive(kLine1 + "\n");
    ASSERT_TRUE(f.session.Recording().StartRawRecording(f.folder.File("two.raw")));
    f.Receive(kLine2 + "\n");
    EXPECT_EQ(ReadBytes(f.folder.File("one.raw")), kLine1 + "\r\n");
    EXPECT_EQ(ReadBytes(f.folder.File("two.raw")), kLine2 + "\r\n");
    EXPECT_EQ(f.session.Status().rawBytes, static_cast<std::int64_t>(kLine2.size() + 2));
}

// A killed program keeps every line of the ticks before: each tick flushes what it wrote.
TEST(RawRecording, ALineSurvivesAKillAfterItsTick) {
    Recording f;
    const std::string raw = f.folder.File("killed.raw");
    const std::string eng = f.folder.File("killed.eng");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        f.session.Recording().StartRawRecording(raw);
        f.session.Recording().StartEngrRecording(eng);
        for (int i = 0; i < 5; ++i) f.Receive(kLine1 + "\n");
        f.port.incoming += kLine2 + "\n";  // arrives, but its tick never comes
        const char done = 'k';
        if (write(ready[1], &done, 1) != 1) _exit(3);
        for (;;) pause();
    }
    close(ready[1]);
    char done = 0;
    ASSERT_EQ(read(ready[0], &done, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    std::string expected;
    for (int i = 0; i < 5; ++i) expected += kLine1 + "\r\n";
    EXPECT_EQ(ReadBytes(raw), expected);
    const std::string engineering = ReadBytes(eng);
    EXPECT_EQ(std::count(engineering.begin(), engineering.end(), '\n'), 6);  // heading + 5
}

TEST(EngrRecording, HeadingAndRecordsAsTheConversionGivesThem) {
    Recording f;
    f.prompts.saveAnswers.push_back(f.folder.File("out.eng"));
    f.session.Recording().RecordEngr();
    EXPECT_EQ(f.prompts.openDialogs.size(), 1u);  // a device file was loaded: no second dialog
    EXPECT_EQ(f.prompts.saveDialogs[0].title, "Open Engr Units Record File");
    EXPECT_EQ(f.Shown().engrFile, "Engr Units File:  " + f.folder.File("out.eng"));
    f.Receive(kLine1 + "\r\n");
    const std::string bytes = ReadBytes(f.folder.File("out.eng"));
    EXPECT_EQ(bytes,
              EngrHeading(f.session.Calibration(), 6) +
                  EngrRecord(0.0, f.session.Chain().Current().meterClock, f.session.Calibration(),
                             6, f.session.Chain().Current().engineering));
    EXPECT_EQ(bytes.substr(0, 15), "Count\tDate\tTime");
    EXPECT_NE(bytes.find("0\t112003\t123045\t"), std::string::npos);
    EXPECT_EQ(f.session.Status().engBytes, static_cast<std::int64_t>(bytes.size()));
}

TEST(EngrRecording, WithoutADeviceFileTheMenuLoadComesFirst) {
    SessionFixture f;
    f.prompts.saveAnswers.push_back(f.folder.File("plain.eng"));
    f.session.Recording().RecordEngr();  // the device dialog is cancelled; the file opens anyway
    EXPECT_EQ(f.prompts.openDialogs.size(), 1u);
    EXPECT_TRUE(f.session.Recording().EngrActive());
    EXPECT_EQ(ReadBytes(f.folder.File("plain.eng")), "Count\tDate\tTime\r\n");
}

TEST(EngrRecording, ADeviceFileSwapStopsItButNotTheRawRecording) {
    Recording f;
    ASSERT_TRUE(f.session.Recording().StartRawRecording(f.folder.File("swap.raw")));
    ASSERT_TRUE(f.session.Recording().StartEngrRecording(f.folder.File("swap.eng")));
    f.Receive(kLine1 + "\n");
    const std::string before = ReadBytes(f.folder.File("swap.eng"));
    f.prompts.openAnswers.push_back(TestDataFile("scatter9.dev"));
    f.session.LoadDeviceFileClick();
    EXPECT_FALSE(f.session.Recording().EngrActive());
    EXPECT_TRUE(f.session.Recording().RawActive());
    ASSERT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_EQ(f.prompts.warnings[0].caption, "Engr Units Recording Stopped");
    EXPECT_NE(f.prompts.warnings[0].text.find("\nThe raw recording goes on. Press Record Engr"),
              std::string::npos);
    f.Receive("11/20/03\t1\t2\t3\t4\t5\t6\t7\t8\t9\t12:30:47\t3000\n");
    EXPECT_EQ(ReadBytes(f.folder.File("swap.eng")), before);
    EXPECT_EQ(ReadBytes(f.folder.File("swap.raw")),
              kLine1 + "\r\n11/20/03\t1\t2\t3\t4\t5\t6\t7\t8\t9\t12:30:47\t3000\r\n");
}

TEST(EngrRecording, ADeviceFileSwapWithoutARawRecordingMentionsNone) {
    Recording f;
    ASSERT_TRUE(f.session.Recording().StartEngrRecording(f.folder.File("alone.eng")));
    f.prompts.openAnswers.push_back(TestDataFile("scatter9.dev"));
    f.session.LoadDeviceFileClick();
    ASSERT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_EQ(f.prompts.warnings[0].text,
              "Another device file was loaded, so the engineering-units recording to\n" +
                  f.folder.File("alone.eng") +
                  "\nwas stopped: its heading describes the columns of the previous device "
                  "file.\nPress Record Engr to start a new file.");
}

TEST(Replay, LinesGoThroughTheSameChainOnePerTick) {
    for (const char* ending : {"\r\n", "\n"}) {
        Recording f;
        const std::string file = f.folder.File("in.raw");
        WriteBytes(file, kLine1 + ending + "VER X" + ending + kLine2 + ending);
        f.prompts.openAnswers.push_back(file);
        f.session.ReplayRawFileClick();
        EXPECT_TRUE(f.session.State().ReplayMode);
        EXPECT_EQ(f.Shown().pumpIntervalMs, 220);
        EXPECT_EQ(f.Shown().startButton, "Start Replay");
        EXPECT_EQ(f.Shown().stopButton, "Stop Replay");
        EXPECT_EQ(f.Shown().replayMode, true);
        ASSERT_TRUE(f.session.Recording().StartRawRecording(f.folder.File("again.raw")));
        const std::size_t memo = f.Shown().memo.total;
        f.port.incoming = kLine2 + "\n";  // the port is not read while replaying
        f.Ticks(3);                       // paused at the first line
        EXPECT_EQ(f.Shown().memo.total, memo);

        f.session.BTStartClick();
        EXPECT_EQ(f.Shown().startButton, "Resume Replay");
        f.Ticks(1);
        EXPECT_EQ(f.Shown().memo.newest.back(), kLine1);
        f.session.BTStopClick();
        f.Ticks(2);
        EXPECT_EQ(f.Shown().memo.total, memo + 1);
        f.session.BTStartClick();
        f.Ticks(2);
        EXPECT_EQ(f.Shown().memo.total, memo + 3);
        EXPECT_EQ(f.Shown().memo.newest.back(), kLine2);
        f.Ticks(2);  // end of file: paused, rewound, "Start Replay"
        EXPECT_FALSE(f.session.State().ReplayRunning);
        EXPECT_EQ(f.Shown().startButton, "Start Replay");
        f.session.BTStartClick();
        f.Ticks(1);
        EXPECT_EQ(f.Shown().memo.newest.back(), kLine1);  // from the top again
        EXPECT_EQ(ReadBytes(f.folder.File("again.raw")),
                  kLine1 + "\r\n" + kLine2 + "\r\n" + kLine1 + "\r\n");
        EXPECT_EQ(f.port.written.find("$run"), std::string::npos);
        EXPECT_EQ(f.port.incoming, kLine2 + "\n");

        f.session.RealTimeDataClick();
        EXPECT_FALSE(f.session.State().ReplayMode);
        EXPECT_EQ(f.Shown().pumpIntervalMs, 55);
        EXPECT_EQ(f.Shown().startButton, "Start Data");
        f.Ticks(1);
        EXPECT_EQ(f.Shown().memo.newest.back(), kLine2);
    }
}

TEST(Replay, AFileThatWillNotOpenChangesNothing) {
    Recording f;
    f.prompts.openAnswers.push_back(f.folder.File("missing.raw"));
    f.session.ReplayRawFileClick();
    EXPECT_FALSE(f.session.State().ReplayMode);
    EXPECT_EQ(f.Shown().pumpIntervalMs, 55);
}

TEST(SampleRate, ShownOnBothLabelsAndReplayInReplay) {
    Recording f;
    f.session.BTStartClick();
    for (int i = 0; i < 6; ++i) {
        f.port.incoming += kLine1 + "\n";
        f.Ticks(2);  // one line every two ticks: 1 / 0.110 s
    }
    EXPECT_EQ(f.Shown().sampleRate, "Sample Rate: 9.09 Hz");
    EXPECT_EQ(f.Shown().sampleRate, "Sample Rate: 9.09 Hz");
}

TEST(Download, TheMeterMemoryGoesToTheReceiveFileAndNowhereElse) {
    Recording f;
    f.Receive("MEM 10\r\n");
    f.prompts.saveAnswers.push_back(f.folder.File("memory.raw"));
    f.session.BTGetDataClick();
    EXPECT_EQ(f.prompts.saveDialogs[0].title, "Retrieve Meter's Internal Data");
    EXPECT_EQ(f.port.written.substr(f.port.written.size() - 6), "$get\r\n");
    EXPECT_EQ(f.Shown().receiveStatus, "Receive File Status:  In Progress");
    EXPECT_EQ(f.Shown().downloadProgress.maximum, 2640);
    const std::uint64_t bytesRead = f.session.State().BytesRead;
    const std::size_t memo = f.Shown().memo.total;
    f.Receive("line one\r\nline two E");
    f.Receive("tX and the rest");
    f.Receive(kLine1 + "\n");
    EXPECT_EQ(ReadBytes(f.folder.File("memory.raw")), "line one\r\nline two EtX and the rest");
    EXPECT_EQ(f.session.State().DownloadStatus, DownloadState::Complete);
    const ProgressShown bar = f.Shown().downloadProgress;
    EXPECT_EQ(bar.value, bar.maximum);  // full, though 2640 bytes were expected
    EXPECT_EQ(f.session.State().BytesRead, bytesRead + kLine1.size() + 1);
    EXPECT_EQ(f.Shown().memo.total, memo + 1);  // the line after the download only
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.Shown().receiveStatus, "Receive File Status:  Complete");
}

TEST(Download, SilenceEndsItIncompleteAndCancelKeepsCancelled) {
    Recording f;
    ASSERT_TRUE(f.session.StartDownload(f.folder.File("quiet.raw")));
    f.Receive("abc");
    f.Ticks(59);
    EXPECT_TRUE(f.session.Download().Active());
    f.Ticks(1);
    EXPECT_FALSE(f.session.Download().Active());
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.Shown().receiveStatus, "Receive File Status:  Incomplete");
    EXPECT_EQ(f.Shown().receiveFailed, true);

    ASSERT_TRUE(f.session.StartDownload(f.folder.File("cancelled.raw")));
    f.port.written.clear();
    f.session.BitBtnCancelClick();
    EXPECT_EQ(f.port.written, "!!!!!");
    f.Receive("data etx");
    f.session.Timer1SecondTimer();
    EXPECT_EQ(f.Shown().receiveStatus, "Receive File Status:  Cancelled");
    EXPECT_EQ(f.Shown().receiveFailed, false);
}

TEST(Download, ReceiveDataDuringADownloadIsRefused) {
    Recording f;
    ASSERT_TRUE(f.session.StartDownload(f.folder.File("first.raw")));
    f.prompts.saveAnswers.push_back(f.folder.File("second.raw"));
    f.session.BTGetDataClick();
    EXPECT_TRUE(f.prompts.saveDialogs.empty());
    ASSERT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(f.folder.File("second.raw")));
}

// The station window comes with a Record button, proposing the last values: what the operator
// typed goes into the event log at the start, into the file's header over the metadata file's
// values, and into the settings for the next start; cancelling keeps it all as it was.
TEST(StationHeader, OfferedAsARecordingStartsLoggedWrittenAndKeptForTheNextStart) {
    Recording f;
    WriteBytes(f.folder.File("kivoview-metadata.ini"), "station = from the file\nproject = P\n");
    StationHeader typed;
    typed.station = "  Line P 4 ";
    typed.cast = "7";
    typed.operatorName = "J. Smith";
    typed.notes = "first cast\nafter the storm";
    f.prompts.saveAnswers.push_back(f.folder.File("out.csv"));
    f.prompts.stationAnswers.push_back(typed);
    f.session.Recording().RecordCsv();
    ASSERT_EQ(f.prompts.stationsProposed.size(), 1u);
    EXPECT_TRUE(f.prompts.stationsProposed[0].Empty());
    f.Receive(kLine1 + "\n");
    f.session.Recording().StopAll();

    const std::string csv = ReadBytes(f.folder.File("out.csv"));
    for (const std::string line :
         {"# station: Line P 4\r\n", "# cast: 7\r\n", "# operator: J. Smith\r\n",
          "# notes: first cast after the storm\r\n", "# project: P\r\n"})
        EXPECT_NE(csv.find(line), std::string::npos) << line << " not in\n" << csv;
    EXPECT_EQ(csv.find("from the file"), std::string::npos);
    EXPECT_NE(ReadBytes(f.session.EventLogPath())
                  .find("station header: station Line P 4; cast 7; operator J. Smith; notes "
                        "first cast after the storm"),
              std::string::npos);

    // Cancelled: the values stay, and the next recording is logged with them.
    f.prompts.saveAnswers.push_back(f.folder.File("out.raw"));
    f.session.Recording().RecordRaw();
    ASSERT_EQ(f.prompts.stationsProposed.size(), 2u);
    EXPECT_EQ(f.prompts.stationsProposed[1].station, "Line P 4");
    EXPECT_EQ(f.session.Recording().ExportFacts().station.cast, "7");
    f.session.Recording().StopAll();

    FakePrompts later;
    Session next(Seams{f.port, later, f.clock, SessionFixture::DefaultPorts(), [](int) {},
                       f.folder.path, true});
    next.Timer55msTimer();
    later.stationAnswers.push_back(std::nullopt);
    next.Recording().EditStation();
    ASSERT_EQ(later.stationsProposed.size(), 1u);
    EXPECT_EQ(later.stationsProposed[0], f.session.Recording().Station());
}

}  // namespace
}  // namespace kivo::test
