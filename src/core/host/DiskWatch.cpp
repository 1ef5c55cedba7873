#include "core/host/DiskWatch.h"

#include <algorithm>
#include <cmath>

#include "core/text/CFormat.h"

namespace kivo {

DiskWatch::Event DiskWatch::Check(std::int64_t nowMs, const std::vector<std::string>& paths,
                                  std::int64_t written) {
    if (paths.empty()) {
        Reset();
        return Event::None;
    }
    if (lastCheckMs_ && nowMs - *lastCheckMs_ < kCheckEveryMs) return Event::None;
    lastCheckMs_ = nowMs;
    // A file begun again (a new piece of a rotation) counts from where its bytes are now.
    if (written < lastWritten_ || !windowStartMs_) {
        windowStartMs_ = nowMs;
        windowStartBytes_ = written;
    } else if (nowMs - *windowStartMs_ >= 1000) {
        rate_ = static_cast<double>(written - windowStartBytes_) * 1000.0 /
                static_cast<double>(nowMs - *windowStartMs_);
        if (nowMs - *windowStartMs_ >= kRateWindowMs) {
            windowStartMs_ = nowMs;
            windowStartBytes_ = written;
        }
    }
    lastWritten_ = written;

    free_.reset();
    for (const std::string& path : paths) {
        const std::optional<std::int64_t> free = freeSpace_ ? freeSpace_(path) : std::nullopt;
        if (free && (!free_ || *free < *free_)) {
            free_ = free;
            where_ = path;
        }
    }
    if (!free_) return Event::None;
    if (*free_ < kStopBelow) {
        if (full_) return Event::None;
        full_ = true;
        return Event::Full;
    }
    const double hour = rate_ * 3600.0;
    const bool low = static_cast<double>(*free_) < std::max(static_cast<double>(kLowFloor), hour);
    if (low == low_) return Event::None;
    low_ = low;
    return low ? Event::Low : Event::Fine;
}

void DiskWatch::Reset() {
    lastCheckMs_.reset();
    free_.reset();
    where_.clear();
    windowStartMs_.reset();
    windowStartBytes_ = 0;
    lastWritten_ = 0;
    rate_ = 0.0;
    low_ = false;
    full_ = false;
}

std::optional<double> DiskWatch::SecondsLeft() const {
    if (!free_ || !(rate_ > 0.0)) return std::nullopt;
    return std::max(0.0, static_cast<double>(*free_ - kStopBelow) / rate_);
}

std::string DiskText(std::optional<double> secondsLeft, std::int64_t freeBytes) {
    const CNumericLocale cLocale;
    if (!secondsLeft)
        return FormatC("Disk: %.1f GB free",
                       static_cast<double>(freeBytes) / (1024.0 * 1024.0 * 1024.0));
    if (*secondsLeft >= 2 * 3600.0)
        return FormatC("Disk: %.0f h left", std::floor(*secondsLeft / 3600.0));
    return FormatC("Disk: %.0f min left", std::floor(*secondsLeft / 60.0));
}

}  // namespace kivo
