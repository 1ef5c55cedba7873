#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/export/ExportColumns.h"
#include "core/export/Exporter.h"
#include "core/export/RecordQuality.h"
#include "core/export/TimeAxis.h"

namespace kivo {

// A NetCDF-4 file following the CF-1.8 and ACDD-1.3 conventions, as data centres archive
// ocean data: one variable per engineering-units field of the .eng file and one per column's
// raw counts with its calibration, each with its units, along an unlimited record dimension,
// chunked and compressed; the global attributes name the device file (with its SHA-256), the
// meter, the zone of its clock, the processing and whatever the operator added.
//
// The dimension is `time` when the device file has a date column: a coordinate on the axis
// TimeAxis makes (unique and increasing, the records of one second spread within it), with
// the meter's own whole-second time in `meter_time`. Without a date column it is `obs`, with
// `time` an auxiliary coordinate of the meter's last reported time. Times are UTC: the meter's
// clock is converted from the zone it was set in. A value that is not finite is missing.
// Records are written in batches, so memory does not grow with the recording. Quality flags
// are CF flag variables NAME_qc beside each value (and each test's with the detail); a
// record's are decided by the record after it, so the file's last records wait for it.
class NetcdfExporter final : public Exporter {
public:
    using Exporter::Exporter;
    ~NetcdfExporter() override;

    bool Start(const std::string& path, const DeviceCalibration& calibration,
               const std::string& deviceName, const ExportOptions& options) override;
    void OnSample(const Sample& sample) override;
    // Flush writes the records held but the last second's, whose spread is not known until
    // the next second begins; Sync also has the library write its caches to the file.
    bool Flush() override { return ncid_ >= 0 && WritePending(false); }
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
    // The flag variables of every value, and each value's ancillary_variables.
    bool DefineQuality(const DeviceCalibration& calibration, const ExportOptions& options,
                       int dimension);
    // Holds the flags of the record just decided.
    void KeepFlags();
    // Writes the records whose time is decided (all of them when `all`).
    bool WritePending(bool all);
    // False after telling the failure and closing the file, when `status` is an error.
    bool Check(int status);

    std::string path_;
    int ncid_ = -1;
    bool alternateMode_ = false;
    bool timeAxis_ = false;  // `time` is the dimension, made by axis_
    MeterClockZone meterClock_;
    std::function<std::int64_t()> hostTime_;
    std::vector<ExportColumn> columns_;
    std::vector<CountColumn> counts_;
    TimeAxis axis_;
    Variable time_;       // pending: the times decided, not yet written
    Variable meterTime_;  // with the time axis only
    Variable hostReceived_;
    std::vector<Variable> values_;  // columns_, then counts_
    std::shared_ptr<const std::vector<CastMark>> casts_;
    std::vector<Variable> castValues_;  // cast, phase, loop, when casts_
    PositionColumns position_;          // lat and lon at each record's time, when given
    Variable lat_;
    Variable lon_;
    double latMin_ = 0, latMax_ = 0, lonMin_ = 0, lonMax_ = 0;
    bool anyPosition_ = false;
    // The flags: each engineering field's and each count column's worst, then with the detail
    // each one's five tests, then the record's.
    std::optional<RecordQuality> quality_;
    bool qualityDetail_ = false;
    std::vector<Variable> flags_;
    std::size_t records_ = 0;  // taken so far
    std::size_t written_ = 0;  // records in the file
    double firstTime_ = 0.0;
    double lastTime_ = 0.0;
    bool anyTime_ = false;
};

}  // namespace kivo
