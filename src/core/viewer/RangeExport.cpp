#include "core/viewer/RangeExport.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/export/CsvExporter.h"
#include "core/export/NetcdfExporter.h"
#include "core/chain/LineAssembler.h"
#include "core/recording/RecordedLineFeeder.h"
#include "core/protocol/ReplyParser.h"

namespace kivo {
namespace {

// Hands on the samples of the wanted lines only.
class RangeFilter final : public SampleSink {
public:
    RangeFilter(SampleSink& sink, std::size_t first, std::size_t last)
        : sink_(sink), first_(first), last_(last) {}
    void OnSample(const Sample& sample) override {
        const auto line = static_cast<std::size_t>(sample.index) - 1;
        if (line >= first_ && line < last_) {
            sink_.OnSample(sample);
            ++passed_;
        }
        done_ = line + 1 >= last_;
    }
    bool Done() const { return done_; }
    std::size_t Passed() const { return passed_; }

private:
    SampleSink& sink_;
    const std::size_t first_;
    const std::size_t last_;
    std::size_t passed_ = 0;
    bool done_ = false;
};

}  // namespace

RangeExportResult ExportRange(const RangeExportJob& job, OutputFile output,
                              LoadProgress& progress) {
    RangeExportResult result;
    std::ifstream in(job.rawPath, std::ios::binary);
    if (!in) {
        result.error = "Cannot read\n" + job.rawPath;
        return result;
    }
    struct stat status {};
    if (::stat(job.rawPath.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        progress.totalBytes = static_cast<std::int64_t>(status.st_size);
    if (!output.Ok()) {
        result.error = output.Error();
        return result;
    }
    const std::string temporary = output.WritePath();
    std::string failure;
    const auto report = [&failure](const std::string& message) {
        if (failure.empty()) failure = message;
    };
    std::unique_ptr<Exporter> exporter;
    if (job.netcdf) {
        exporter = std::make_unique<NetcdfExporter>(report);
    } else {
        exporter = std::make_unique<CsvExporter>(report);
    }
    ExportOptions options = job.device.facts;
    options.software = job.software;
    options.commandLine = "Export Visible Range: lines " + std::to_string(job.firstLine + 1) +
                          " to " + std::to_string(job.lastLine) + " of " + job.rawPath;
    options.alternateMode = job.device.options.alternateMode;
    options.refCorrection = job.device.options.refCorrection;
    options.tempCorrection = job.device.options.tempCorrection;
    if (const std::optional<std::string> why =
            ReadAttributeFile(job.device.metadataPath, options.attributes, true)) {
        result.error = *why;
        return result;
    }
    DeviceCalibration calibration = job.device.calibration;
    DataChain chain(calibration);
    chain.DeviceFileLoaded();
    RangeFilter filter(*exporter, job.firstLine, job.lastLine);
    RecordedLineFeeder feeder(chain, job.device.options);
    LineAssembler assembler;
    bool ok = exporter->Start(temporary, calibration, job.device.deviceName, options);
    if (ok) chain.AddSink(filter);
    std::vector<char> chunk(64 * 1024);
    while (ok && in && !progress.cancel && !filter.Done()) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::streamsize got = in.gcount();
        if (got > 0) assembler.Feed(chunk.data(), static_cast<std::size_t>(got), feeder);
        progress.bytesRead += got;
        ok = exporter->Active();
    }
    if (in.bad()) {
        ok = false;
        report("Reading failed\n" + job.rawPath);
    }
    if (exporter->Active() && !exporter->Finish()) ok = false;
    result.records = filter.Passed();
    if (progress.cancel || !ok || result.records == 0) {
        result.cancelled = static_cast<bool>(progress.cancel);
        if (!result.cancelled) {
            result.error = !ok ? (failure.empty() ? "Cannot write\n" + job.outputPath : failure)
                               : "No line of the recording in the range, so nothing was "
                                 "written to\n" +
                                     job.outputPath;
        }
        return result;
    }
    if (!output.Commit()) {
        result.error = output.Error();
        return result;
    }
    result.written = true;
    return result;
}

RangeExportResult ExportRange(const RangeExportJob& job, LoadProgress& progress) {
    return ExportRange(
        job, OutputFile::Open(nullptr, job.outputPath, roles::kExport, OutputMode::Staged),
        progress);
}

}  // namespace kivo
