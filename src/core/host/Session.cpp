#include "core/host/Session.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/export/ExportAttributes.h"
#include "core/files/RegularFile.h"
#include "core/host/StatusLabels.h"
#include "core/plot/Readout.h"
#include "core/protocol/ClockLabels.h"
#include "core/protocol/MeterIdentity.h"
#include "core/protocol/ReplyParser.h"
#include "core/protocol/SetupDisplay.h"
#include "core/text/CFormat.h"

namespace kivo {

Session::Session(const ToolSeams& seams)
    : Session(Seams{seams.port, seams.prompts, seams.clock, seams.ports, nullptr, "", false,
                    seams.positions, seams.datagrams, seams.freeSpace}) {}

namespace {
constexpr std::size_t kKeptFeedNotices = 50;

// The same seams with other prompts in their place.
Seams WithPrompts(Seams seams, Prompts& prompts) {
    return Seams{seams.port,
                 prompts,
                 seams.clock,
                 std::move(seams.ports),
                 std::move(seams.exitProcess),
                 std::move(seams.settingsDirectory),
                 seams.restoreLastSettings,
                 seams.positions,
                 seams.datagrams,
                 std::move(seams.freeSpace)};
}
}  // namespace

Session::Session(Seams seams)
    : eventLog_([this](const std::string& message) {
          loggedPrompts_.Inner().ShowWarning("Event Log", message);
      }),
      clock_(seams.clock),
      loggedPrompts_(seams.prompts, [this](const std::string& text) { LogEvent(text); }),
      seams_(WithPrompts(std::move(seams), loggedPrompts_)),
      port_(PortLinks{seams_.port, seams_.ports, seams_.prompts, state_,
                      [this]() -> ShownState& { return Show(); },
                      [this](const std::string& text) { LogEvent(text); },
                      [this](bool back) {
                          if (back) {
                              // A meter that was restarted begins a whole line; the head
                              // from before the loss would spoil it.
                              assembler_.DropPending();
                          } else {
                              meter_.Connected();
                          }
                          clocks_.LogNextClockOffset("at connection");
                      }}),
      clocks_(MeterClockLinks{link_, seams_.clock,
                              [this](const std::string& text) { LogEvent(text); },
                              [this](bool local) {
                                  keptPorts_.meterClockLocal = local;
                                  SavePortSettings();
                                  RefreshShipFeed();
                              }}),
      meter_(MeterCommanderLinks{link_, seams_.prompts, state_, clocks_,
                                 [this]() -> ShownState& { return Show(); },
                                 [this](const std::string& text) { LogEvent(text); }}),
      rate_(state_.TickCount, state_.RateLineCount, state_.RateWindow, state_.RateTickStamp),
      download_([this](const std::string& message) { ReportFileProblem(message); }),
      recording_(RecordingLinks{
          files_, seams_.prompts, lineClock_, calibration_, state_.DeviceName,
          SettingsPath(kMetadataFileName), [this]() -> ShownState& { return Show(); },
          [this](const std::string& text) { LogEvent(text); }, [this] { LoadDeviceFileClick(); },
          [this](const std::string& path) { UseRecordFolder(path); },
          [this](const std::string& extension) { return ProposedPath(extension); },
          [this](ExportOptions& facts) { facts = SessionFacts(std::move(facts)); },
          [this] {
              keptPorts_.station = recording_.Station();
              SavePortSettings();
          },
          [this]() -> std::optional<PositionFix> {
              return gps_.Current(lineClock_.UtcMilliseconds());
          },
          [this] { return gps_.On() ? gps_.SourceText() : std::string(); }}),
      gps_(PositionKeeper::Links{seams_.positions,
                                 [this](const std::string& text) { LogEvent(text); },
                                 [this](const PositionFix& fix) { recording_.AddFix(fix); }}),
      quality_(QualityWatch::Links{calibration_, [this] { return state_.alternateCommands; },
                                   [this](const std::string& text) { LogEvent(text); }}),
      disk_(seams_.freeSpace),
      feed_(
          seams_.datagrams, [this] { return lineClock_.UtcMilliseconds(); },
          [this](const std::string& text) {
              LogEvent(text);
              feedNotices_.push_back(text);
              if (feedNotices_.size() > kKeptFeedNotices) feedNotices_.pop_front();
          }) {
    // The operator's view first, then the files, as the window always did.
    plot_.AddSinkTo(chain_);
    recording_.AddSinksTo(chain_);
    chain_.AddSink(feed_);
    chain_.AddSink(quality_);
    link_.SetWriteObserver([this](const std::string& sent, bool ok) {
        LogEvent((ok ? "sent " : "could not send ") + sent);
    });
    // The window keeps its log where it last recorded, or beside its settings; a tool logs
    // only where its options say.
    if (seams_.restoreLastSettings) {
        RegisterSettingsFiles();
        LoadPortSettings();
        SetEventLogFolder(recordFolder_.empty() ? seams_.settingsDirectory : recordFolder_);
    }
}

void Session::SetGps(const GpsSettings& settings) {
    if (settings == gps_.Settings() && settings.enabled == gps_.On()) return;
    gps_.Apply(settings, clock_.UtcMilliseconds());
    recording_.GpsChanged();
    RefreshShipFeed();
    keptPorts_.gps = settings;
    SavePortSettings();
}

void Session::GpsSetupClick() {
    if (const std::optional<GpsSettings> answer = seams_.prompts.AskGps(gps_.Settings()))
        SetGps(*answer);
}

namespace {

const FileDialogSpec kQualityDialog{"Quality Control File",
                                    "QC Files (*.qc)|*.qc|All Files (*.*)|*.*", "qc"};

}  // namespace

bool Session::SetQualityFile(const std::string& path, std::string* error) {
    QualitySettings settings;
    if (!path.empty()) {
        std::string why;
        std::optional<QualitySettings> loaded =
            IsRegularFile(path) ? QualitySettings::Load(path, why) : std::nullopt;
        if (!loaded) {
            if (why.empty()) why = "cannot read the QC file '" + path + "'";
            if (error) {
                *error = why;
            } else {
                seams_.prompts.ShowWarning("Quality Control File",
                                           why + "\nThe thresholds stay as they were.");
            }
            return false;
        }
        settings = std::move(*loaded);
    }
    LogEvent(path.empty() ? std::string("quality thresholds: the defaults")
                          : "quality thresholds from " + path + ", SHA-256 " + settings.Sha256());
    quality_.Use(std::move(settings));
    if (keptPorts_.qualityFile != path) {
        keptPorts_.qualityFile = path;
        SavePortSettings();
    }
    return true;
}

void Session::QualityFileClick() {
    if (const std::optional<std::string> path = seams_.prompts.OpenFileName(kQualityDialog))
        SetQualityFile(*path);
}

void Session::LogEvent(const std::string& text) {
    eventLog_.Append(clock_.UtcMilliseconds(), text);
}

void Session::SetEventLogFolder(const std::string& folder) {
    const std::string path =
        folder.empty() ? std::string(kEventLogName) : folder + "/" + kEventLogName;
    if (path == eventLog_.Path()) return;
    eventLogFile_.Reset();
    // A recording named like the log in its own folder: events never go into it.
    if (const std::optional<FileRole> holder = files_.Holder(IdentityOf(path))) {
        eventLog_.SetPath("");
        if (std::exchange(eventLogClashTold_, true)) return;
        loggedPrompts_.Inner().ShowWarning("Event Log", "The event log '" + path + "' is " +
                                                            holder->holding +
                                                            "; events are not logged there.");
        return;
    }
    eventLog_.SetPath(path);
    eventLogFile_ = files_.Register(path, roles::kEventLog);
}

Session::~Session() { CloseAllFiles(); }

// ---------------------------------------------------------------------------------------
// 55 ms tick: start-up work, the automatic "$mnu", then the pump.

void Session::Timer55msTimer() {
    if (firstPumpTick_) {
        firstPumpTick_ = false;
        FirstTickWork();
    }
    ++state_.TickCount;
    port_.RetryTick();
    if (state_.autoMenuCountdown != 0) {
        if (state_.autoMenuCountdown == 1) meter_.AskSetup();
        --state_.autoMenuCountdown;
    }
    // A boundary of files by the clock falls between two ticks' lines, never inside one.
    recording_.CheckRotation();
    if (download_.Active() && !getPending_) {
        RunDownloadStep();
    } else {
        PumpLines();
    }
    if (getPending_) RunPendingGet();
    download_.IdleTick();
    SyncDownloadState();
    gps_.Tick(clock_.UtcMilliseconds());
    recording_.Flush();
    WatchForStalls();
    if (state_.NewDataLine) {
        state_.NewDataLine = false;
        RefreshClockLabels();
    }
}

ShownState& Session::Show() {
    ++shown_.revision;
    return shown_;
}

void Session::RequestPage(Page page) {
    ShownState& shown = Show();
    shown.requestedPage = page;
    ++shown.pageRequests;
}

void Session::RefreshClockLabels() {
    ShownState& shown = Show();
    shown.setup.meterClock = MeterClockLabel(MeterTime(), DataLines().DataLineCount);
    shown.setup.hostClock = HostClockLabel(HostTime(), clocks_.MeterClockZoneName());
}

void Session::FirstTickWork() {
    ShownState& shown = Show();
    shown.caption = FormatTitle(" ");
    plot_.Configure(state_.DeviceName);
    shown.analogRangeItem = 1;
    shown.advancedPage = false;
    shown.setup.flSetupPage = false;
    // The calibration tables hold their program-start values from construction; resetting
    // them here again would undo a device file loaded before this first tick.
}

// After a device file load, the plot choices and the chart's channels are fitted to it
// before the next line is processed.
void Session::ApplyPendingPlotSetup() {
    if (!state_.PlotSetupPending) return;
    state_.PlotSetupPending = false;
    ApplyDeviceFile(calibration_.definitionCount);
    plot_.FitChannels(calibration_.definitionCount);
}

void Session::PumpLines() {
    ApplyPendingPlotSetup();
    // The whole receive buffer per tick: a meter at 38400 baud sends about 3.8 KB/s,
    // more than a hundred bytes a tick would take, and the driver's queue would overflow.
    long count = 0;
    if (!state_.ReplayMode) {
        count = link_.SerialRead(receiveBuffer_.data(), receiveBuffer_.size());
        if (count < 0 && state_.PortNumber != 0) port_.ReadFailed();
    } else if (state_.ReplayRunning) {
        TakeReplayInput(count);
    }
    lastReadCount_ = count;
    if (count <= 0) return;
    FeedBytes(receiveBuffer_.data(), static_cast<std::size_t>(count));
}

void Session::FeedBytes(const char* data, std::size_t count) {
    ApplyPendingPlotSetup();
    state_.BytesRead += count;
    assembler_.Feed(data, count, *this);
    // The legend's readout once for all the lines these bytes held.
    plot_.PublishTitles(chain_.Current());
    plot_.MarkFailed(quality_.FailedColumns());
}

void Session::OnLine(const std::string& line) { HandleLine(line); }

void Session::OnOverflow() {
    seams_.prompts.ShowWarning("Input Buffer Overflow", "Check Baud Rate");
}

void Session::HandleLine(const std::string& line) {
    const LineClock::Hold oneHostTime(lineClock_);
    Show().memo.Append(line);
    plot_.BeforeLine();
    const ChainOptions options{state_.alternateCommands, state_.RefChannelCorrection != 0,
                               state_.TempCorrection != 0};
    const HostClockSnapshot hostBefore = chain_.HostTime();
    const MeterClock meterBefore = chain_.MeterTime();
    const LineOutcome outcome =
        chain_.Accept(line, !state_.DevicePath.empty(), options, clocks_.SettingClock());
    if (outcome.mismatch) {
        seams_.prompts.ShowWarning(kColumnMismatchCaption, ColumnMismatchText(*outcome.mismatch));
    }
    if (outcome.dataLine) {
        AfterDataLine();
    } else {
        if (meter_.TakeReply(line, chain_.MeterTime(), chain_.HostTime()))
            CheckDeviceAgainstMeter();
    }
    // A replayed file tells the clock of another day.
    if (!state_.ReplayMode &&
        (!SameTime(hostBefore, chain_.HostTime()) || !SameTime(meterBefore, chain_.MeterTime()))) {
        clocks_.TakeClockOffset(MeterTime(), HostTime());
    }
}

void Session::CheckDeviceAgainstMeter() {
    const SetupState& setup = meter_.Setup();
    if (state_.DevicePath.empty() || !setup.meterIdentified) return;
    const std::optional<DeviceMismatch> mismatch =
        kivo::CheckDeviceAgainstMeter(setup.identification, state_.DeviceName);
    if (!mismatch) return;
    const std::string pair = mismatch->meterSerial + "/" + mismatch->deviceSerial;
    if (pair == toldMismatch_) return;  // once for each meter and device file
    toldMismatch_ = pair;
    seams_.prompts.ShowWarning(kDeviceMismatchCaption,
                               DeviceMismatchText(*mismatch, state_.DevicePath));
}

void Session::AfterDataLine() {
    state_.NewDataLine = true;
    if (!state_.ReplayMode &&
        stallWatch_.OnDataLine(clock_.SteadyMilliseconds()) == StallWatch::Event::Back) {
        LogEvent("data again after " +
                 std::to_string(stallWatch_.StallMs(clock_.SteadyMilliseconds()) / 1000) + " s");
    }
    if (const std::optional<std::string> rate = rate_.EstimateSampleRate(state_.ReplayMode)) {
        Show().sampleRate = *rate;
    }
    recording_.AfterDataLine();
}

// ---------------------------------------------------------------------------------------
// 500 ms and one-second ticks.

void Session::Timer500msTimer() {
    meter_.RefreshSetupPanel(ShownClocks{MeterTime(), HostTime(), clocks_.MeterClockZoneName(),
                                         DataLines().DataLineCount},
                             calibration_);
    RefreshProfile();
}

void Session::RefreshProfile() {
    plot_.RefreshProfile();
    const std::vector<std::string> events = plot_.Profile().TakeEvents();
    // With the view off nothing new is written or shown.
    if (!keptPorts_.profileView) return;
    for (const std::string& event : events) LogEvent(event);
    const std::string status = CastStatusText(plot_.Profile().View());
    if (shown_.castStatus != status) Show().castStatus = status;
}

void Session::ToggleProfileView() {
    keptPorts_.profileView = !keptPorts_.profileView;
    Show().profileView = keptPorts_.profileView;
    SavePortSettings();
    RefreshProfile();
}

void Session::Timer1SecondTimer() {
    if (firstSecondTick_) {
        firstSecondTick_ = false;  // cleared first: the restore is never tried twice
        if (seams_.restoreLastSettings) {
            TellMissingMappedPorts();
            RestoreLastSettings();
        }
    }
    // What the ticks flushed is also put on the disk once a second, against power cuts.
    recording_.Sync();
    WatchDisk();
    RefreshStatusLabels();
}

void Session::WatchDisk() {
    const std::vector<std::string> paths = recording_.ActivePaths();
    if (!paths.empty()) stoppedForDisk_ = false;
    const DiskWatch::Event event =
        disk_.Check(clock_.SteadyMilliseconds(), paths, recording_.BytesWritten());
    if (event == DiskWatch::Event::None) return;
    const std::int64_t free = disk_.FreeBytes().value_or(0);
    const std::string megabytes = std::to_string(free / DiskWatch::kMegabyte) + " MB";
    std::string notice;
    switch (event) {
        case DiskWatch::Event::Low:
            notice = "disk low: " + megabytes + " free where " + disk_.Where() + " is (" +
                     DiskText(disk_.SecondsLeft(), free).substr(6) + ")";
            break;
        case DiskWatch::Event::Fine:
            notice =
                "disk space enough again: " + megabytes + " free where " + disk_.Where() + " is";
            break;
        case DiskWatch::Event::Full:
            // Stopped while there is room for what is held: every complete line is kept.
            recording_.StopAll();
            stoppedForDisk_ = true;
            notice = "disk nearly full: " + megabytes + " free where " + disk_.Where() +
                     " is; recording stopped before the disk is full";
            break;
        case DiskWatch::Event::None:
            break;
    }
    LogEvent(notice);
    diskNotices_.push_back(notice);
    while (diskNotices_.size() > 50) diskNotices_.pop_front();
    if (event == DiskWatch::Event::Full && seams_.restoreLastSettings)
        seams_.prompts.ShowWarning("Disk Full", "Only " + megabytes + " are free where " +
                                                    disk_.Where() +
                                                    " is.\nRecording stopped; every line "
                                                    "recorded so far is kept.");
}

std::deque<std::string> Session::TakeDiskNotices() {
    std::deque<std::string> taken;
    taken.swap(diskNotices_);
    return taken;
}

void Session::RefreshStatusLabels() { PresentStatus(Status(), Show()); }

SessionStatus Session::Status() const {
    SessionStatus status;
    status.sampleRateHz = rate_.LastRate();
    status.replay = state_.ReplayMode;
    status.dataLines = DataLines().DataLineCount;
    status.bytesRead = state_.BytesRead;
    status.port = state_.PortNumber;
    status.lostPort = port_.LostPort();
    status.setupRequestPending = state_.autoMenuCountdown != 0;
    recording_.Describe(status);
    const std::int64_t now = clock_.SteadyMilliseconds();
    if (const std::optional<std::int64_t> since = stallWatch_.SinceLastLineMs(now))
        status.secondsSinceLastLine = static_cast<double>(*since) / 1000.0;
    status.stalled = stallWatch_.Stalled();
    status.stalls = stallWatch_.Stalls();
    status.stallSeconds = static_cast<double>(stallWatch_.StallMs(now)) / 1000.0;
    status.dataStarted = dataStarted_;
    status.clockOffsetSeconds = clocks_.ClockOffsetSeconds();
    status.download = state_.DownloadStatus;
    status.downloadBytes = state_.DownloadByteCount;
    status.choices = plot_.Choices();
    status.powerUser = state_.powerUser != 0;
    status.deviceFile = state_.DevicePath;
    status.gps = gps_.Status(clock_.UtcMilliseconds());
    status.qualityProblems = quality_.Problems();
    if (disk_.FreeBytes()) {
        status.diskText = DiskText(disk_.SecondsLeft(), *disk_.FreeBytes());
        status.diskLow = disk_.Low() || disk_.Full();
    }
    status.stoppedForFullDisk = stoppedForDisk_;
    status.failedColumns = quality_.FailedColumns();
    if (feed_.Active())
        status.feed = SessionStatus::Feed{feed_.Destination(), feed_.Sent(), feed_.NotSent(),
                                          feed_.Failing()};
    return status;
}

// ---------------------------------------------------------------------------------------
// Exit.

void Session::Exit() {
    SaveLastSettings();
    CloseAllFiles();
    if (seams_.exitProcess) seams_.exitProcess(0);
}

}  // namespace kivo
