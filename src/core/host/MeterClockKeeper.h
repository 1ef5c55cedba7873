#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/data/MeterClock.h"
#include "core/host/ClockOffset.h"
#include "core/host/SerialLink.h"
#include "core/seams/Clock.h"

namespace kivo {

// What the clock keeper works with, owned by the session around it.
struct MeterClockLinks {
    SerialLink& link;
    Clock& clock;  // the computer's clock
    // One line into the event log.
    std::function<void(const std::string&)> log;
    // The operator chose the zone of the meter's clock: kept for the next start.
    std::function<void(bool local)> keepClockZone;
};

// The meter's clock: set from the computer's clock in the zone the operator keeps it in (UTC
// unless local time is chosen), and how far it stands from the computer's UTC clock, logged
// at connection, around each setting and download, and when it drifts.
class MeterClockKeeper {
public:
    explicit MeterClockKeeper(MeterClockLinks links);

    // The meter's date and time from one reading of the computer's clock: both at once, or
    // with the alternate commands the date alone.
    void SetMeterClock(bool alternateCommands);
    void SetMeterTime();  // the alternate commands' own time button

    void SetMeterClockLocal(bool local);
    // The choice as kept from the last run, without logging or keeping it again.
    void RestoreMeterClockLocal(bool local) { settingClock_.UseLocalTime(local); }
    bool MeterClockLocal() const { return settingClock_.LocalTimeUsed(); }
    // "UTC", or the local zone's short name: the zone of the meter's clock.
    std::string MeterClockZoneName() { return settingClock_.ZoneName(); }
    // The computer's clock in the zone the meter is set in.
    Clock& SettingClock() { return settingClock_; }

    // Meter minus computer UTC [s], from the meter's latest report of its date and time.
    std::optional<std::int64_t> ClockOffsetSeconds() const { return offsets_.Current(); }
    // The offset is logged with the next report, saying why ("at connection", ...).
    void LogNextClockOffset(const std::string& why) { offsets_.LogNext(why); }
    std::string DescribeClockOffset(const std::string& when) const {
        return offsets_.Describe(when);
    }
    // The meter's clock or the computer's moved: the offset between them is taken.
    void TakeClockOffset(const MeterClock& meterClock, const HostClockSnapshot& hostClock);

private:
    MeterClockLinks links_;
    MeterSettingClock settingClock_;
    ClockOffsetLog offsets_;
};

}  // namespace kivo
