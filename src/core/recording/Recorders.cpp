#include "core/recording/Recorders.h"

#include "core/recording/EngrRecording.h"
#include "core/recording/RawRecording.h"

namespace kivo {

bool Recorder::Open(std::optional<RecordFile> file) {
    // A new target closes the old one first: nothing is left open and unreachable.
    Stop();
    file_ = std::move(file);
    if (!file_) return false;
    byteCount_ = file_->ByteCount();
    return true;
}

void Recorder::Stop() {
    if (file_) file_->Close();
    file_.reset();
}

bool Recorder::Check(bool ok) {
    if (!ok || (file_ && file_->Failed())) {
        Stop();
        return false;
    }
    return true;
}

void Recorder::Write(const std::string& bytes) {
    if (!file_) return;
    const bool ok = file_->Write(bytes);
    byteCount_ = file_->ByteCount();
    Check(ok);
}

bool Recorder::Flush() { return !file_ || Check(file_->Flush()); }

bool Recorder::Sync() { return !file_ || Check(file_->Sync()); }

bool RawRecorder::Start(const std::string& path, RecordMode mode) {
    Stop();
    return Open(RecordFile::Create(path, Reporter(), mode));
}

bool RawRecorder::Start(OutputFile output) {
    Stop();
    return Open(RecordFile::Create(std::move(output), Reporter()));
}

void RawRecorder::OnSample(const Sample& sample) {
    if (File() != nullptr) {
        MakeRawRecord(record_, sample.line);
        Write(record_);
    }
}

bool EngrRecorder::Start(const std::string& path, RecordMode mode) {
    Stop();
    return Begin(RecordFile::Create(path, Reporter(), mode));
}

bool EngrRecorder::Start(OutputFile output) {
    Stop();
    return Begin(RecordFile::Create(std::move(output), Reporter()));
}

bool EngrRecorder::Begin(std::optional<RecordFile> file) {
    if (!Open(std::move(file))) return false;
    if (File()->ByteCount() == 0) Write(EngrHeading(calibration_, calibration_.definitionCount));
    Flush();
    return true;
}

void EngrRecorder::OnSample(const Sample& sample) {
    if (File() == nullptr) return;
    record_.clear();  // one buffer for every record: no allocation per line
    AppendEngrRecord(record_, sample.x, sample.meterClock, calibration_,
                     calibration_.definitionCount, sample.engineering);
    Write(record_);
}

}  // namespace kivo
