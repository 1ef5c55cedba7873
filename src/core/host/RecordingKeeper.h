#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/chain/DataChain.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/MeterClockZone.h"
#include "core/export/CsvExporter.h"
#include "core/export/TrackFile.h"
#include "core/files/FileRegistry.h"
#include "core/files/OutputFile.h"
#include "core/host/ShownState.h"
#include "core/recording/RecordFile.h"
#include "core/recording/Recorders.h"
#include "core/seams/Clock.h"
#include "core/seams/Prompts.h"

namespace kivo {

// The record files one start opens together (empty: none of that kind).
struct RecordTargets {
    std::string raw;
    std::string eng;
    std::string csv;
};

// How a start of recordings ended: a refused target is one the program has open or loaded.
enum class StartOutcome { Started, Failed, Refused };

// What the recordings work with, owned by the session around it.
struct RecordingLinks {
    FileRegistry& files;
    Prompts& prompts;
    Clock& clock;  // the computer's UTC clock, beside each CSV record
    const DeviceCalibration& calibration;
    const std::string& deviceName;  // the device file's first line
    std::string metadataPath;       // the operator's extra attributes for every export
    std::function<ShownState&()> show;
    std::function<void(const std::string&)> log;
    // A device file loaded through its dialog, for a recording of engineering units
    // started without one.
    std::function<void()> loadDeviceFile;
    // A record file's folder becomes the one proposed next (and the event log's).
    std::function<void(const std::string& path)> useFolder;
    // A new name for a record file of this extension where the last ones went.
    std::function<std::string(const std::string& extension)> proposePath;
    // What the session knows of the data's making: the device file, the meter's zone and
    // identification, the processing switches.
    std::function<void(ExportOptions&)> addSessionFacts;
    // The station header changed: kept for the next start.
    std::function<void()> stationChanged = {};
    // The GPS's fix as a line arrives, while it is fresh; and where fixes come from, empty
    // while the GPS is off.
    std::function<std::optional<PositionFix>()> currentFix = {};
    std::function<std::string()> positionSource = {};
};

// The files an operator takes home while the meter runs: the raw file, the engineering-units
// file and the CSV file with the computer's UTC time of each line. Each recorder is the one
// owner of whether it runs; a failed write is told once and stops that recording.
class RecordingKeeper {
public:
    explicit RecordingKeeper(RecordingLinks links);
    RecordingKeeper(const RecordingKeeper&) = delete;
    RecordingKeeper& operator=(const RecordingKeeper&) = delete;

    // The receivers of every sample: the engineering units, the raw lines, the CSV rows.
    void AddSinksTo(DataChain& chain);

    // ---- the Record buttons: a file asked for (a name proposed), then started ----
    void RecordRaw();
    void RecordEngr();
    void RecordCsv();
    void StopAll();

    // Starts recording to `path` as the buttons do after their dialogs. True when it started.
    // Appending to a non-empty engineering-units file adds records only, no second heading.
    bool StartRawRecording(const std::string& path, RecordMode mode = RecordMode::Truncate);
    bool StartEngrRecording(const std::string& path, RecordMode mode = RecordMode::Truncate);
    bool StartCsvRecording(const std::string& path);
    // Every file opened and checked first, and only then any emptied: a start that fails
    // leaves every file as it was (told through the prompts). Appending continues a CSV file
    // with records only, under the heading it has (kivo-log checks it is this one first).
    StartOutcome StartRecordings(const RecordTargets& targets, RecordMode mode);
    // Ends the CSV recording; false when anything written was lost (told).
    bool StopCsvRecording();
    // Files by the clock: the targets' names get their piece's UTC start
    // ("cast_20261210T090000Z.raw"), and a new piece of every file begins at each boundary of
    // `periodSeconds` (CheckRotation). A piece there already is continued.
    StartOutcome StartRotating(const RecordTargets& bases, std::int64_t periodSeconds);
    // Between data lines: at a boundary the running pieces end and the next begin, so that no
    // line is cut or written twice. Stopping the recordings ends the rotation.
    void CheckRotation();
    // A device file of other columns was loaded: the engineering units stop, told why.
    void StopEngrForNewDeviceFile();

    // ---- the station header: where, which cast, who ----
    // The station window, from the menu: what the operator answers is kept.
    void EditStation();
    // Without asking (a tool's options, the settings restored).
    void SetStation(const StationHeader& station) { facts_.station = station.Cleaned(); }
    const StationHeader& Station() const { return facts_.station; }

    // ---- what an export or a CSV recording says of its making ----
    // A zone given by hand (a tool's option) in place of the Meter Setup page's choice.
    void SetMeterClockZone(const MeterClockZone& zone) { zoneGiven_ = zone; }
    // The meter's identification line when the meter has sent none.
    void SetMeterIdentification(const std::string& line) { facts_.meterIdentification = line; }
    void SetSoftware(const std::string& software, const std::string& commandLine) {
        facts_.software = software;
        facts_.commandLine = commandLine;
    }
    ExportOptions ExportFacts() const;
    // The same with what a live CSV recording adds: the computer's receive time, the position.
    ExportOptions LiveCsvFacts() const;
    const std::string& MetadataPath() const { return links_.metadataPath; }

    // ---- the GPS track beside the recordings ----
    // Each fix, as the GPS gives it: into the track while one is written.
    void AddFix(const PositionFix& fix) { track_.Add(fix); }
    // The GPS was turned on or off: a track begins or ends beside what is recorded.
    void GpsChanged() { KeepTrack(); }
    std::string TrackPath() const { return track_.Path(); }

    // ---- the ticks ----
    // After each data line: what was written is counted, a failed file stopped.
    void AfterDataLine();
    // What the tick wrote, handed to the system; once a second put on the disk.
    void Flush();
    void Sync();
    void CloseAll();

    bool RawActive() const { return rawRunning_; }
    bool EngrActive() const { return engrRunning_; }
    bool CsvActive() const { return csv_.Active(); }
    bool AnyActive() const { return rawRunning_ || engrRunning_ || csv_.Active(); }
    const std::string& RawPath() const { return rawPath_; }
    // The running record files, and the bytes they hold together (the disk watch's).
    std::vector<std::string> ActivePaths() const;
    std::int64_t BytesWritten() const;
    // The status: each file's name and size as of the last data line.
    void Describe(struct SessionStatus& status) const;

private:
    void BeginRaw(OutputFile output);
    void BeginEngr(OutputFile output);
    void BeginCsv(OutputFile output);
    void StopRaw();
    void StopEngr();
    void TellMendedCutLine(const std::string& path);
    // A track runs while the GPS is on and anything is recorded: beside the raw file, else
    // the first other record file.
    void KeepTrack();
    // The station window offered as a recording starts; cancelling keeps what was there.
    void OfferStation();
    // Asks with the values kept; true when the answer changed them.
    bool AskStation();
    void ReportFileProblem(const std::string& message);

    struct Rotating {
        RecordTargets bases;
        std::int64_t periodSeconds = 0;
        std::int64_t periodStart = 0;  // of the running pieces
    };
    std::int64_t UtcSeconds() const;
    // The track follows the raw file into its next piece.
    void MoveTrack();

    RecordingLinks links_;
    std::optional<Rotating> rotating_;
    RawRecorder raw_;
    EngrRecorder engr_;
    CsvExporter csv_;
    TrackRecorder track_;
    std::string trackRefused_;  // the track that could not be made, told once
    ExportOptions facts_;
    std::optional<MeterClockZone> zoneGiven_;
    bool rawRunning_ = false;  // started and not yet stopped (and logged so)
    bool engrRunning_ = false;
    std::int64_t rawBytes_ = 0;  // as of the last data line, as the status shows them
    std::int64_t engrBytes_ = 0;
    std::string rawPath_;  // the running or last raw recording, for the event log
    std::string engrPath_;
};

}  // namespace kivo
