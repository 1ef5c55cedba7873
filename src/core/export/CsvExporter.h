#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/export/ExportColumns.h"
#include "core/export/Exporter.h"
#include "core/export/RecordQuality.h"
#include "core/recording/RecordFile.h"

namespace kivo {

// What a record's line holds besides its values: the columns, the zone the meter's clock was
// set in and where positions come from.
struct CsvRecordLayout {
    std::vector<ExportColumn> columns;
    MeterClockZone meterClock;
    PositionColumns position;  // kind None: no position columns
};
// The layout a CSV file of this calibration and these options has (positions without a
// source are left out).
CsvRecordLayout CsvLayoutOf(const DeviceCalibration& calibration, const ExportOptions& options);
// Appends one record's fields as a CSV file's row begins: the meter's UTC time, the host time
// when one is given [ms since 1970], the position columns, then each engineering value. No
// cast marks, quality flags or line end.
void AppendCsvRecord(std::string& line, const Sample& sample, const CsvRecordLayout& layout,
                     std::optional<std::int64_t> hostUtcMilliseconds);

// A comma-separated file (RFC 4180, CR LF line ends) that spreadsheets, pandas, MATLAB and R
// read: a header of "# name: value" lines (the facts a NetCDF export keeps as attributes: the
// device file and its SHA-256, the meter, the zone of its clock, the processing, each
// column's units and calibration), one heading line of clean names (the NetCDF variable
// names: lower case, letters, digits and underscores), then per sample the meter's time in
// ISO 8601 UTC ("2003-11-20T13:15:00Z", converted from the zone the meter's clock was set in;
// empty without a date) and every engineering-units field of the .eng file, each as the
// shortest text that reads back to the same double. A reader told to skip "#" lines
// (pandas.read_csv(comment="#")) sees a plain table. A live recording adds "host_time" after
// "time": the computer's UTC receive time with milliseconds ("2026-12-08T16:02:03.123Z"),
// which holds when the meter's clock was wrong. With positions, "lat" and "lon" follow the
// times (decimal degrees, empty where none is known), and for a receiver's fixes "gps_time"
// (the fix's own UTC time) and "fix" ("2D" or "3D") after them. With quality flags, each
// field NAME has its flag NAME_qc at the end of the row (1 pass, 2 not evaluated, 3 suspect,
// 4 fail, 9 missing); a line is then written when the next sample decides its spike test,
// and the last when the file is finished.
class CsvExporter final : public Exporter {
public:
    using Exporter::Exporter;

    bool Start(const std::string& path, const DeviceCalibration& calibration,
               const std::string& deviceName, const ExportOptions& options) override;
    // The same onto a file the guarded opener opened (a live recording). A file appended to
    // that is not empty is continued: records only, under the heading it has (the caller
    // made sure it is this one).
    bool Start(OutputFile output, const DeviceCalibration& calibration,
               const std::string& deviceName, const ExportOptions& options);
    void OnSample(const Sample& sample) override;
    bool Flush() override { return Check(file_ && file_->Flush()); }
    bool Sync() override { return Check(file_ && file_->Sync()); }
    bool Finish() override;
    bool Active() const override { return file_.has_value(); }
    std::string Path() const { return file_ ? file_->Path() : std::string(); }
    // The file appended to ended in a cut line, and a line end was written after it.
    bool MendedCutLine() const { return file_ && file_->MendedCutLine(); }
    // The size of the file so far; 0 when none is open.
    std::int64_t ByteCount() const { return file_ ? file_->ByteCount() : 0; }

private:
    bool Begin(std::optional<RecordFile> file, const DeviceCalibration& calibration,
               const std::string& deviceName, const ExportOptions& options);
    void Write(const std::string& line);
    // Writes the line held back with the flags just decided.
    void WriteHeld();
    // False, and the file closed, when `ok` is false.
    bool Check(bool ok);

    std::optional<RecordFile> file_;
    CsvRecordLayout layout_;
    std::function<std::int64_t()> hostTime_;
    std::shared_ptr<const std::vector<CastMark>> casts_;
    std::size_t records_ = 0;
    std::string line_;  // the record being made, kept for its capacity
    // With quality flags a line waits for the next sample, which decides its spike test.
    std::optional<RecordQuality> quality_;
    std::string held_;
};

// The heading line, CR LF included, the exporter writes for this calibration and these
// options (the host time, position and cast columns).
std::string CsvHeading(const DeviceCalibration& calibration, const ExportOptions& options);
// The "# name: value" lines before it.
std::string CsvHeader(const DeviceCalibration& calibration, const std::string& deviceName,
                      const ExportOptions& options, const std::string& created);
// One "# name: value" line, CR LF included; a line end in the value becomes a blank.
std::string CsvHeaderLine(const std::string& name, const std::string& value);
// The lines that describe each column: long name, units, standard name, calibration.
std::string CsvColumnLines(const DeviceCalibration& calibration,
                           const std::vector<ExportColumn>& columns);
// The heading line of a CSV file (its first line that is no "#" line), without its line end;
// nothing when it has none.
std::optional<std::string> CsvHeadingOf(std::istream& in);

}  // namespace kivo
