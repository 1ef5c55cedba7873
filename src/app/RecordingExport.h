#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "core/chain/DataChain.h"
#include "core/data/DeviceCalibration.h"
#include "core/export/ExportAttributes.h"
#include "core/export/RawExport.h"
#include "core/files/OutputFile.h"

namespace kivo {

// What an export of a raw file is made from: copies, so the worker shares nothing with the
// window's session, and live work goes on while it runs.
struct ExportJob {
    std::string rawPath;
    std::string outputPath;
    ExportFormat format = ExportFormat::Csv;
    DeviceCalibration calibration;
    std::string deviceName;
    ChainOptions options;
    std::string software;
    // What the file says of its making besides: the session's ExportFacts() (the device file
    // with its SHA-256, the meter's identification line, the zone its clock was set in).
    ExportOptions facts;
    // The operator's extra attributes, "key = value" lines (the session's MetadataPath()); a
    // file that is not there adds none.
    std::string metadataPath = kMetadataFileName;
};

// A raw file converted on a thread of its own, through its own line assembler, data chain
// and exporter, into `output` (the job's output opened staged): a cancelled or failed export
// leaves nothing at the output's path. `reading` keeps the raw file registered as the
// recording being exported until the run ends.
class RecordingExport {
public:
    enum class State { Running, Done, Failed, Cancelled };

    RecordingExport(ExportJob job, OutputFile output, FileRegistry::Registration reading);
    RecordingExport(const RecordingExport&) = delete;
    RecordingExport& operator=(const RecordingExport&) = delete;
    // Cancels a run that is still going and waits for it.
    ~RecordingExport();

    void Cancel() { cancel_ = true; }
    State Status() const { return state_; }
    std::int64_t BytesRead() const { return bytesRead_; }
    std::int64_t TotalBytes() const { return totalBytes_; }
    // Why it failed; the number of records when done.
    std::string Message() const;
    double Records() const { return records_; }
    const ExportJob& Job() const { return job_; }

private:
    void Run(OutputFile output);
    std::pair<State, std::string> Convert(OutputFile& output);
    void Finish(State state, const std::string& message);

    const ExportJob job_;
    std::atomic<bool> cancel_{false};
    std::atomic<State> state_{State::Running};
    std::atomic<std::int64_t> bytesRead_{0};
    std::atomic<std::int64_t> totalBytes_{0};
    std::atomic<double> records_{0.0};
    mutable std::mutex mutex_;
    std::string message_;
    FileRegistry::Registration reading_;
    std::thread worker_;  // last: started once everything it uses is there
};

}  // namespace kivo
