// kivo-log: a meter logged for days on a computer nobody watches. The window's own session
// runs on the same 55 ms tick, so its record files are the window's to the byte.
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "KivoVersion.h"
#include "core/export/CsvExporter.h"
#include "core/files/FileIdentity.h"
#include "core/files/OutputFile.h"
#include "core/files/RegularFile.h"
#include "core/host/Session.h"
#include "core/recording/EngrRecording.h"
#include "core/seams/BaudRates.h"
#include "core/settings/PortSettings.h"
#include "gps/GpsdSource.h"
#include "net/UdpSender.h"
#include "tools/common/CommandLine.h"
#include "tools/common/ConsolePrompts.h"
#include "tools/common/PosixSerialPort.h"
#include "tools/kivo-log/LogOptions.h"
#include "tools/kivo-log/RecordTargets.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Under the service manager stderr is the journal: systemd names its stream in
// JOURNAL_STREAM ("device:inode"), which holds while stderr is still that stream.
bool ToTheJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (stream == nullptr) return false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
    struct stat status {};
    return fstat(STDERR_FILENO, &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "kivo-log: %s\n", message.c_str());
    return 1;
}

// A record file the options may not use: told like a mistake on the command line.
int Refuse(const std::string& message) {
    std::fprintf(stderr, "kivo-log: %s\n", message.c_str());
    return 2;
}

// A record file asked for that stopped recording: its write failed (already told).
bool RecordFileFailed(const kivo::LogOptions& options, const kivo::SessionStatus& status) {
    return (!options.rawPath.empty() && !status.rawRecording) ||
           (!options.engPath.empty() && !status.engRecording) ||
           (!options.csvPath.empty() && !status.csvRecording);
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// One status line: what the window's labels and chart legend would show.
void PrintStatus(kivo::Session& session, std::FILE* out) {
    const kivo::SessionStatus status = session.Status();
    const std::string rate = status.sampleRateHz ? kivo::SampleRateLabel(*status.sampleRateHz)
                                                 : std::string("Sample Rate: -");
    std::fprintf(out, "%s  %s  lines %.0f", Now().c_str(), rate.c_str(), status.dataLines);
    const kivo::ChartModel& chart = session.Plot().Model();
    for (int channel = 0; channel < chart.ChannelCount(); ++channel)
        std::fprintf(out, "  | %s", chart.Channel(channel).title.c_str());
    if (status.rawRecording)
        std::fprintf(out, "  | raw %lld bytes", static_cast<long long>(status.rawBytes));
    if (status.engRecording)
        std::fprintf(out, "  | eng %lld bytes", static_cast<long long>(status.engBytes));
    if (status.gps) std::fprintf(out, "  | %s", status.gps->text.c_str());
    if (!status.diskText.empty()) std::fprintf(out, "  | %s", status.diskText.c_str());
    if (status.feed) {
        std::fprintf(out, "  | udp %lld sent", static_cast<long long>(status.feed->sent));
        if (status.feed->notSent > 0)
            std::fprintf(out, ", %lld not sent", static_cast<long long>(status.feed->notSent));
    }
    std::fprintf(out, "\n");
    std::fflush(out);
}

// True when a record file is the program's standard output (by name or as the file it was
// redirected to): the status lines then go to stderr, never into the recording.
bool RecordsToStandardOutput(const kivo::LogOptions& options) {
    const kivo::FileIdentity out = kivo::IdentityOf(STDOUT_FILENO, "");
    for (const std::string& target : {options.rawPath, options.engPath, options.csvPath}) {
        if (target.empty()) continue;
        if (target == kivo::OutputFile::kStandardOutput ||
            kivo::SameFile(out, kivo::IdentityOf(target)))
            return true;
    }
    return false;
}

// Does nothing: its arrival is what matters. Without SA_RESTART it ends a write that blocks
// (a FIFO whose reader stopped reading, a stuck device) with EINTR, so a run given
// --duration ends on time whatever its outputs do.
void Interrupt(int) {}

// From the end of --duration on (with a second's grace for a clean stop), SIGALRM comes
// five times a second until the program has ended.
void EndOnTime(double durationSeconds) {
    struct sigaction action {};
    action.sa_handler = Interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGALRM, &action, nullptr);
    const double at = durationSeconds + 1.0;
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(at);
    timer.it_value.tv_usec = static_cast<suseconds_t>((at - std::floor(at)) * 1e6);
    timer.it_interval.tv_usec = 200000;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

// The folder the event log is kept in: that of the first record file, as the window keeps it
// beside its recordings. None without a record file.
std::optional<std::string> EventLogFolder(const kivo::LogOptions& options) {
    for (const std::string& target : {options.rawPath, options.engPath, options.csvPath}) {
        if (target.empty() || target.rfind("/dev/", 0) == 0) continue;
        const std::string folder = std::filesystem::path(target).parent_path().string();
        return folder.empty() ? std::string(".") : folder;
    }
    return std::nullopt;
}

// A stall begun or ended since the last look: one line on stderr each, as the window shows
// it in red; the session has put it in the event log.
class StallReport {
public:
    void Look(const kivo::SessionStatus& status) {
        if (status.stalled && status.stalls != told_) {
            told_ = status.stalls;
            std::fprintf(stderr, "No data for %d s at %s\n", static_cast<int>(status.stallSeconds),
                         Now().c_str());
            std::fflush(stderr);
        } else if (!status.stalled && stalled_ && status.secondsSinceLastLine &&
                   *status.secondsSinceLastLine < status.stallSeconds) {
            std::fprintf(stderr, "Data again at %s after %d s\n", Now().c_str(),
                         static_cast<int>(status.stallSeconds));
            std::fflush(stderr);
        }
        stalled_ = status.stalled;
    }

private:
    int told_ = 0;
    bool stalled_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    using kivo::ParsedLogLine;
    const ParsedLogLine parsed =
        kivo::ParseLogOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.kind) {
        case ParsedLogLine::Kind::Help:
            std::fputs(kivo::LogUsage().c_str(), stdout);
            return 0;
        case ParsedLogLine::Kind::Version:
            std::puts("kivo-log " KIVO_VERSION);
            return 0;
        case ParsedLogLine::Kind::Error:
            std::fprintf(stderr, "kivo-log: %s (see --help)\n", parsed.error.c_str());
            return 2;
        case ParsedLogLine::Kind::Run:
            break;
    }
    const kivo::LogOptions& options = parsed.options;
    std::signal(SIGPIPE, SIG_IGN);

    // --com N and --port COMN stand for the device the window's port dialog kept for COMn,
    // as the window would open it from this folder.
    const int portNumber = options.comNumber != 0 ? options.comNumber : 1;
    kivo::ComPortMap ports;
    ports.ApplySettingsFile(kivo::kPortSettingsName);
    if (!options.portPath.empty()) ports.Map(portNumber, options.portPath);
    const std::string portPath = ports.PathOf(portNumber);

    // Refused before anything is opened: nothing the run would destroy is touched.
    if (const auto why = kivo::RefuseSharedTargets(options, portPath)) return Refuse(*why);
    std::FILE* const statusOut = RecordsToStandardOutput(options) ? stderr : stdout;
    for (const std::string& target : {options.rawPath, options.engPath, options.csvPath}) {
        if (const auto why = kivo::RefuseExistingTarget(target, options)) return Refuse(*why);
    }

    kivo::PosixSerialPort port;
    kivo::ConsolePrompts prompts("kivo-log", true);
    kivo::SystemClock clock;
    kivo::GpsdSource gpsd;
    kivo::UdpSender udp;
    kivo::Session session(kivo::ToolSeams{port, prompts, clock, ports, &gpsd, &udp});
    // What the run reads is never written: the port and the ports file besides the device
    // file (registered as it loads) and the record files (as they open).
    const kivo::FileRegistry::Registration portFile =
        session.Files().Register(portPath, kivo::roles::kPort);
    const kivo::FileRegistry::Registration portSettings =
        session.Files().Register(kivo::kPortSettingsName, kivo::roles::kPortSettings);
    if (const std::optional<std::string> folder = EventLogFolder(options))
        session.SetEventLogFolder(*folder);
    session.LogEvent("kivo-log " KIVO_VERSION " started");
    session.Recording().SetSoftware("kivo-log " KIVO_VERSION, kivo::CommandLineText(argc, argv));
    session.Timer55msTimer();  // the start-up work of the first tick

    // A FIFO or a device as device file would block or never end: only a regular file loads.
    if (!kivo::IsRegularFile(options.devicePath))
        return Fail("cannot open the device file '" + options.devicePath + "'");
    if (!session.LoadDeviceFile(options.devicePath))
        return Fail("the device file '" + options.devicePath + "' does not load");
    if (options.alternate) session.State().alternateCommands = true;
    session.Recording().SetStation(options.station);
    if (options.gps.enabled) session.SetGps(options.gps);
    if (!options.udpHost.empty()) {
        const kivo::ShipFeedSettings feed{true, options.udpHost, options.udpPort, options.tag};
        std::string why;
        if (!session.SetShipFeed(feed, &why))
            return Refuse("the UDP feed to " + feed.Address() + " cannot start: " + why);
    }
    if (!options.qcPath.empty()) {
        std::string why;
        if (!session.SetQualityFile(options.qcPath, &why)) return Refuse(why);
    }
    if (options.qcOff) session.SetQualityFlags(false);
    if (options.stallAfterSeconds > 0)
        session.SetStallLimit(std::llround(options.stallAfterSeconds * 1000.0));
    if (!options.engPath.empty() && options.append) {
        const kivo::DeviceCalibration& calibration = session.Calibration();
        const std::string heading = kivo::EngrHeading(calibration, calibration.definitionCount);
        if (const auto why =
                kivo::RefuseForeignHeading(options.engPath, heading, "engineering-units file"))
            return Refuse(*why);
    }
    if (!options.csvPath.empty() && options.append) {
        const std::string heading =
            kivo::CsvHeading(session.Calibration(), session.Recording().LiveCsvFacts());
        if (const auto why = kivo::RefuseOtherCsvColumns(options.csvPath, heading))
            return Refuse(*why);
    }

    if (!kivo::CouldBeAPort(portPath))
        return Fail("the port " + portPath +
                    " is not a serial port (a character device such as /dev/ttyUSB0)");
    session.Port().SelectHostPort(portNumber,
                                  kivo::BaudItemOf(options.baud).value_or(kivo::kDefaultBaudItem));
    if (session.Status().port == 0) return Fail("cannot open the port " + portPath);

    const kivo::RecordMode mode =
        options.append ? kivo::RecordMode::Append : kivo::RecordMode::Truncate;
    // All opened before any is emptied: a start that fails leaves every file as it was.
    const bool recording =
        !options.rawPath.empty() || !options.engPath.empty() || !options.csvPath.empty();
    if (recording) {
        const kivo::RecordTargets targets{options.rawPath, options.engPath, options.csvPath};
        switch (options.rotateSeconds > 0
                    ? session.Recording().StartRotating(targets, options.rotateSeconds)
                    : session.Recording().StartRecordings(targets, mode)) {
            case kivo::StartOutcome::Started:
                break;
            case kivo::StartOutcome::Refused:
                return 2;  // told
            case kivo::StartOutcome::Failed:
                return 1;  // told
        }
    }

    // Up to here a stop signal ends the program at once, even inside an open() that blocks
    // (a FIFO nobody reads, a stuck device): nothing is recorded yet. From here on SIGINT,
    // SIGTERM and SIGHUP arrive as input of the loop, which then stops cleanly.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signals = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signals < 0) return Fail("cannot watch for signals");

    const Clock::time_point started = Clock::now();
    if (options.durationSeconds > 0) EndOnTime(options.durationSeconds);
    const milliseconds tick(options.tickMs);
    Clock::time_point nextTick = started + tick;
    Clock::time_point nextSecond = started + milliseconds(1000);
    bool runPending = options.start;
    bool runSent = false;
    int reconnections = 0;
    bool offsetTold = false;
    StallReport stalls;
    bool stop = false;
    // Quiet (asked, or the journal): a status line a minute; events still as they come.
    const int statusEverySeconds = options.quiet || ToTheJournal() ? 60 : 1;
    int secondsToStatus = 1;
    while (!stop) {
        // An unattended recording that can no longer be written ends now, not when
        // --duration does: whoever watches the service sees the failure.
        if (session.StoppedForFullDisk()) break;  // told with the disk's notice
        if (RecordFileFailed(options, session.Status())) {
            std::fprintf(stderr, "kivo-log: %s a record file failed; logging stops\n",
                         Now().c_str());
            session.LogEvent("a record file failed; logging stops");
            break;
        }
        const Clock::time_point now = Clock::now();
        if (options.durationSeconds > 0 &&
            now - started >= std::chrono::duration<double>(options.durationSeconds))
            break;
        const auto wait =
            std::chrono::duration_cast<milliseconds>(std::min(nextTick, nextSecond) - now);
        pollfd watch{signals, POLLIN, 0};
        if (poll(&watch, 1, wait.count() > 0 ? static_cast<int>(wait.count()) : 0) > 0) {
            signalfd_siginfo info{};
            if (read(signals, &info, sizeof info) > 0) stop = true;
            continue;
        }
        if (Clock::now() >= nextTick) {
            nextTick += tick;
            if (Clock::now() > nextTick) nextTick = Clock::now() + tick;
            session.Timer55msTimer();
            stalls.Look(session.Status());
            for (const std::string& notice : session.TakeGpsNotices())
                std::fprintf(stderr, "kivo-log: %s %s\n", Now().c_str(), notice.c_str());
            for (const std::string& notice : session.TakeQualityNotices())
                std::fprintf(stderr, "kivo-log: %s %s\n", Now().c_str(), notice.c_str());
            for (const std::string& notice : session.TakeFeedNotices())
                std::fprintf(stderr, "kivo-log: %s %s\n", Now().c_str(), notice.c_str());
            if (session.Port().Reconnections() != reconnections) {
                reconnections = session.Port().Reconnections();
                std::fprintf(stderr, "kivo-log: %s port %s is back; logging goes on\n",
                             Now().c_str(), portPath.c_str());
                runPending = options.start;
            }
            // "$run" follows the automatic "$mnu", as an operator would press Start.
            const kivo::SessionStatus status = session.Status();
            if (runPending && !status.setupRequestPending && status.port != 0) {
                session.BTStartClick();
                runPending = false;
                runSent = true;
            }
        }
        if (Clock::now() >= nextSecond) {
            nextSecond += milliseconds(1000);
            session.Timer1SecondTimer();
            for (const std::string& notice : session.TakeDiskNotices())
                std::fprintf(stderr, "kivo-log: %s %s\n", Now().c_str(), notice.c_str());
            if (--secondsToStatus <= 0) {
                PrintStatus(session, statusOut);
                secondsToStatus = statusEverySeconds;
            }
            // Once, as soon as the meter has told its date and time: a mooring's drift is
            // read against it later.
            if (!offsetTold) {
                if (const std::optional<std::int64_t> offset =
                        session.MeterClocks().ClockOffsetSeconds()) {
                    offsetTold = true;
                    std::fprintf(stderr, "kivo-log: %s clock offset (meter - computer UTC) %s\n",
                                 Now().c_str(), kivo::OffsetText(*offset).c_str());
                    std::fflush(stderr);
                }
            }
        }
    }
    if (runSent) session.BTStopClick();
    const bool csvLost = !options.csvPath.empty() && !session.Recording().StopCsvRecording();
    session.Recording().StopAll();
    session.SetShipFeed({});  // its counts into the event log
    session.LogEvent("kivo-log stopped");
    close(signals);
    return prompts.Saw("File Error") || csvLost || session.StoppedForFullDisk() ? 1 : 0;
}
