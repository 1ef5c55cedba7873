// No output of the window's session lands on a file it has open or loaded, however the
// name reaches it; the files it keeps by itself are never written through a link; an
// appended recording whose last line was cut goes on on a line of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "SessionFixture.h"

namespace kivo::test {
namespace {

const char kDataLine[] = "11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n";

// A running raw recording, a replay and a device file loaded from the scratch folder.
struct BusySession : MeterSession {
    std::string device = folder.File("meter.dev");
    std::string raw = folder.File("live.raw");
    std::string replay = folder.File("earlier.raw");
    BusySession() {
        WriteBytes(device, ReadBytes(TestDataFile("fluoro.dev")));
        WriteBytes(replay, kDataLine);
        EXPECT_TRUE(session.LoadDeviceFile(device));
        EXPECT_TRUE(session.Recording().StartRawRecording(raw));
        Receive(kDataLine);
    }
};

TEST(OutputGuard, NoRecordingOpensOntoAFileTheSessionHasOpenOrLoaded) {
    struct Case {
        std::string name;
        std::function<std::string(BusySession&)> target;  // makes the name to try
        std::function<bool(BusySession&, const std::string&)> start;
        std::string holder;
    };
    const auto csv = [](BusySession& f, const std::string& p) {
        return f.session.Recording().StartCsvRecording(p);
    };
    const auto eng = [](BusySession& f, const std::string& p) {
        return f.session.Recording().StartEngrRecording(p);
    };
    const auto download = [](BusySession& f, const std::string& p) {
        return f.session.StartDownload(p);
    };
    const auto link = [](BusySession& f, const std::string& to) {
        const std::string name = f.folder.File("link");
        EXPECT_EQ(symlink(to.c_str(), name.c_str()), 0);
        return name;
    };
    const std::vector<Case> cases = {
        {"CSV onto the raw file", [](BusySession& f) { return f.raw; }, csv, "raw recording"},
        {"engineering units onto the device file", [](BusySession& f) { return f.device; }, eng,
         "device file"},
        {"download onto a link to the raw file", [&](BusySession& f) { return link(f, f.raw); },
         download, "raw recording"},
        {"CSV onto a hard link of the device file",
         [](BusySession& f) {
             const std::string name = f.folder.File("hard.csv");
             EXPECT_EQ(::link(f.device.c_str(), name.c_str()), 0);
             return name;
         },
         csv, "device file"},
        {"CSV onto the replayed file",
         [](BusySession& f) {
             EXPECT_TRUE(f.session.OpenReplay(f.replay));
             return f.replay;
         },
         csv, "replayed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BusySession f;
        const std::string before[] = {ReadBytes(f.raw), ReadBytes(f.device), ReadBytes(f.replay)};
        const std::string target = c.target(f);
        EXPECT_FALSE(c.start(f, target));
        EXPECT_EQ(f.prompts.warnings.size(), 1u);
        for (const FakePrompts::Box& warning : f.prompts.warnings)
            EXPECT_NE(warning.text.find(c.holder), std::string::npos) << warning.text;
        EXPECT_TRUE(f.session.Status().rawRecording);
        EXPECT_EQ(ReadBytes(f.raw), before[0]);
        EXPECT_EQ(ReadBytes(f.device), before[1]);
        EXPECT_EQ(ReadBytes(f.replay), before[2]);
    }
}

// Whoever may write the recording folder must not make the program write another file.
TEST(OutputGuard, FilesTheProgramKeepsByItselfAreNotWrittenThroughALink) {
    struct Case {
        const char* name;
        std::function<void(MeterSession&)> write;
        int writes;  // each refused, but told only once
    };
    const std::vector<Case> cases = {
        {kEventLogName, [](MeterSession& f) { f.session.LogEvent("anything"); }, 2},
        {kPortSettingsName, [](MeterSession& f) { f.session.MapPort(2, "/dev/ttyUSB7"); }, 2},
        {"last.rbs", [](MeterSession& f) { f.session.Exit(); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterSession f;
        const std::string victim = f.folder.File("victim");
        WriteBytes(victim, "not the program's\n");
        const std::string place = f.folder.File(c.name);
        std::remove(place.c_str());
        ASSERT_EQ(symlink(victim.c_str(), place.c_str()), 0);
        f.prompts.warnings.clear();
        for (int i = 0; i < c.writes; ++i) c.write(f);
        EXPECT_EQ(ReadBytes(victim), "not the program's\n");
        EXPECT_EQ(f.prompts.warnings.size(), 1u);  // told once
        for (const FakePrompts::Box& warning : f.prompts.warnings)
            EXPECT_NE(warning.text.find("symbolic link"), std::string::npos) << warning.text;
    }
}

// A power cut mid-line: the next run's first record stands on a line of its own.
TEST(OutputGuard, AppendingAfterACutLineStartsOnANewLineAndSaysSo) {
    MeterSession f;
    const std::string raw = f.folder.File("cut.raw");
    WriteBytes(raw, "11/20/03\t12:30:45\t40");
    ASSERT_TRUE(f.session.Recording().StartRawRecording(raw, RecordMode::Append));
    f.Receive(kDataLine);
    f.session.Recording().StopAll();
    EXPECT_EQ(ReadBytes(raw), std::string("11/20/03\t12:30:45\t40\r\n") + kDataLine);
    ASSERT_EQ(f.prompts.messages.size(), 1u);
    EXPECT_NE(f.prompts.messages[0].text.find(raw), std::string::npos);
}

}  // namespace
}  // namespace kivo::test
