#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/export/ExportColumns.h"
#include "core/export/Exporter.h"

namespace kivo {

// A NetCDF-4 file following the CF-1.8 and ACDD-1.3 conventions, as data centres archive
// ocean data: one variable per engineering-units field of the .eng file and one per column's
// raw counts, each with its units, along an unlimited record dimension, chunked and
// compressed. The dimension is `time`, a coordinate of the meter's clock, when the device
// file has a date column; otherwise `obs`, with `time` as an auxiliary coordinate. A record
// without a valid date has a missing time; a value that is not finite is missing too.
// Records are written in batches, so memory does not grow with the recording.
class NetcdfExporter final : public Exporter {
public:
    using Exporter::Exporter;
    ~NetcdfExporter() override;

    bool Start(const std::string& path, const DeviceCalibration& calibration,
               const std::string& deviceName, const ExportOptions& options) override;
    void OnSample(const Sample& sample) override;
    // Flush writes the records held; Sync also has the library write its caches to the file.
    bool Flush() override { return ncid_ >= 0 && WritePending(); }
    bool Sync() override;
    bool Finish() override;
    bool Active() const override { return ncid_ >= 0; }

    static constexpr std::size_t kBatch = 1024;  // records held before they are written

private:
    struct Variable {
        int id = -1;
        std::vector<double> pending;
    };

    bool Define(const DeviceCalibration& calibration, const std::string& deviceName,
                const ExportOptions& options);
    bool WritePending();
    // False after telling the failure and closing the file, when `status` is an error.
    bool Check(int status);

    std::string path_;
    int ncid_ = -1;
    bool alternateMode_ = false;
    std::vector<ExportColumn> columns_;
    std::vector<CountColumn> counts_;
    Variable time_;
    std::vector<Variable> values_;  // columns_, then counts_
    std::size_t written_ = 0;       // records in the file
    double firstTime_ = 0.0;
    double lastTime_ = 0.0;
    bool anyTime_ = false;
};

}  // namespace kivo
