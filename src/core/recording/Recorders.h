#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "core/chain/Sample.h"
#include "core/data/DeviceCalibration.h"
#include "core/recording/RecordFile.h"

namespace kivo {

// The two record files of the data chain as sinks. Each writes every sample it is handed
// while a file is open; a failed write, flush or sync is told once (by the file) and closes
// the recording, so nothing is ever written after a hole.
class Recorder : public SampleSink {
public:
    explicit Recorder(RecordFile::Reporter report) : report_(std::move(report)) {}

    void Stop();
    bool Active() const { return file_.has_value(); }
    // The size of the current file, or of the last one after it stopped.
    std::int64_t ByteCount() const { return byteCount_; }
    // Hand what was written to the system (every tick), or to the disk (every second).
    // False when the file failed; the recording has then stopped.
    bool Flush();
    bool Sync();
    std::string Path() const { return file_ ? file_->Path() : std::string(); }
    // The appended file ended in a cut line and was given a line end first.
    bool MendedCutLine() const { return file_ && file_->MendedCutLine(); }

protected:
    bool Open(std::optional<RecordFile> file);
    const RecordFile::Reporter& Reporter() const { return report_; }
    // Writes and keeps the count; a failure stops the recording.
    void Write(const std::string& bytes);
    RecordFile* File() { return file_ ? &*file_ : nullptr; }

private:
    bool Check(bool ok);

    RecordFile::Reporter report_;
    std::optional<RecordFile> file_;
    std::int64_t byteCount_ = 0;
};

// The raw file: every accepted line exactly as the meter sent it, ended by CR LF.
class RawRecorder final : public Recorder {
public:
    using Recorder::Recorder;
    // A new file replaces the running one (closed first). False when it could not be made.
    bool Start(const std::string& path, RecordMode mode = RecordMode::Truncate);
    // The same onto a file the guarded opener opened.
    bool Start(OutputFile output);
    void OnSample(const Sample& sample) override;

private:
    std::string record_;
};

// The engineering-units file: its heading describes the device file loaded when it opened.
class EngrRecorder final : public Recorder {
public:
    EngrRecorder(const DeviceCalibration& calibration, RecordFile::Reporter report)
        : Recorder(std::move(report)), calibration_(calibration) {}
    // Writes the heading, unless an appended file already has one (the caller made sure it
    // is this one). False when the file could not be made; when the heading could not be
    // written it was made but the recording has stopped again (Active() tells).
    bool Start(const std::string& path, RecordMode mode = RecordMode::Truncate);
    bool Start(OutputFile output);
    void OnSample(const Sample& sample) override;

private:
    bool Begin(std::optional<RecordFile> file);

    const DeviceCalibration& calibration_;
    std::string record_;
};

}  // namespace kivo
