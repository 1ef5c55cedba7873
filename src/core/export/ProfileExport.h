#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/chain/Sample.h"
#include "core/data/DeviceCalibration.h"
#include "core/export/ExportColumns.h"
#include "core/export/Exporter.h"
#include "core/export/RecordQuality.h"
#include "core/export/TimeAxis.h"
#include "core/profile/Casts.h"
#include "core/profile/ProfileBins.h"

namespace kivo {

// The device file has a pressure column: casts can be told from it.
bool HasPressureColumn(const DeviceCalibration& calibration);

// The first pass over a recording: each record's time and pressure, from which its cast and
// phase are found. The time is the export's own time axis (the meter's clock in UTC, the
// records of one second spread within it); without a date the record's number stands in for
// its second.
class CastTimeline final : public SampleSink {
public:
    explicit CastTimeline(MeterClockZone meterClock) : meterClock_(meterClock) {}
    void OnSample(const Sample& sample) override;
    // The marks of every record taken, in order.
    std::vector<CastMark> Marks(const CastThresholds& thresholds);
    const std::vector<double>& Seconds();

private:
    MeterClockZone meterClock_;
    TimeAxis axis_;
    std::vector<double> seconds_;
    std::vector<double> pressure_;
    bool anyDate_ = false;
};

// The second pass, for bin averages: each record's engineering values into the bins of its
// cast and trace.
class CastBinning final : public SampleSink {
public:
    CastBinning(const DeviceCalibration& calibration, std::vector<CastMark> marks,
                std::vector<double> seconds, double binSize);
    // Only values whose quality flag is 1 (pass) are averaged; a record's flags are decided
    // by the next record, so each waits for it.
    void UseQuality(const DeviceCalibration& calibration, bool alternateMode,
                    const QualitySettings& settings);
    void OnSample(const Sample& sample) override;
    // After the last sample.
    std::vector<Profile> Profiles();

private:
    struct Held {
        std::size_t record = 0;
        double pressure = 0.0;
        std::vector<double> values;
    };
    void Add(Held& held);

    std::vector<ExportColumn> columns_;
    std::vector<CastMark> marks_;
    std::vector<double> seconds_;
    ProfileBinner binner_;
    std::optional<RecordQuality> quality_;
    Held newest_;
    std::size_t next_ = 0;
};

// A file of bin-averaged profiles, and what it says about its making.
struct ProfileFile {
    std::vector<Profile> profiles;
    double binSize = 1.0;  // [dbar]
    CastThresholds thresholds;
    std::string deviceName;
    ExportOptions options;
};

// Per profile and bin one row: cast, direction, the profile's start time, the bin's centre
// pressure, the samples averaged, then the mean of every engineering-units field; under the
// header of "# name: value" lines the other CSV exports have. False when the file could not
// be written (told).
bool WriteProfileCsv(const std::string& path, const DeviceCalibration& calibration,
                     const ProfileFile& file, const Exporter::Reporter& report);
// CF-1.8 featureType "profile": a `profile` dimension (cast_number, direction, time) and a
// `pressure` dimension of bin centres (positive down), every field as [profile, pressure]
// with fill values where a bin is empty, and n_samples. Without profiles no file is made
// (told).
bool WriteProfileNetcdf(const std::string& path, const DeviceCalibration& calibration,
                        const ProfileFile& file, const Exporter::Reporter& report);

// What the cast and phase columns of a sample export mean, and what made the profiles.
std::string CastProcessingText(const CastThresholds& thresholds);
std::string BinProcessingText(double binSize, bool passedOnly);

}  // namespace kivo
