#include "app/RecordingExport.h"

#include <utility>

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
    RawExportJob raw;
    raw.rawPaths = {job_.rawPath};
    raw.format = job_.format;
    raw.calibration = job_.calibration;
    raw.deviceName = job_.deviceName;
    raw.options = job_.options;
    raw.facts = job_.facts;
    raw.facts.software = job_.software;
    raw.facts.commandLine = "Export Recording: " + job_.rawPath;
    raw.attributeFile = job_.metadataPath;
    RawExportWatch watch;
    watch.cancelled = [this] { return static_cast<bool>(cancel_); };
    watch.sized = [this](std::int64_t bytes) { totalBytes_ = bytes; };
    watch.read = [this](std::int64_t bytes) { bytesRead_ += bytes; };
    const RawExportResult result = ExportRawFiles(raw, output, std::move(watch));
    records_ = static_cast<double>(result.records);
    switch (result.end) {
        case RawExportResult::End::Written:
            return {State::Done, {}};
        case RawExportResult::End::Cancelled:
            return {State::Cancelled, {}};
        case RawExportResult::End::NoRecord:
            return {State::Failed, "No data line of this device file in\n" + job_.rawPath +
                                       "\nso nothing was written to\n" + job_.outputPath};
        default:
            return {State::Failed, RawExportFailureText(result, job_.outputPath)};
    }
}

}  // namespace kivo
