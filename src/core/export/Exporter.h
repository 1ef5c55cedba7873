#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/chain/Sample.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/MeterClockZone.h"
#include "core/position/PositionFix.h"
#include "core/profile/Casts.h"
#include "core/quality/QualitySettings.h"
#include "core/seams/StationHeader.h"

namespace kivo {

// The device file as an export names it, so that a reader can tell which calibration made
// the values without having the file.
struct DeviceFileFacts {
    std::string name;       // the file's name, without its folder
    std::string firstLine;  // the meter's name and title line, as the file has it
    std::string sha256;     // of its bytes; empty when it could not be read
};
// The facts of the device file at `path`, read now.
DeviceFileFacts DescribeDeviceFile(const std::string& path);

// Global attributes in the order given; a later value of a name replaces the earlier.
using Attributes = std::vector<std::pair<std::string, std::string>>;

// What an exported file says about its making.
struct ExportOptions {
    std::string software;        // the program and its version: "kivo-convert 1.16"
    std::string commandLine;     // what it was asked, program, options and files, for the history
    bool alternateMode = false;  // lines begin with compact date and time (for the counts)
    bool refCorrection = false;  // the chain's two corrections of the scattering counts
    bool tempCorrection = false;
    // The computer's clock [ms since 1970 UTC], read as each sample arrives: a live
    // recording's host time column. Empty: no such column (a converted file has no receive
    // time).
    std::function<std::int64_t()> hostUtcMilliseconds = {};
    MeterClockZone meterClock;  // the zone the meter's clock was set in
    DeviceFileFacts deviceFile;
    std::string meterIdentification;  // the meter's "VER" line; empty when none was seen
    Attributes attributes;            // the operator's own (institution, project, cruise ...)
    // Each record's cast, phase and loop mark, in record order: three more columns. None: no
    // such columns.
    std::shared_ptr<const std::vector<CastMark>> casts;
    std::string castDetection;  // how they were found, for the file's story
    // What the operator said of the recording: station, cast, operator, notes.
    StationHeader station;
    // Where each record was made; kind None: no position columns.
    PositionColumns position;
    // The thresholds of the quality tests, whose flags go beside every value (the defaults
    // unless a QC file was given); none: no flags.
    std::optional<QualitySettings> quality = QualitySettings{};
    bool qualityDetail = false;  // NetCDF: each test's flags too, not only their worst
};

// A file for other programs, written from the samples of a data chain as they come: memory
// stays the same however long the recording. Like a record file it never fails silently:
// the first failure is told once, with the reason and the path, and the export stops.
class Exporter : public SampleSink {
public:
    using Reporter = std::function<void(const std::string& message)>;

    explicit Exporter(Reporter report) : report_(std::move(report)) {}
    Exporter(const Exporter&) = delete;
    Exporter& operator=(const Exporter&) = delete;

    // Creates the file for the columns `calibration` defines now and writes its heading.
    // False when that failed (told).
    virtual bool Start(const std::string& path, const DeviceCalibration& calibration,
                       const std::string& deviceName, const ExportOptions& options) = 0;
    // Hands what was written to the system (a logger: every tick), or to the disk (every
    // second or so), so that a crash loses little. False when the file failed; the export has
    // then stopped.
    virtual bool Flush() = 0;
    virtual bool Sync() = 0;
    // Writes what is still held and closes the file. False when anything was lost (told).
    virtual bool Finish() = 0;
    // Between a successful Start and Finish or a failure.
    virtual bool Active() const = 0;

protected:
    void Report(const std::string& message) const {
        if (report_) report_(message);
    }

private:
    Reporter report_;
};

}  // namespace kivo
