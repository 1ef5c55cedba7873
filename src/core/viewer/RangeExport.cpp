#include "core/viewer/RangeExport.h"

#include <limits>
#include <string>

#include "core/export/ExportColumns.h"

namespace kivo {

RangeExportResult ExportRange(const RangeExportJob& job, OutputFile output,
                              LoadProgress& progress) {
    RawExportJob raw;
    raw.rawPaths = {job.rawPath};
    raw.format = job.format;
    raw.calibration = job.device.calibration;
    raw.deviceName = job.device.deviceName;
    raw.options = job.device.options;
    raw.facts = job.device.facts;
    raw.facts.software = job.software;
    raw.facts.commandLine = "Export Visible Range: lines " + std::to_string(job.firstLine + 1) +
                            " to " + std::to_string(job.lastLine) + " of " + job.rawPath;
    raw.attributeFile = job.device.metadataPath;
    raw.firstLine = job.firstLine;
    raw.lastLine = job.lastLine;
    if (job.casts) {
        raw.casts = job.device.casts;
        raw.binSize = job.binSize;
        raw.onlyCast = job.cast;
        raw.firstLine = 0;
        raw.lastLine = std::numeric_limits<std::size_t>::max();
        raw.facts.commandLine =
            "Export Casts: " +
            (job.cast > 0 ? "cast " + std::to_string(job.cast) : std::string("every cast")) +
            (job.binSize > 0 ? ", bins of " + ShortestText(job.binSize) + " dbar" : "") + " of " +
            job.rawPath;
    }
    RawExportWatch watch;
    watch.cancelled = [&progress] { return static_cast<bool>(progress.cancel); };
    watch.sized = [&progress](std::int64_t bytes) { progress.totalBytes = bytes; };
    watch.read = [&progress](std::int64_t bytes) { progress.bytesRead += bytes; };
    const RawExportResult exported = ExportRawFiles(raw, output, std::move(watch));

    RangeExportResult result;
    result.records = exported.records;
    switch (exported.end) {
        case RawExportResult::End::Written:
            result.written = true;
            break;
        case RawExportResult::End::Cancelled:
            result.cancelled = true;
            break;
        case RawExportResult::End::NoRecord:
            result.error = (job.casts ? "No record of the chosen casts"
                                      : "No line of the recording in the range") +
                           std::string(", so nothing was written to\n") + job.outputPath;
            break;
        default:
            result.error = RawExportFailureText(exported, job.outputPath);
            break;
    }
    return result;
}

RangeExportResult ExportRange(const RangeExportJob& job, LoadProgress& progress) {
    return ExportRange(
        job, OutputFile::Open(nullptr, job.outputPath, roles::kExport, OutputMode::Staged),
        progress);
}

}  // namespace kivo
