#pragma once

#include <cstddef>
#include <string>

#include "core/export/RawExport.h"
#include "core/files/OutputFile.h"
#include "core/viewer/RecordingLoad.h"

namespace kivo {

// Lines [firstLine, lastLine) of a raw recording (counted from 0, as the viewer holds them)
// written to a CSV or NetCDF file by the exporters, from the chain's own doubles rather than
// the viewer's floats.
struct RangeExportJob {
    std::string rawPath;
    std::string outputPath;
    ExportFormat format = ExportFormat::Csv;
    ViewerDevice device;
    std::string software;
    std::size_t firstLine = 0;
    std::size_t lastLine = 0;
    // Casts instead of a range: the whole recording with each record's cast and phase, or
    // with `binSize` [dbar] above 0 the bin-averaged profiles; only cast `cast`, or every
    // cast when 0. The casts are told with the device's thresholds, as the view tells them.
    bool casts = false;
    int cast = 0;
    double binSize = 0.0;
};

struct RangeExportResult {
    bool written = false;
    bool cancelled = false;
    std::size_t records = 0;
    std::string error;  // for the operator when neither written nor cancelled
};

// The raw file runs through the chain from its start (a line's corrections and clock depend
// on the lines before it) and stops after the last line asked for. `output` is the job's
// output opened staged: a cancelled or failed export leaves nothing at the output's path,
// nor changes a file that was there.
RangeExportResult ExportRange(const RangeExportJob& job, OutputFile output, LoadProgress& progress);
// The same, its output opened here, checked against no other file.
RangeExportResult ExportRange(const RangeExportJob& job, LoadProgress& progress);

}  // namespace kivo
