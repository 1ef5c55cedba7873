#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/recording/RecordFile.h"

namespace kivo {

// Where the memory download stands; the Transfer Data page shows it.
enum class DownloadState { None, InProgress, Complete, Incomplete, Cancelled };

// The transfer of the meter's internal memory into a receive file: every byte read while it
// runs goes to the file unchanged, until the meter ends it with "etx" (any letter case), or
// falls silent for 60 ticks of the receive timer.
class MemoryDownload {
public:
    static constexpr int kIdleTicks = 60;
    static constexpr std::size_t kMaxRead = 499;  // bytes read from the port per tick
    static constexpr std::int64_t kPageBytes = 264;

    explicit MemoryDownload(RecordFile::Reporter report) : report_(std::move(report)) {}

    // Creates the receive file and starts: in progress, nothing received, 60 idle ticks.
    // `memoryUsedPages` is the meter's last "MEM" report (-1 unknown), for the expected size.
    // False, with the operator told why, while a download runs (its file stays the target)
    // or when the file cannot be created; the caller then sends nothing.
    bool Start(const std::string& path, std::int32_t memoryUsedPages);
    // The same onto a receive file the guarded opener opened.
    bool Start(OutputFile output, std::int32_t memoryUsedPages);

    // One tick's read from the port. Writes all of it to the file and looks for the end
    // marker; the marker and what follows it in the same read are kept, later reads are not
    // the download's.
    void PumpDownload(std::string_view bytes);

    // Every tick, download or not, after PumpDownload: counts down the idle ticks and ends a
    // silent download as incomplete.
    void IdleTick();

    // Marks the download cancelled (or the status, when none runs). The transfer itself goes
    // on until its marker or time-out; the caller stops the meter.
    void Cancel() { status_ = DownloadState::Cancelled; }

    bool Active() const { return active_; }
    DownloadState Status() const { return status_; }
    int IdleTicks() const { return idleTicks_; }
    // Bytes received in the current (or last) download: DownloadByteCount.
    std::int64_t BytesReceived() const { return bytesReceived_; }
    // pages x 264 from the last "MEM" reply; 0 when the meter has not reported it.
    std::int64_t ExpectedBytes() const { return expectedBytes_; }
    // The last three bytes received by any download.
    std::string_view EndMarkerWindow() const { return {window_.data(), window_.size()}; }

    static constexpr const char* kAlreadyRunningText =
        "A memory download is already running.\n"
        "Wait until it is complete or has timed out before starting another.";

private:
    // Shifts one byte into the window; true when it now holds the end marker.
    bool ShiftIntoWindow(char byte);
    void Finish(DownloadState statusUnlessCancelled);
    bool Begin(std::optional<RecordFile> file, std::int32_t memoryUsedPages);

    RecordFile::Reporter report_;
    std::optional<RecordFile> file_;
    std::array<char, 3> window_{'x', 'x', 'x'};  // kept across reads and downloads
    bool active_ = false;
    DownloadState status_ = DownloadState::None;
    int idleTicks_ = 0;
    std::int64_t bytesReceived_ = 0;
    std::int64_t expectedBytes_ = 0;
};

}  // namespace kivo
