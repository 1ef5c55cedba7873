#include "core/host/ClockOffset.h"

#include <cstdlib>

#include "core/data/MeterClockZone.h"

namespace kivo {

namespace {
bool Plausible(std::int32_t month, std::int32_t day, std::int32_t year, std::int32_t hour,
               std::int32_t minute, std::int32_t second) {
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && year >= 0 && year <= 99 &&
           hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 60;
}

// Both clocks give two-digit years of this century.
std::int64_t Seconds(std::int32_t month, std::int32_t day, std::int32_t year, std::int32_t hour,
                     std::int32_t minute, std::int32_t second) {
    return static_cast<std::int64_t>(
        SecondsSinceEpoch(CalendarTime{2000 + year, month, day, hour, minute, second}));
}
}  // namespace

std::optional<std::int64_t> MeterMinusHostSeconds(const MeterClock& meter,
                                                  const HostClockSnapshot& host) {
    if (!Plausible(meter.month, meter.day, meter.year, meter.hour, meter.minute, meter.second) ||
        !Plausible(host.month, host.day, host.year, host.hour, host.minute, host.second))
        return std::nullopt;
    return Seconds(meter.month, meter.day, meter.year, meter.hour, meter.minute, meter.second) -
           Seconds(host.month, host.day, host.year, host.hour, host.minute, host.second);
}

std::string OffsetText(std::int64_t seconds) {
    return (seconds > 0 ? "+" : "") + std::to_string(seconds) + " s";
}

std::optional<std::string> ClockOffsetLog::Take(std::int64_t offsetSeconds) {
    current_ = offsetSeconds;
    std::string why;
    if (!pendingWhy_.empty()) {
        why = ", " + pendingWhy_;
    } else if (logged_) {
        if (std::llabs(offsetSeconds - *logged_) <= kLoggedChangeSeconds) return std::nullopt;
        why = ", changed by " + OffsetText(offsetSeconds - *logged_);
    }
    pendingWhy_.clear();
    logged_ = offsetSeconds;
    return Describe("") + why;
}

std::string ClockOffsetLog::Describe(const std::string& when) const {
    std::string text = "clock offset (meter - computer UTC)";
    if (!when.empty()) text += " " + when;
    return text + (current_ ? " " + OffsetText(*current_) : std::string(" not known"));
}

}  // namespace kivo
