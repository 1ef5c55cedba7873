#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/data/MeterClockZone.h"
#include "core/export/RawExport.h"
#include "core/profile/Casts.h"

namespace kivo {

struct ConvertOptions {
    std::string devicePath;
    ExportFormat format = ExportFormat::Eng;
    bool alternate = false;
    bool refCorrection = false;
    bool tempCorrection = false;
    std::string settingsPath;  // last.rbs to take the three flags from
    std::string outputPath;    // empty: standard output
    std::vector<std::string> rawFiles;
    MeterClockZone meterClock;                // the zone the meter's clock was set in
    std::vector<std::string> attributeFiles;  // --attrs, read before the --attr ones
    Attributes attributes;                    // --attr, checked
    std::optional<CastThresholds> casts;      // --casts, with its thresholds
    double binSize = 0.0;                     // --bin [dbar]; 0: none
    std::vector<std::string> trackFiles;      // --track: positions from these
    double trackGapSeconds = 10.0;            // --track-gap
    std::string qcPath;                       // --qc: thresholds; empty: the defaults
    bool qcOff = false;                       // --qc none: no quality flags
    bool qcDetail = false;                    // --qc-detail: each test's flags in NetCDF
};

struct ParsedConvertLine {
    enum class Kind { Run, Help, Version, Error };
    Kind kind = Kind::Run;
    ConvertOptions options;
    std::string error;
};

ParsedConvertLine ParseConvertOptions(const std::vector<std::string>& arguments);
std::string ConvertUsage();

}  // namespace kivo
