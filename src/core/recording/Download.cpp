#include "core/recording/Download.h"

#include <utility>

namespace kivo {

namespace {

// ASCII only: the marker must not depend on the locale.
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool MemoryDownload::Start(const std::string& path, std::int32_t memoryUsedPages) {
    return Start(OutputFile::Open(nullptr, path, roles::kReceiveFile, OutputMode::Truncate),
                 memoryUsedPages);
}

bool MemoryDownload::Start(OutputFile output, std::int32_t memoryUsedPages) {
    if (active_) {
        // Opening a second file would leave the first one open and unfinished.
        if (report_) report_(kAlreadyRunningText);
        return false;
    }
    return Begin(RecordFile::Create(std::move(output), report_), memoryUsedPages);
}

bool MemoryDownload::Begin(std::optional<RecordFile> file, std::int32_t memoryUsedPages) {
    file_ = std::move(file);
    if (!file_) return false;
    active_ = true;
    status_ = DownloadState::InProgress;
    bytesReceived_ = 0;
    expectedBytes_ = memoryUsedPages > 0 ? memoryUsedPages * kPageBytes : 0;
    idleTicks_ = kIdleTicks;
    return true;
}

void MemoryDownload::PumpDownload(std::string_view bytes) {
    if (!active_ || bytes.empty()) return;
    idleTicks_ = kIdleTicks;
    file_->Write(bytes);
    bytesReceived_ += static_cast<std::int64_t>(bytes.size());
    for (const char byte : bytes) {
        if (ShiftIntoWindow(byte)) {
            // A file that lost bytes is not a complete copy of the memory.
            Finish(file_->Failed() ? DownloadState::Incomplete : DownloadState::Complete);
            idleTicks_ = 0;
            return;
        }
    }
    file_->Flush();
}

void MemoryDownload::IdleTick() {
    if (idleTicks_ > 0) {
        --idleTicks_;
    } else if (active_) {
        Finish(DownloadState::Incomplete);
    }
}

bool MemoryDownload::ShiftIntoWindow(char byte) {
    window_[0] = window_[1];
    window_[1] = window_[2];
    window_[2] = byte;
    return LowerAscii(window_[0]) == 'e' && LowerAscii(window_[1]) == 't' &&
           LowerAscii(window_[2]) == 'x';
}

void MemoryDownload::Finish(DownloadState statusUnlessCancelled) {
    const bool closedWhole = file_->Close();
    if (status_ != DownloadState::Cancelled) {
        status_ = closedWhole ? statusUnlessCancelled : DownloadState::Incomplete;
    }
    file_.reset();
    active_ = false;
}

}  // namespace kivo
