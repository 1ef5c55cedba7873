// What keeps logged data safe at sea: a meter gone silent is noticed, the meter's memory is
// erased only when the operator says so knowing what it holds, and a download holds nothing
// but the memory image.
#include <cstdint>
#include <optional>
#include <string>

#include "core/host/Session.h"
#include "core/plot/LineGaps.h"

namespace kivo {

namespace {
// A data line this recent means the meter is sending [ms].
constexpr std::int64_t kStreamingWithinMs = 2000;
}  // namespace

void Session::WatchForStalls() {
    const std::int64_t now = clock_.SteadyMilliseconds();
    const bool recording = recording_.AnyActive();
    // A download's bytes are no data lines, and a replay has no meter to stall.
    const bool watch = !state_.ReplayMode && !download_.Active() && !getPending_ &&
                       (state_.PortNumber != 0 || port_.LostPort() != 0) &&
                       (dataStarted_ || recording);
    stallWatch_.Watch(watch, now);
    BreakChartAtGap(now);
    // A meter in cycle mode is silent between its cycles: the setup's interval says how long.
    const StallRhythm rhythm{rate_.LastRate(), CycleIntervalMs(meter_.Setup().cycleInterval),
                             stallLimitByHandMs_};
    if (stallWatch_.Check(now, rhythm) == StallWatch::Event::Stalled)
        LogEvent("no data for " + std::to_string(stallWatch_.StallMs(now) / 1000) + " s");
}

// A pause of the live data much longer than its pace is a loss: the chart's line is broken
// there rather than drawn straight across it. Checked each tick, so to within a tick.
void Session::BreakChartAtGap(std::int64_t nowMs) {
    const std::optional<float> rate = rate_.LastRate();
    const std::optional<std::int64_t> since = stallWatch_.SinceLastLineMs(nowMs);
    if (state_.ReplayMode || !rate || !(*rate > 0.0f) || !since) return;
    if (BreaksLine(static_cast<double>(*since), 1000.0 / static_cast<double>(*rate)))
        plot_.Model().BreakLines();
}

bool Session::Streaming() const {
    if (dataStarted_) return true;
    const std::optional<std::int64_t> since =
        stallWatch_.SinceLastLineMs(clock_.SteadyMilliseconds());
    return since && *since < kStreamingWithinMs;
}

// The stop went out with Receive Data; "$get" follows the first tick after it that read
// nothing. The tick the stop went out in does not count: the meter may not have heard it.
void Session::RunPendingGet() {
    if (!download_.Active()) {
        getPending_ = false;  // cancelled or timed out while waiting
        return;
    }
    if (++quietWaitTicks_ < 2 || lastReadCount_ != 0) return;
    getPending_ = false;
    assembler_.DropPending();  // a line cut by the stop must not begin the image
    link_.SendCommand(commands::kGetMemory);
}

}  // namespace kivo
