#include "app/RecordingExport.h"

#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/chain/LineAssembler.h"
#include "core/export/CsvExporter.h"
#include "core/export/NetcdfExporter.h"
#include "core/protocol/ReplyParser.h"
#include "core/recording/RecordedLineFeeder.h"
#include "core/seams/Clock.h"

namespace kivo {

RecordingExport::RecordingExport(ExportJob job, OutputFile output,
                                 FileRegistry::Registration reading)
    : job_(std::move(job)), reading_(std::move(reading)) {
    worker_ = std::thread([this, file = std::move(output)]() mutable { Run(std::move(file)); });
}

RecordingExport::~RecordingExport() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

std::string RecordingExport::Message() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return message_;
}

void RecordingExport::Finish(State state, const std::string& message) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        message_ = message;
        reading_.Reset();
    }
    state_ = state;
}

void RecordingExport::Run(OutputFile output) {
    const auto [state, message] = Convert(output);
    // The temporary and the output's registration go before anyone hears the run ended.
    output.Discard();
    Finish(state, message);
}

std::pair<RecordingExport::State, std::string> RecordingExport::Convert(OutputFile& output) {
    std::ifstream in(job_.rawPath, std::ios::binary);
    if (!in) return {State::Failed, "Cannot read\n" + job_.rawPath};
    struct stat status {};
    if (::stat(job_.rawPath.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        totalBytes_ = static_cast<std::int64_t>(status.st_size);
    if (!output.Ok()) return {State::Failed, output.Error()};
    const std::string temporary = output.WritePath();

    std::string failure;
    const auto report = [&failure](const std::string& message) {
        if (failure.empty()) failure = message;
    };
    std::unique_ptr<Exporter> exporter;
    if (job_.format == ExportFormat::Csv) {
        exporter = std::make_unique<CsvExporter>(report);
    } else {
        exporter = std::make_unique<NetcdfExporter>(report);
    }
    ExportOptions options = job_.facts;
    options.software = job_.software;
    options.commandLine = "Export Recording: " + job_.rawPath;
    options.alternateMode = job_.options.alternateMode;
    options.refCorrection = job_.options.refCorrection;
    options.tempCorrection = job_.options.tempCorrection;
    if (const std::optional<std::string> why =
            ReadAttributeFile(job_.metadataPath, options.attributes, true))
        return {State::Failed, *why};
    DeviceCalibration calibration = job_.calibration;
    DataChain chain(calibration);
    RecordedLineFeeder feeder(chain, job_.options);
    LineAssembler assembler;
    bool ok = exporter->Start(temporary, calibration, job_.deviceName, options);
    if (ok) chain.AddSink(*exporter);
    std::vector<char> chunk(64 * 1024);
    while (ok && in && !cancel_) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::streamsize got = in.gcount();
        if (got > 0) assembler.Feed(chunk.data(), static_cast<std::size_t>(got), feeder);
        bytesRead_ += got;
        ok = exporter->Active();
    }
    if (in.bad()) {
        ok = false;
        report("Reading failed\n" + job_.rawPath);
    }
    if (exporter->Active() && !exporter->Finish()) ok = false;
    records_ = chain.Counts().DataLineCount;
    // A file of nothing but a heading would be taken for a result.
    if (ok && !cancel_ && records_ == 0) {
        return {State::Failed, "No data line of this device file in\n" + job_.rawPath +
                                   "\nso nothing was written to\n" + job_.outputPath};
    }
    if (cancel_ || !ok) {
        if (cancel_) return {State::Cancelled, {}};
        return {State::Failed, failure.empty() ? "Cannot write\n" + job_.outputPath : failure};
    }
    if (!output.Commit()) return {State::Failed, output.Error()};
    return {State::Done, {}};
}

}  // namespace kivo
