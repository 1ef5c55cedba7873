// The files an operator takes home: the raw file, the engineering-units file, the replay
// of a raw file, and the download of the meter's memory. Every record file is flushed at the
// end of each tick that wrote to it; a failed write is told once and stops that recording.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/export/ExportAttributes.h"
#include "core/host/Session.h"
#include "core/recording/EngrRecording.h"

namespace kivo {

namespace {

const FileDialogSpec kRecordRawDialog{"Record Raw Data",
                                      "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*", "raw"};
const FileDialogSpec kRecordEngrDialog{"Open Engr Units Record File",
                                       "Engineering Units|*.eng|All Files|*.*", "eng"};
const FileDialogSpec kReplayDialog{"Open Replay File",
                                   "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*", "raw"};
const FileDialogSpec kRecordCsvDialog{"Record Engr Units as CSV with Host Time",
                                      "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*", "csv"};
const FileDialogSpec kGetDataDialog{"Retrieve Meter's Internal Data",
                                    "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*", "raw"};

constexpr int kLivePumpInterval = 55;
constexpr int kReplayPumpInterval = 220;

}  // namespace

void Session::ReportFileProblem(const std::string& message) {
    seams_.prompts.ShowWarning("File Error", message);
}

// ---- raw recording ------------------------------------------------------------------

namespace {
FileDialogSpec Proposing(FileDialogSpec spec, std::string path) {
    spec.proposedPath = std::move(path);
    return spec;
}
std::string BytesText(std::int64_t bytes) { return std::to_string(bytes) + " bytes"; }
}  // namespace

void Session::BTRecordRawClick() {
    const std::optional<std::string> path =
        seams_.prompts.SaveFileName(Proposing(kRecordRawDialog, ProposedPath("raw")));
    if (!path) return;
    StartRawRecording(*path);
}

bool Session::StartRawRecording(const std::string& path, RecordMode mode) {
    return StartRecordings({path, "", ""}, mode) == StartOutcome::Started;
}

void Session::BeginRawRecording(OutputFile output) {
    const std::string path = output.Path();
    if (!rawRecorder_.Start(std::move(output))) return;
    Show().rawFile = "Raw File Name:  " + path;
    state_.RawRecording = true;
    state_.RawByteCount = rawRecorder_.ByteCount();
    rawPath_ = path;
    UseRecordFolder(path);
    LogEvent("raw recording started " + path);
    if (rawRecorder_.MendedCutLine()) TellMendedCutLine(path);
}

void Session::StopRawRecording() {
    const bool was = state_.RawRecording;
    state_.RawRecording = false;
    rawRecorder_.Stop();
    if (was)
        LogEvent("raw recording stopped " + rawPath_ + ", " + BytesText(rawRecorder_.ByteCount()));
}

// ---- engineering-units recording ----------------------------------------------------

void Session::BTRecordEngrClick() {
    if (calibration_.definitionCount == 0) LoadDeviceFileClick();
    const std::optional<std::string> path =
        seams_.prompts.SaveFileName(Proposing(kRecordEngrDialog, ProposedPath("eng")));
    if (!path) return;
    StartEngrRecording(*path);
}

bool Session::StartEngrRecording(const std::string& path, RecordMode mode) {
    return StartRecordings({"", path, ""}, mode) == StartOutcome::Started;
}

void Session::BeginEngrRecording(OutputFile output) {
    const std::string path = output.Path();
    if (!engrRecorder_.Start(std::move(output))) {
        Show().engrFile = "Engr Units File: ";
        return;
    }
    Show().engrFile = "Engr Units File:  " + path;
    state_.EngrRecording = engrRecorder_.Active();  // the heading may have failed
    state_.EngrByteCount = engrRecorder_.ByteCount();
    engPath_ = path;
    UseRecordFolder(path);
    LogEvent("engineering-units recording started " + path);
    if (engrRecorder_.MendedCutLine()) TellMendedCutLine(path);
}

void Session::StopEngrRecording() {
    const bool was = state_.EngrRecording;
    state_.EngrRecording = false;
    engrRecorder_.Stop();
    if (was)
        LogEvent("engineering-units recording stopped " + engPath_ + ", " +
                 BytesText(engrRecorder_.ByteCount()));
}

// ---- CSV recording with host time ---------------------------------------------------

void Session::BTRecordCsvClick() {
    if (calibration_.definitionCount == 0) LoadDeviceFileClick();
    if (calibration_.definitionCount == 0) return;  // no columns to write
    const std::optional<std::string> path =
        seams_.prompts.SaveFileName(Proposing(kRecordCsvDialog, ProposedPath("csv")));
    if (!path) return;
    StartCsvRecording(*path);
}

bool Session::StartCsvRecording(const std::string& path) {
    return StartRecordings({"", "", path}, RecordMode::Truncate) == StartOutcome::Started;
}

ExportOptions Session::ExportFacts() const {
    ExportOptions facts = exportFacts_;
    facts.deviceFile = DescribeDeviceFile(state_.DevicePath);
    // The zone the meter is set in, as the host clock label shows it.
    facts.meterClock =
        zoneGiven_.value_or(meter_.MeterClockLocal() ? MeterClockZone::Local() : MeterClockZone::Utc());
    if (meter_.Setup().meterIdentified) facts.meterIdentification = meter_.Setup().identification;
    facts.alternateMode = state_.alternateCommands;
    facts.refCorrection = state_.RefChannelCorrection != 0;
    facts.tempCorrection = state_.TempCorrection != 0;
    return facts;
}

std::string Session::MetadataPath() const { return SettingsPath(kMetadataFileName); }

void Session::BeginCsvRecording(OutputFile output) {
    const std::string path = output.Path();
    ExportOptions options = ExportFacts();
    options.hostUtcMilliseconds = [this] { return clock_.UtcMilliseconds(); };
    // A mistake in the extra attributes costs them, never the recording.
    if (const std::optional<std::string> why =
            ReadAttributeFile(MetadataPath(), options.attributes, true)) {
        seams_.prompts.ShowWarning("Metadata File",
                                   *why + "\nThe CSV recording goes on without its attributes.");
        options.attributes.clear();
    }
    if (!csvRecorder_.Start(std::move(output), calibration_, state_.DeviceName, options)) return;
    UseRecordFolder(path);
    LogEvent("CSV recording started " + path);
    if (csvRecorder_.MendedCutLine()) TellMendedCutLine(path);
}

StartOutcome Session::StartRecordings(const RecordTargets& targets, RecordMode mode) {
    // A new file of a kind replaces the running one, which is closed first: starting again
    // onto the same file is the operator's own choice, not a clash.
    if (!targets.raw.empty()) StopRawRecording();
    if (!targets.eng.empty()) StopEngrRecording();
    if (!targets.csv.empty()) StopCsvRecording();
    const OutputMode continued =
        mode == RecordMode::Append ? OutputMode::Append : OutputMode::Truncate;
    struct Planned {
        const std::string& path;
        FileRole role;
        OutputMode mode;
        std::optional<OutputFile> output;
    };
    Planned planned[] = {{targets.raw, roles::kRawRecording, continued, std::nullopt},
                         {targets.eng, roles::kEngrRecording, continued, std::nullopt},
                         {targets.csv, roles::kCsvRecording, continued, std::nullopt}};
    // All opened (each registered, so the next is checked against it) before any is begun.
    for (Planned& file : planned) {
        if (file.path.empty()) continue;
        file.output = OutputFile::Open(&files_, file.path, file.role, file.mode);
        if (!file.output->Ok()) {
            ReportFileProblem(file.output->Error());
            return file.output->Refused() ? StartOutcome::Refused : StartOutcome::Failed;
        }
    }
    for (Planned& file : planned) {
        if (file.output && !file.output->Begin()) {
            ReportFileProblem(file.output->Error());
            return StartOutcome::Failed;
        }
    }
    if (planned[0].output) BeginRawRecording(std::move(*planned[0].output));
    if (planned[1].output) BeginEngrRecording(std::move(*planned[1].output));
    if (planned[2].output) BeginCsvRecording(std::move(*planned[2].output));
    const bool started = (targets.raw.empty() || state_.RawRecording) &&
                         (targets.eng.empty() || state_.EngrRecording) &&
                         (targets.csv.empty() || csvRecorder_.Active());
    return started ? StartOutcome::Started : StartOutcome::Failed;
}

void Session::TellMendedCutLine(const std::string& path) {
    seams_.prompts.ShowMessage("Recording Continued",
                               "The last line of \"" + path +
                                   "\" was cut short (no line end); the new records begin "
                                   "on a line of their own after it.");
}

bool Session::StopCsvRecording() {
    if (!csvRecorder_.Active()) return false;
    const std::string path = csvRecorder_.Path();
    const std::int64_t bytes = csvRecorder_.ByteCount();
    const bool ok = csvRecorder_.Finish();
    LogEvent("CSV recording stopped " + path + ", " + BytesText(bytes));
    return ok;
}

void Session::BTStopRecordClick() {
    StopRawRecording();
    StopEngrRecording();
    StopCsvRecording();
}

// The recorders wrote the line; a write that failed has closed its file.
void Session::SyncRecordingState() {
    if (state_.EngrRecording) {
        state_.EngrByteCount = engrRecorder_.ByteCount();
        if (!engrRecorder_.Active()) StopEngrRecording();
    }
    if (state_.RawRecording) {
        state_.RawByteCount = rawRecorder_.ByteCount();
        if (!rawRecorder_.Active()) StopRawRecording();
    }
}

void Session::FlushRecordFiles() {
    if (!rawRecorder_.Flush()) StopRawRecording();
    if (!engrRecorder_.Flush()) StopEngrRecording();
    if (csvRecorder_.Active() && !csvRecorder_.Flush()) StopCsvRecording();
}

void Session::CloseAllFiles() {
    StopRawRecording();
    StopEngrRecording();
    StopCsvRecording();
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
        seams_.prompts.SaveFileName(Proposing(kGetDataDialog, ProposedPath("raw")));
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
    LogEvent(meter_.DescribeClockOffset("before the download"));
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
    if (count < 0 && state_.PortNumber != 0) OnPortLost();
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
        meter_.LogNextClockOffset("after the download");
    }
}

}  // namespace kivo
