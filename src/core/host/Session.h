#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/chain/DataChain.h"
#include "core/chain/LineAssembler.h"
#include "core/data/Conversion.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/Statistics.h"
#include "core/export/CsvExporter.h"
#include "core/export/ShipFeed.h"
#include "core/files/EventLog.h"
#include "core/files/FileRegistry.h"
#include "core/files/FreeSpace.h"
#include "core/files/OutputFile.h"
#include "core/host/ClockOffset.h"
#include "core/host/ComPortMap.h"
#include "core/host/DiskWatch.h"
#include "core/host/LineClock.h"
#include "core/host/LiveChart.h"
#include "core/host/LoggedPrompts.h"
#include "core/host/MeterCommander.h"
#include "core/host/PortKeeper.h"
#include "core/host/QualityWatch.h"
#include "core/host/RecordingKeeper.h"
#include "core/host/SerialLink.h"
#include "core/host/SessionStatus.h"
#include "core/host/SharedState.h"
#include "core/host/ShownState.h"
#include "core/host/StallWatch.h"
#include "core/plot/ChartModel.h"
#include "core/plot/PlotView.h"
#include "core/plot/Readout.h"
#include "core/position/PositionKeeper.h"
#include "core/position/PositionSource.h"
#include "core/protocol/Commands.h"
#include "core/protocol/SetupState.h"
#include "core/recording/Download.h"
#include "core/recording/RawRecording.h"
#include "core/recording/RecordFile.h"
#include "core/recording/Recorders.h"
#include "core/recording/SampleRate.h"
#include "core/seams/Clock.h"
#include "core/seams/DatagramSender.h"
#include "core/seams/Prompts.h"
#include "core/seams/SerialPort.h"
#include "core/seams/ShipFeedSettings.h"
#include "core/settings/PortSettings.h"

namespace kivo {

// What a session without a window needs: the command-line tools run one on these. It has
// no settings to restore and no process to end; what it would show is kept all the same.
struct ToolSeams {
    SerialPort& port;
    Prompts& prompts;
    Clock& clock;
    ComPortMap ports;
    PositionSource* positions = nullptr;  // gpsd; none: no GPS to be had
    DatagramSender* datagrams = nullptr;  // the ship's feed; none: no feed to be had
    // The free space where a file goes [bytes]; tests give a small disk.
    DiskWatch::FreeSpace freeSpace = FreeBytesAt;
};

// What the session needs from the world around it.
struct Seams {
    SerialPort& port;
    Prompts& prompts;
    Clock& clock;
    ComPortMap ports;
    // Ends the process with an exit status. The window quits its event loop, so every
    // destructor runs and open files are flushed; tests record the status instead.
    std::function<void(int)> exitProcess;
    // Where last.rbs, kivoiocomp.rbs and the restored device file are read and written;
    // empty: the current directory, as the operator started the program.
    std::string settingsDirectory;
    // The window comes back as the operator left it; a tool run from the command line is
    // set up by its options alone.
    bool restoreLastSettings = true;
    PositionSource* positions = nullptr;  // gpsd; none: no GPS to be had
    DatagramSender* datagrams = nullptr;  // the ship's feed; none: no feed to be had
    // The free space where a file goes [bytes]; tests give a small disk.
    DiskWatch::FreeSpace freeSpace = FreeBytesAt;
};

// The whole state of one run of the program and the work of its timers and handlers.
// The window owns one; the command-line tools own one too, with their own seams.
class Session : private LineSink {
public:
    static constexpr std::size_t kReceiveBufferSize = 1000;

    explicit Session(Seams seams);
    explicit Session(const ToolSeams& seams);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() override;

    // ---- timers ----
    void Timer55msTimer();
    void Timer500msTimer();
    void Timer1SecondTimer();

    // ---- handlers: port selection ----
    // ---- the meter's serial port ----
    PortKeeper& Port() { return port_; }

    // ---- handlers: data stream and command mode ----
    void BTStartClick();
    void BTStopClick();
    void BitBtnCancelClick();
    // ---- the meter's setup, commands and clock ----
    MeterCommander& Meter() { return meter_; }
    MeterClockKeeper& MeterClocks() { return clocks_; }

    // ---- handlers: device file ----
    void LoadDeviceFileClick();
    // Loads a device file as the menu does, without the dialog. True when it loaded.
    bool LoadDeviceFile(const std::string& path);

    // ---- the recordings ----
    RecordingKeeper& Recording() { return recording_; }

    // ---- the ship's position from gpsd ----
    const PositionKeeper& Gps() const { return gps_; }
    // The GPS choice: on or off, gpsd's host and port. The window's is kept in
    // kivoview-ports.ini; a track begins beside a raw recording that runs.
    void SetGps(const GpsSettings& settings);
    // The File menu's GPS window: what the operator answers is applied and kept.
    void GpsSetupClick();
    // The GPS notices told since the last call (kivo-log prints them).
    std::deque<std::string> TakeGpsNotices() { return gps_.TakeNotices(); }

    // ---- each sample as a datagram for the ship's data system ----
    // The feed's choice: on or off, where to, the tag. The window's is kept in
    // kivoview-ports.ini. False when it was to be on and cannot start: `error` says why, or
    // without one a warning does.
    bool SetShipFeed(const ShipFeedSettings& settings, std::string* error = nullptr);
    // The File menu's Ship Feed window: what the operator answers is applied and kept.
    void ShipFeedClick();
    // The feed's failures and recoveries told since the last call (kivo-log prints them).
    std::deque<std::string> TakeFeedNotices() { return std::exchange(feedNotices_, {}); }

    // ---- quality tests on the live data and in every export ----
    const QualityWatch& Quality() const { return quality_; }
    // The QC file's thresholds for the live tests and every export; an empty path goes back
    // to the defaults. False, told as a warning (the window) and nothing changed, when the
    // file cannot be read; `error` says why.
    bool SetQualityFile(const std::string& path, std::string* error = nullptr);
    // The File menu's QC file dialog; cancelling keeps the thresholds.
    void QualityFileClick();
    // Whether exports and CSV recordings carry the flags (on unless a tool's option says).
    void SetQualityFlags(bool on) { qualityFlags_ = on; }
    // The quality notices told since the last call (kivo-log prints them).
    std::deque<std::string> TakeQualityNotices() { return quality_.TakeNotices(); }
    // The disk watch's notices since the last call (kivo-log prints them); and whether it
    // stopped the recordings because the disk was about to be full.
    std::deque<std::string> TakeDiskNotices();
    bool StoppedForFullDisk() const { return stoppedForDisk_; }

    // ---- handlers: replay and download ----
    void ReplayRawFileClick();
    void RealTimeDataClick();
    void BTGetDataClick();
    bool OpenReplay(const std::string& path);
    bool StartDownload(const std::string& path);

    // ---- handlers: plot choices ----
    // ---- the live chart, its readout and the plot selectors ----
    LiveChart& Plot() { return plot_; }
    // The Plot Data page's "Profile" check: the channels against pressure instead of the strip
    // chart, the cast in the status area and its events in the event log. Kept in
    // kivoview-ports.ini.
    void ToggleProfileView();

    // ---- ports and folders the operator chose, kept in kivoview-ports.ini ----
    // The port dialog's choice of a device for COMn (a /dev/serial/by-id name where there is
    // one): used from now on and at the next start, without --com.
    void MapPort(int portNumber, const std::string& devicePath);
    const ComPortMap& Ports() const { return seams_.ports; }
    // The event log's folder for a session that has no recording yet (kivo-log).
    void SetEventLogFolder(const std::string& folder);
    const std::string& EventLogPath() const { return eventLog_.Path(); }
    // One line into the event log (the tools add their own events).
    void LogEvent(const std::string& text);
    // The silence that makes a stall, given by hand [ms]; none: it follows the meter.
    void SetStallLimit(std::optional<std::int64_t> limitMs) { stallLimitByHandMs_ = limitMs; }

    // ---- handlers: application ----
    // Saves the settings, closes every file and ends the process.
    void Exit();

    // ---- parts of a tick, callable on their own ----
    void PumpLines();
    // Bytes taken in as if the pump had read them: lines assembled, shown and processed.
    // The command-line tools feed recorded files this way.
    void FeedBytes(const char* data, std::size_t count);

    // Where the session stands, for the window's labels and the tools' status lines.
    SessionStatus Status() const;
    // What the window shows; its revision counts the changes.
    const ShownState& Shown() const { return shown_; }

    // The files this session has open or loaded: no output may be opened onto one of them.
    FileRegistry& Files() { return files_; }

    SharedState& State() { return state_; }
    // True once the first one-second tick has brought back last.rbs and its device file.
    bool StartUpDone() const { return !firstSecondTick_; }
    DeviceCalibration& Calibration() { return calibration_; }
    // The data chain: its line counts and the latest sample.
    const DataChain& Chain() const { return chain_; }
    const MemoryDownload& Download() const { return download_; }

private:
    void FirstTickWork();
    // Shows the plot choices that suit the loaded device file's first `columns` columns.
    void ApplyDeviceFile(int columns);
    const MeterClock& MeterTime() const { return chain_.Current().meterClock; }
    const HostClockSnapshot& HostTime() const { return chain_.Current().hostClock; }
    const LineCounts& DataLines() const { return chain_.Counts(); }
    void ApplyPendingPlotSetup();
    void RestoreLastSettings();
    void RegisterSettingsFiles();
    void SaveLastSettings();
    std::string SettingsPath(const std::string& name) const;
    bool ReadDeviceFileAt(const std::string& path, const std::string& openPath);
    void RefreshStatusLabels();
    // The profile brought up to date; its events logged and its cast shown while it is shown.
    void RefreshProfile();
    // What is shown, to be changed: counts one more revision.
    ShownState& Show();
    void RequestPage(Page page);
    void HandleLine(const std::string& line);
    // Warns once when the meter and the device file name different serial numbers.
    void CheckDeviceAgainstMeter();
    void AfterDataLine();
    void RefreshClockLabels();
    void TakeReplayInput(long& count);
    // The export facts the session knows: the device file, the meter's zone and
    // identification, the processing switches.
    ExportOptions SessionFacts(ExportOptions facts) const;
    void CloseAllFiles();
    void RunDownloadStep();
    void SyncDownloadState();
    void ReportFileProblem(const std::string& message);
    void WatchForStalls();
    void BreakChartAtGap(std::int64_t nowMs);
    bool Streaming() const;
    void RunPendingGet();
    void LoadPortSettings();
    void SavePortSettings();
    void TellMissingMappedPorts();
    void UseRecordFolder(const std::string& recordPath);
    std::string ProposedPath(const std::string& extension) const;
    // The feed's columns, zone, positions and default tag, after any of them changed.
    void RefreshShipFeed();

    // LineSink
    void OnLine(const std::string& line) override;
    void OnOverflow() override;

    FileRegistry files_;
    std::vector<FileRegistry::Registration> settingsFiles_;
    FileRegistry::Registration eventLogFile_;
    FileRegistry::Registration deviceFile_;
    FileRegistry::Registration replayFile_;
    EventLog eventLog_;
    Clock& clock_;
    // Every warning and message shown goes to the event log as well.
    LoggedPrompts loggedPrompts_;
    Seams seams_;
    SharedState state_;
    ShownState shown_;
    PortKeeper port_;
    SerialLink& link_ = port_.Link();
    MeterClockKeeper clocks_;
    MeterCommander meter_;
    DeviceCalibration calibration_;
    DataChain chain_{calibration_};
    SampleRateEstimator rate_;
    std::optional<ReplayReader> replay_;
    MemoryDownload download_;
    // One host time for all that a line writes (the CSV file, the ship's feed).
    LineClock lineClock_{clock_};
    RecordingKeeper recording_;
    PositionKeeper gps_;
    QualityWatch quality_;
    DiskWatch disk_;
    std::deque<std::string> diskNotices_;
    bool stoppedForDisk_ = false;
    // The disk watch's look, once a second.
    void WatchDisk();
    bool qualityFlags_ = true;
    ShipFeed feed_;
    std::deque<std::string> feedNotices_;
    LiveChart plot_{calibration_, state_, [this]() -> ShownState& { return Show(); }, clock_};
    LineAssembler assembler_;
    std::array<char, kReceiveBufferSize> receiveBuffer_{};
    StallWatch stallWatch_;
    std::optional<std::int64_t> stallLimitByHandMs_;
    std::string recordFolder_;
    std::vector<int> mappedFromFile_;  // COM numbers the settings file mapped, to check once
    // What kivoview-ports.ini keeps: the file's mappings and the operator's choices, never a
    // --com given for one run (a simulated meter's pseudo-terminal is gone by the next).
    PortSettings keptPorts_;
    std::string toldMismatch_;  // the meter and device serial numbers last warned of
    bool portSettingsRefusalTold_ = false;
    bool eventLogClashTold_ = false;
    bool dataStarted_ = false;  // Start Data sent and no Stop Data since
    bool getPending_ = false;   // Receive Data waits for the stopped meter's quiet tick
    int quietWaitTicks_ = 0;
    long lastReadCount_ = 0;
    bool downloadWasActive_ = false;
    std::string downloadPath_;
    bool firstPumpTick_ = true;
    bool firstSecondTick_ = true;
};

}  // namespace kivo
