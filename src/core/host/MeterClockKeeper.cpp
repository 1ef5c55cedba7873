#include "core/host/MeterClockKeeper.h"

#include <utility>

#include "core/protocol/Commands.h"

namespace kivo {

MeterClockKeeper::MeterClockKeeper(MeterClockLinks links)
    : links_(std::move(links)), settingClock_(links_.clock) {}

void MeterClockKeeper::SetMeterClock(bool alternateCommands) {
    // One reading, so both commands tell one instant; UTC unless the operator chose local time.
    const LocalTime now = settingClock_.Now();
    links_.log(offsets_.Describe("before setting the clock"));
    if (alternateCommands) {
        links_.link.SendCommand(SetDateAlternateCommand(now));
    } else {
        links_.link.SendCommand(SetClockCommand(now));
        links_.link.SendCommand(SetDateCommand(now));
    }
    links_.log("the meter's clock set from the computer's " + settingClock_.ZoneName() + " clock");
    offsets_.LogNext("after setting the clock");
}

void MeterClockKeeper::SetMeterTime() {
    links_.log(offsets_.Describe("before setting the clock"));
    links_.link.SendCommand(SetTimeAlternateCommand(settingClock_.Now()));
    links_.log("the meter's clock set from the computer's " + settingClock_.ZoneName() + " clock");
    offsets_.LogNext("after setting the clock");
}

void MeterClockKeeper::SetMeterClockLocal(bool local) {
    if (local == settingClock_.LocalTimeUsed()) return;
    settingClock_.UseLocalTime(local);
    links_.log(std::string("the meter's clock is kept in ") + (local ? "local time" : "UTC"));
    links_.keepClockZone(local);
}

void MeterClockKeeper::TakeClockOffset(const MeterClock& meterClock,
                                       const HostClockSnapshot& hostClock) {
    const std::optional<std::int64_t> offset = MeterMinusHostSeconds(meterClock, hostClock);
    if (!offset) return;
    if (const std::optional<std::string> event = offsets_.Take(*offset)) links_.log(*event);
}

}  // namespace kivo
