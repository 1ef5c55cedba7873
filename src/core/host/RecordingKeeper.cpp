// The record files: each is flushed at the end of each tick that wrote to it and put on the
// disk once a second; a failed write is told once and stops that recording.
#include "core/host/RecordingKeeper.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "core/export/ExportAttributes.h"
#include "core/files/RegularFile.h"
#include "core/host/RecordNames.h"
#include "core/host/SessionStatus.h"
#include "core/recording/Rotation.h"

namespace kivo {

namespace {

const FileDialogSpec kRecordRawDialog{"Record Raw Data",
                                      "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*", "raw"};
const FileDialogSpec kRecordEngrDialog{"Open Engr Units Record File",
                                       "Engineering Units|*.eng|All Files|*.*", "eng"};
const FileDialogSpec kRecordCsvDialog{"Record Engr Units as CSV with Host Time",
                                      "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*", "csv"};

}  // namespace

RecordingKeeper::RecordingKeeper(RecordingLinks links)
    : links_(std::move(links)),
      raw_([this](const std::string& message) { ReportFileProblem(message); }),
      engr_(links_.calibration, [this](const std::string& message) { ReportFileProblem(message); }),
      csv_([this](const std::string& message) { ReportFileProblem(message); }),
      track_([this](const std::string& message) { ReportFileProblem(message); }) {}

void RecordingKeeper::AddSinksTo(DataChain& chain) {
    chain.AddSink(engr_);
    chain.AddSink(raw_);
    chain.AddSink(csv_);
}

void RecordingKeeper::ReportFileProblem(const std::string& message) {
    links_.prompts.ShowWarning("File Error", message);
}

// ---- raw recording ----------------------------------------------------------------------

void RecordingKeeper::RecordRaw() {
    const std::optional<std::string> path =
        links_.prompts.SaveFileName(kRecordRawDialog.Proposing(links_.proposePath("raw")));
    if (!path) return;
    OfferStation();
    StartRawRecording(*path);
}

bool RecordingKeeper::StartRawRecording(const std::string& path, RecordMode mode) {
    return StartRecordings({path, "", ""}, mode) == StartOutcome::Started;
}

void RecordingKeeper::BeginRaw(OutputFile output) {
    const std::string path = output.Path();
    if (!raw_.Start(std::move(output))) return;
    // A new raw file has its own track beside it.
    if (track_.Active()) {
        links_.log("GPS track stopped " + track_.Path() + ", " + BytesText(track_.ByteCount()));
        track_.Stop();
    }
    links_.show().rawFile = "Raw File Name:  " + path;
    rawRunning_ = true;
    rawBytes_ = raw_.ByteCount();
    rawPath_ = path;
    links_.useFolder(path);
    links_.log("raw recording started " + path);
    if (raw_.MendedCutLine()) TellMendedCutLine(path);
}

void RecordingKeeper::StopRaw() {
    const bool was = rawRunning_;
    rawRunning_ = false;
    raw_.Stop();
    if (was) links_.log("raw recording stopped " + rawPath_ + ", " + BytesText(raw_.ByteCount()));
}

// ---- engineering-units recording ----------------------------------------------------------

void RecordingKeeper::RecordEngr() {
    if (links_.calibration.definitionCount == 0) links_.loadDeviceFile();
    const std::optional<std::string> path =
        links_.prompts.SaveFileName(kRecordEngrDialog.Proposing(links_.proposePath("eng")));
    if (!path) return;
    OfferStation();
    StartEngrRecording(*path);
}

bool RecordingKeeper::StartEngrRecording(const std::string& path, RecordMode mode) {
    return StartRecordings({"", path, ""}, mode) == StartOutcome::Started;
}

void RecordingKeeper::BeginEngr(OutputFile output) {
    const std::string path = output.Path();
    if (!engr_.Start(std::move(output))) {
        links_.show().engrFile = "Engr Units File: ";
        return;
    }
    links_.show().engrFile = "Engr Units File:  " + path;
    engrRunning_ = engr_.Active();  // the heading may have failed
    engrBytes_ = engr_.ByteCount();
    engrPath_ = path;
    links_.useFolder(path);
    links_.log("engineering-units recording started " + path);
    if (engr_.MendedCutLine()) TellMendedCutLine(path);
}

void RecordingKeeper::StopEngr() {
    const bool was = engrRunning_;
    engrRunning_ = false;
    engr_.Stop();
    if (was)
        links_.log("engineering-units recording stopped " + engrPath_ + ", " +
                   BytesText(engr_.ByteCount()));
}

void RecordingKeeper::StopEngrForNewDeviceFile() {
    if (!engrRunning_ || !engr_.Active()) return;
    // Later records would no longer match the file's heading. Raw lines stay exact, so a raw
    // recording goes on.
    const std::string recorded = engr_.Path();
    StopEngr();
    links_.prompts.ShowWarning(
        "Engr Units Recording Stopped",
        "Another device file was loaded, so the engineering-units recording to\n" + recorded +
            "\nwas stopped: its heading describes the columns of the previous device file.\n" +
            (rawRunning_ ? "The raw recording goes on. " : "") +
            "Press Record Engr to start a new file.");
}

// ---- CSV recording with host time -----------------------------------------------------------

void RecordingKeeper::RecordCsv() {
    if (links_.calibration.definitionCount == 0) links_.loadDeviceFile();
    if (links_.calibration.definitionCount == 0) return;  // no columns to write
    const std::optional<std::string> path =
        links_.prompts.SaveFileName(kRecordCsvDialog.Proposing(links_.proposePath("csv")));
    if (!path) return;
    OfferStation();
    StartCsvRecording(*path);
}

bool RecordingKeeper::StartCsvRecording(const std::string& path) {
    return StartRecordings({"", "", path}, RecordMode::Truncate) == StartOutcome::Started;
}

ExportOptions RecordingKeeper::ExportFacts() const {
    ExportOptions facts = facts_;
    links_.addSessionFacts(facts);
    if (zoneGiven_) facts.meterClock = *zoneGiven_;
    return facts;
}

ExportOptions RecordingKeeper::LiveCsvFacts() const {
    ExportOptions options = ExportFacts();
    options.hostUtcMilliseconds = [this] { return links_.clock.UtcMilliseconds(); };
    const std::string source = links_.positionSource ? links_.positionSource() : std::string();
    if (!source.empty()) {
        options.position.kind = PositionKind::Receiver;
        options.position.source = source;
        options.position.at = [this](double) { return links_.currentFix(); };
    }
    return options;
}

void RecordingKeeper::BeginCsv(OutputFile output) {
    const std::string path = output.Path();
    ExportOptions options = LiveCsvFacts();
    // A mistake in the extra attributes costs them, never the recording.
    if (const std::optional<std::string> why =
            ReadAttributeFile(links_.metadataPath, options.attributes, true)) {
        links_.prompts.ShowWarning("Metadata File",
                                   *why + "\nThe CSV recording goes on without its attributes.");
        options.attributes.clear();
    }
    if (!csv_.Start(std::move(output), links_.calibration, links_.deviceName, options)) return;
    links_.useFolder(path);
    links_.log("CSV recording started " + path);
    if (csv_.MendedCutLine()) TellMendedCutLine(path);
}

bool RecordingKeeper::StopCsvRecording() {
    if (!csv_.Active()) return false;
    const std::string path = csv_.Path();
    const std::int64_t bytes = csv_.ByteCount();
    const bool ok = csv_.Finish();
    links_.log("CSV recording stopped " + path + ", " + BytesText(bytes));
    return ok;
}

// ---- starting and stopping together ---------------------------------------------------------

StartOutcome RecordingKeeper::StartRecordings(const RecordTargets& targets, RecordMode mode) {
    // A new file of a kind replaces the running one, which is closed first: starting again
    // onto the same file is the operator's own choice, not a clash.
    if (!targets.raw.empty()) StopRaw();
    if (!targets.eng.empty()) StopEngr();
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
        file.output = OutputFile::Open(&links_.files, file.path, file.role, file.mode);
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
    if (planned[0].output) BeginRaw(std::move(*planned[0].output));
    if (planned[1].output) BeginEngr(std::move(*planned[1].output));
    if (planned[2].output) BeginCsv(std::move(*planned[2].output));
    KeepTrack();
    const bool started = (targets.raw.empty() || rawRunning_) &&
                         (targets.eng.empty() || engrRunning_) &&
                         (targets.csv.empty() || csv_.Active());
    if (started && !facts_.station.Empty()) links_.log("station header: " + facts_.station.Text());
    return started ? StartOutcome::Started : StartOutcome::Failed;
}

// ---- the station header ----------------------------------------------------------------------

void RecordingKeeper::EditStation() {
    if (!AskStation()) return;
    links_.log("station header changed: " +
               (facts_.station.Empty() ? std::string("(empty)") : facts_.station.Text()));
}

// A recording's start logs the header it goes with.
void RecordingKeeper::OfferStation() { AskStation(); }

bool RecordingKeeper::AskStation() {
    const std::optional<StationHeader> answer = links_.prompts.AskStation(facts_.station);
    if (!answer) return false;
    const StationHeader before = facts_.station;
    SetStation(*answer);
    if (facts_.station == before) return false;
    if (links_.stationChanged) links_.stationChanged();
    return true;
}

void RecordingKeeper::TellMendedCutLine(const std::string& path) {
    links_.prompts.ShowMessage("Recording Continued",
                               "The last line of \"" + path +
                                   "\" was cut short (no line end); the new records begin "
                                   "on a line of their own after it.");
}

StartOutcome RecordingKeeper::StartRotating(const RecordTargets& bases,
                                            std::int64_t periodSeconds) {
    const std::int64_t now = UtcSeconds();
    const auto piece = [now](const std::string& base) {
        return base.empty() ? std::string() : RotatedPath(base, now);
    };
    const StartOutcome outcome =
        StartRecordings({piece(bases.raw), piece(bases.eng), piece(bases.csv)}, RecordMode::Append);
    if (outcome == StartOutcome::Started)
        rotating_ = Rotating{bases, periodSeconds, PeriodStart(now, periodSeconds)};
    return outcome;
}

void RecordingKeeper::CheckRotation() {
    if (!rotating_) return;
    if (!AnyActive()) {
        rotating_.reset();
        return;
    }
    const std::int64_t start = PeriodStart(UtcSeconds(), rotating_->periodSeconds);
    if (start == rotating_->periodStart) return;
    rotating_->periodStart = start;
    // Only the kinds still running go on: one that failed stays stopped.
    const RecordTargets& bases = rotating_->bases;
    const auto piece = [start](bool running, const std::string& base) {
        return running && !base.empty() ? RotatedPath(base, start) : std::string();
    };
    const RecordTargets next{piece(rawRunning_, bases.raw), piece(engrRunning_, bases.eng),
                             piece(csv_.Active(), bases.csv)};
    const std::optional<Rotating> kept = rotating_;
    if (StartRecordings(next, RecordMode::Append) == StartOutcome::Started) {
        rotating_ = kept;
        MoveTrack();
    } else {
        rotating_.reset();
    }
}

std::int64_t RecordingKeeper::UtcSeconds() const {
    const std::int64_t ms = links_.clock.UtcMilliseconds();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

void RecordingKeeper::MoveTrack() {
    if (!track_.Active()) return;
    const std::string beside = rawRunning_ ? rawPath_ : engrRunning_ ? engrPath_ : csv_.Path();
    if (beside.empty() || TrackPathFor(beside) == track_.Path()) return;
    const std::string path = track_.Path();
    const std::int64_t bytes = track_.ByteCount();
    track_.Stop();
    links_.log("GPS track stopped " + path + ", " + BytesText(bytes));
    KeepTrack();
}

void RecordingKeeper::StopAll() {
    rotating_.reset();
    StopRaw();
    StopEngr();
    StopCsvRecording();
    KeepTrack();
}

void RecordingKeeper::KeepTrack() {
    const bool gpsOn = links_.positionSource && !links_.positionSource().empty();
    if (!gpsOn || !AnyActive()) {
        if (!track_.Active()) return;
        const std::string path = track_.Path();
        const std::int64_t bytes = track_.ByteCount();
        track_.Stop();
        links_.log("GPS track stopped " + path + ", " + BytesText(bytes));
        return;
    }
    if (track_.Active()) return;
    const std::string beside = rawRunning_ ? rawPath_ : engrRunning_ ? engrPath_ : csv_.Path();
    // Standard output or a device has no folder beside it.
    if (beside.empty() || beside.rfind("/dev/", 0) == 0) return;
    const std::string path = TrackPathFor(beside);
    if (path == trackRefused_) return;
    // A track that is there already is continued: its fixes are as true as the new ones.
    OutputFile output =
        OutputFile::Open(&links_.files, path, roles::kTrackRecording, OutputMode::Append);
    if (!output.Ok()) {
        trackRefused_ = path;
        ReportFileProblem(output.Error() + "\nThe recording goes on without a GPS track.");
        return;
    }
    if (track_.Start(std::move(output), links_.positionSource(), facts_.software))
        links_.log("GPS track started " + path);
}

// ---- the ticks ------------------------------------------------------------------------------

// The recorders wrote the line; a write that failed has closed its file.
void RecordingKeeper::AfterDataLine() {
    if (engrRunning_) {
        engrBytes_ = engr_.ByteCount();
        if (!engr_.Active()) StopEngr();
    }
    if (rawRunning_) {
        rawBytes_ = raw_.ByteCount();
        if (!raw_.Active()) StopRaw();
    }
    // A track outlives no recording, even one a failed write ended.
    if (track_.Active() && !AnyActive()) KeepTrack();
}

void RecordingKeeper::Flush() {
    track_.Flush();
    if (!raw_.Flush()) StopRaw();
    if (!engr_.Flush()) StopEngr();
    if (csv_.Active() && !csv_.Flush()) StopCsvRecording();
}

void RecordingKeeper::Sync() {
    track_.Sync();
    if (!raw_.Sync()) StopRaw();
    if (!engr_.Sync()) StopEngr();
    if (csv_.Active() && !csv_.Sync()) StopCsvRecording();
}

void RecordingKeeper::CloseAll() { StopAll(); }

std::vector<std::string> RecordingKeeper::ActivePaths() const {
    std::vector<std::string> paths;
    if (rawRunning_) paths.push_back(raw_.Path());
    if (engrRunning_) paths.push_back(engr_.Path());
    if (csv_.Active()) paths.push_back(csv_.Path());
    if (track_.Active()) paths.push_back(track_.Path());
    // Standard output, a pipe or a device fills no disk of ours.
    paths.erase(std::remove_if(paths.begin(), paths.end(),
                               [](const std::string& path) { return !IsRegularFile(path); }),
                paths.end());
    return paths;
}

std::int64_t RecordingKeeper::BytesWritten() const {
    return (rawRunning_ ? raw_.ByteCount() : 0) + (engrRunning_ ? engr_.ByteCount() : 0) +
           csv_.ByteCount() + track_.ByteCount();
}

void RecordingKeeper::Describe(SessionStatus& status) const {
    status.rawRecording = rawRunning_;
    status.rawFile = raw_.Path();
    status.rawBytes = rawBytes_;
    status.engRecording = engrRunning_;
    status.engFile = engr_.Path();
    status.engBytes = engrBytes_;
    status.csvRecording = csv_.Active();
    status.csvFile = csv_.Path();
    status.csvBytes = csv_.ByteCount();
}

}  // namespace kivo
