#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "core/files/OutputFile.h"
#include "core/position/PositionFix.h"
#include "core/recording/RecordFile.h"

namespace kivo {

// The track beside a recording: one line per second of the fixes' own time, the last fix of
// the second (gpsd reports GGA and RMC as two fixes, only the second with speed and course),
// written once the next second's fix comes or the track stops. "# name: value" lines first (the
// program, the source, the units), then
//   time,lat,lon,fix,speed,course
//   2026-12-10T12:00:01.000Z,44.636916667,-63.568316667,3D,2.675,87.5
// times in UTC with milliseconds, latitude and longitude in decimal degrees to every digit
// gpsd gave, speed over ground [m s-1], course over ground [degrees true]; a field not known
// is empty. CR LF line ends, as the other CSV files. Written, flushed and synced like the
// recordings; a failed write is told once and ends the track, never the recording.
inline constexpr const char* kTrackHeading = "time,lat,lon,fix,speed,course";

// "cast7.raw" -> "cast7.track.csv" (any extension replaced).
std::string TrackPathFor(const std::string& recordPath);

class TrackRecorder {
public:
    explicit TrackRecorder(RecordFile::Reporter report) : report_(std::move(report)) {}

    // Continues a track that is there (its fixes are still true), or begins one with its
    // header. False when the file could not be made (told).
    bool Start(OutputFile output, const std::string& source, const std::string& software);
    void Add(const PositionFix& fix);
    bool Flush();
    bool Sync();
    void Stop();
    bool Active() const { return file_.has_value(); }
    std::string Path() const { return file_ ? file_->Path() : std::string(); }
    std::int64_t ByteCount() const { return file_ ? file_->ByteCount() : 0; }

private:
    bool Check(bool ok);
    void WriteHeld();

    RecordFile::Reporter report_;
    std::optional<RecordFile> file_;
    std::optional<PositionFix> held_;  // the latest fix of the second not yet written
    std::string line_;
};

// Reads the fixes of a track: ours, or any CSV with a heading that has time, lat and lon
// columns (also named datetime, utc or timestamp; latitude; long, longitude or lng; in any
// letter case), "#" lines skipped. Times are ISO 8601 ("2026-12-10T12:00:01Z",
// "2026-12-10 12:00:01.5", "...+02:00"; without a zone they are UTC). A row with an empty
// lat or lon is a time without a fix. Nothing read and `error` set (with the line number)
// when a row cannot be read.
std::optional<std::vector<PositionFix>> ReadTrackCsv(std::istream& in, std::string& error);

// An ISO 8601 date and time as seconds since 1970 UTC; nothing when it is none.
std::optional<double> ParseIsoTime(const std::string& text);

}  // namespace kivo
