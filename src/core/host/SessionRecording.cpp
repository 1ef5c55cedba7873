// The sources besides the live meter: the replay of a raw file and the download of the
// meter's memory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/export/ExportAttributes.h"
#include "core/host/RecordNames.h"
#include "core/host/Session.h"
#include "core/recording/EngrRecording.h"

namespace kivo {

namespace {

const FileDialogSpec kReplayDialog{"Open Replay File",
                                   "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*", "raw"};
const FileDialogSpec kGetDataDialog{"Retrieve Meter's Internal Data",
                                    "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*", "raw"};

constexpr int kLivePumpInterval = 55;
constexpr int kReplayPumpInterval = 220;

}  // namespace

void Session::ReportFileProblem(const std::string& message) {
    seams_.prompts.ShowWarning("File Error", message);
}

ExportOptions Session::SessionFacts(ExportOptions facts) const {
    facts.deviceFile = DescribeDeviceFile(state_.DevicePath);
    // The zone the meter is set in, as the host clock label shows it.
    facts.meterClock = clocks_.MeterClockLocal() ? MeterClockZone::Local() : MeterClockZone::Utc();
    if (meter_.Setup().meterIdentified) facts.meterIdentification = meter_.Setup().identification;
    facts.alternateMode = state_.alternateCommands;
    facts.refCorrection = state_.RefChannelCorrection != 0;
    facts.tempCorrection = state_.TempCorrection != 0;
    if (qualityFlags_) {
        facts.quality = quality_.Settings();
    } else {
        facts.quality.reset();
    }
    return facts;
}

void Session::CloseAllFiles() {
    recording_.CloseAll();
    replay_.reset();
    replayFile_.Reset();
}

// ---- replay -------------------------------------------------------------------------

void Session::ReplayRawFileClick() {
    const std::optional<std::string> path = seams_.prompts.OpenFileName(kReplayDialog);
    if (!path) return;
    OpenReplay(*path);
}

bool Session::OpenReplay(const std::string& path) {
    std::optional<ReplayReader> reader = ReplayReader::Open(path);
    if (!reader) return false;    // the input mode stays as it was
    replay_ = std::move(reader);  // the previous replay file, if any, is closed here
    replayFile_ = files_.Register(path, roles::kReplay);
    state_.ReplayRunning = false;
    state_.ReplayMode = true;
    ShownState& shown = Show();
    shown.replayMode = true;
    shown.stopButton = "Stop Replay";
    shown.startButton = "Start Replay";
    shown.pumpIntervalMs = kReplayPumpInterval;
    shown.replayProgress = ProgressShown{true, 0, replay_->Size()};
    return true;
}

void Session::RealTimeDataClick() {
    // The replay's unfinished last line must not begin the first live one.
    if (state_.ReplayMode) assembler_.DropPending();
    state_.ReplayRunning = false;
    state_.ReplayMode = false;
    replay_.reset();
    replayFile_.Reset();
    ShownState& shown = Show();
    shown.replayMode = false;
    shown.stopButton = "Stop Data";
    shown.startButton = "Start Data";
    shown.pumpIntervalMs = kLivePumpInterval;
    shown.replayProgress.visible = false;
}

void Session::TakeReplayInput(long& count) {
    count = 0;
    if (replay_) {
        const ReplayRead read =
            replay_->ReadReplayLine(receiveBuffer_.data(), ReplayReader::kBufferSize);
        if (read.end) {
            // The file rewinds: a last line without a line end must not begin the next pass.
            state_.ReplayRunning = false;
            assembler_.DropPending();
        }
        count = static_cast<long>(read.count);
        ShownState& shown = Show();
        shown.replayProgress.value = replay_->Position();
        shown.replayProgress.maximum = replay_->Size();
    } else {
        state_.ReplayRunning = false;
    }
    if (count == 0) Show().startButton = "Start Replay";
}

// ---- memory download ----------------------------------------------------------------

void Session::BTGetDataClick() {
    if (download_.Active()) {
        // The running download keeps its file; a second one would leave it open.
        seams_.prompts.ShowWarning("Receive Data", MemoryDownload::kAlreadyRunningText);
        return;
    }
    const std::optional<std::string> path =
        seams_.prompts.SaveFileName(kGetDataDialog.Proposing(ProposedPath("raw")));
    if (!path) return;
    StartDownload(*path);
}

bool Session::StartDownload(const std::string& path) {
    if (download_.Active()) return false;
    OutputFile output = OutputFile::Open(&files_, path, roles::kReceiveFile, OutputMode::Truncate);
    if (!output.Ok()) {
        ReportFileProblem(output.Error());
        return false;
    }
    if (!download_.Start(std::move(output), meter_.Setup().memoryUsedPages)) return false;
    SyncDownloadState();
    ShownState& shown = Show();
    shown.receiveFile = "Receive File:  " + path;
    shown.receiveStatus = "Receive File Status:  In Progress";
    shown.receiveFileSize = "Receive File Size: 0 K";
    shown.downloadProgress = ProgressShown{true, 0, download_.ExpectedBytes()};
    downloadPath_ = path;
    downloadWasActive_ = true;
    UseRecordFolder(path);
    LogEvent("download started " + path);
    LogEvent(clocks_.DescribeClockOffset("before the download"));
    if (Streaming()) {
        // Live lines must not surround the memory image: the meter is stopped first and
        // "$get" waits for a quiet tick.
        dataStarted_ = false;
        link_.SerialWrite(commands::kStop);
        getPending_ = true;
        quietWaitTicks_ = 0;
        return true;
    }
    link_.SendCommand(commands::kGetMemory);
    return true;
}

void Session::RunDownloadStep() {
    const long count = link_.SerialRead(receiveBuffer_.data(), MemoryDownload::kMaxRead);
    if (count < 0 && state_.PortNumber != 0) port_.ReadFailed();
    if (count > 0) {
        download_.PumpDownload(
            std::string_view(receiveBuffer_.data(), static_cast<std::size_t>(count)));
    }
    // The expected size is an estimate from the meter's page count: a complete download
    // shows a full bar whatever it came to.
    const std::int64_t received = download_.BytesReceived();
    const bool complete = download_.Status() == DownloadState::Complete;
    ShownState& shown = Show();
    shown.downloadProgress.value = received;
    shown.downloadProgress.maximum = complete ? received : download_.ExpectedBytes();
}

void Session::SyncDownloadState() {
    state_.DownloadActive = download_.Active();
    state_.DownloadStatus = download_.Status();
    state_.DownloadByteCount = download_.BytesReceived();
    if (downloadWasActive_ && !download_.Active()) {
        downloadWasActive_ = false;
        static constexpr const char* kEnds[] = {"ended", "in progress", "complete", "incomplete",
                                                "cancelled"};
        const DownloadState status = download_.Status();
        meter_.DownloadEnded(status == DownloadState::Complete);
        LogEvent("download " + std::string(kEnds[static_cast<int>(status)]) + " " + downloadPath_ +
                 ", " + BytesText(download_.BytesReceived()));
        // The meter's next report of its time tells how its clock stood over the download.
        clocks_.LogNextClockOffset("after the download");
    }
}

}  // namespace kivo
