#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

// Watches the free space where the recordings go, so that a full disk is found before a
// write fails: low when less is left than the larger of 1 GB and an hour of the current
// rate, full below 50 MB, where recording must stop while every complete line can still be
// kept. Each is told once when it begins; low again only after it was fine. Times are
// milliseconds of a clock that never steps.
class DiskWatch {
public:
    static constexpr std::int64_t kMegabyte = 1024 * 1024;
    static constexpr std::int64_t kStopBelow = 50 * kMegabyte;
    static constexpr std::int64_t kLowFloor = 1024 * kMegabyte;
    static constexpr std::int64_t kCheckEveryMs = 2000;
    static constexpr std::int64_t kRateWindowMs = 60000;  // the rate is taken over this long

    using FreeSpace = std::function<std::optional<std::int64_t>(const std::string& path)>;
    enum class Event { None, Low, Full, Fine };

    explicit DiskWatch(FreeSpace freeSpace) : freeSpace_(std::move(freeSpace)) {}

    // A look, every kCheckEveryMs at most: `paths` are the running record files, `written`
    // the bytes they hold together. Full stops recording (the caller does it); the event is
    // about `Where()`.
    Event Check(std::int64_t nowMs, const std::vector<std::string>& paths, std::int64_t written);
    // Nothing recorded any more: the next recording starts afresh.
    void Reset();

    // The least free space of the recordings' file systems, and the path on it.
    std::optional<std::int64_t> FreeBytes() const { return free_; }
    const std::string& Where() const { return where_; }
    // At the recent rate, how long the least free space lasts before recording must stop [s];
    // none while nothing is written or the rate is not known yet.
    std::optional<double> SecondsLeft() const;
    bool Low() const { return low_; }
    bool Full() const { return full_; }
    double BytesPerSecond() const { return rate_; }

private:
    FreeSpace freeSpace_;
    std::optional<std::int64_t> lastCheckMs_;
    std::optional<std::int64_t> free_;
    std::string where_;
    // The bytes written at the start of the rate's window, and when.
    std::optional<std::int64_t> windowStartMs_;
    std::int64_t windowStartBytes_ = 0;
    std::int64_t lastWritten_ = 0;
    double rate_ = 0.0;  // [bytes/s]
    bool low_ = false;
    bool full_ = false;
};

// "Disk: 41 h left", "Disk: 25 min left", or the free space while the rate is not known
// ("Disk: 12.3 GB free").
std::string DiskText(std::optional<double> secondsLeft, std::int64_t freeBytes);

}  // namespace kivo
