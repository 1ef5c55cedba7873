#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/export/ExportColumns.h"
#include "core/export/Exporter.h"
#include "core/recording/RecordFile.h"

namespace kivo {

// A comma-separated file (RFC 4180, CR LF line ends) that spreadsheets, pandas, MATLAB and R
// read without options: one heading line, then per sample the meter's time in ISO 8601 (empty
// without a date) and every engineering-units field of the .eng file, named by the .eng
// heading, each as the shortest text that reads back to the same double. A live recording
// adds "host_time" after "time": the computer's UTC receive time with milliseconds
// ("2026-12-08T16:02:03.123Z"), which holds when the meter's clock was wrong.
class CsvExporter final : public Exporter {
public:
    using Exporter::Exporter;

    bool Start(const std::string& path, const DeviceCalibration& calibration,
               const std::string& deviceName, const ExportOptions& options) override;
    // The same onto a file the guarded opener opened (a live recording).
    bool Start(OutputFile output, const DeviceCalibration& calibration,
               const ExportOptions& options);
    void OnSample(const Sample& sample) override;
    bool Flush() override { return Check(file_ && file_->Flush()); }
    bool Sync() override { return Check(file_ && file_->Sync()); }
    bool Finish() override;
    bool Active() const override { return file_.has_value(); }
    std::string Path() const { return file_ ? file_->Path() : std::string(); }
    // The size of the file so far; 0 when none is open.
    std::int64_t ByteCount() const { return file_ ? file_->ByteCount() : 0; }

private:
    bool Begin(std::optional<RecordFile> file, const DeviceCalibration& calibration,
               const ExportOptions& options);
    void Write(const std::string& line);
    // False, and the file closed, when `ok` is false.
    bool Check(bool ok);

    std::optional<RecordFile> file_;
    std::vector<ExportColumn> columns_;
    std::function<std::int64_t()> hostTime_;
    std::string line_;  // the record being made, kept for its capacity
};

// A field quoted as RFC 4180 asks when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text);
// The heading line, CR LF included, the exporter writes for this calibration.
std::string CsvHeading(const DeviceCalibration& calibration, bool hostTime);

}  // namespace kivo
