#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "core/data/MeterClock.h"

namespace kivo {

// Meter minus computer [s]: the meter's clock as it last reported it against the computer's
// clock read as that report arrived, both in the zone the meter is kept in, so that the
// difference is that of the meter to the computer's UTC. None while the meter has not told a
// whole date and time. Both clocks tell whole seconds, so the figure wavers by a second.
std::optional<std::int64_t> MeterMinusHostSeconds(const MeterClock& meter,
                                                  const HostClockSnapshot& host);

// "+2 s", "-75 s", "0 s".
std::string OffsetText(std::int64_t seconds);

// Decides which clock offsets go into the event log: the first after the port opens, the
// first after the meter's clock was set, and any that moved more than 2 s from the last one
// logged (a mooring's clock drifting, or a meter that restarted with its clock lost).
class ClockOffsetLog {
public:
    static constexpr std::int64_t kLoggedChangeSeconds = 2;

    // The next offset is logged, with why: "at connection", "after setting the clock".
    void LogNext(std::string why) { pendingWhy_ = std::move(why); }
    // The meter told its time: the event text when this offset is to be logged.
    std::optional<std::string> Take(std::int64_t offsetSeconds);
    // The latest offset, or none before the first.
    std::optional<std::int64_t> Current() const { return current_; }
    // "clock offset (meter - computer UTC) +2 s" with what it is for, or that it is not known.
    std::string Describe(const std::string& when) const;

private:
    std::string pendingWhy_;
    std::optional<std::int64_t> current_;
    std::optional<std::int64_t> logged_;
};

}  // namespace kivo
