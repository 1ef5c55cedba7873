#pragma once

#include <string>
#include <vector>

#include "core/data/MeterClockZone.h"
#include "core/export/Exporter.h"

namespace kivo {

// What the output holds: the engineering-units file the window records, or the same values
// at full precision for other programs.
enum class OutputFormat { Eng, Csv, Netcdf };

struct ConvertOptions {
    std::string devicePath;
    OutputFormat format = OutputFormat::Eng;
    bool alternate = false;
    bool refCorrection = false;
    bool tempCorrection = false;
    std::string settingsPath;  // last.rbs to take the three flags from
    std::string outputPath;    // empty: standard output
    std::vector<std::string> rawFiles;
    MeterClockZone meterClock;                // the zone the meter's clock was set in
    std::vector<std::string> attributeFiles;  // --attrs, read before the --attr ones
    Attributes attributes;                    // --attr, checked
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
