#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kivo {

// What the silence that makes a stall depends on.
struct StallRhythm {
    std::optional<float> rateHz;                  // the last sample-rate estimate
    std::optional<std::int64_t> cycleIntervalMs;  // the meter's cycle interval, in cycle mode
    std::optional<std::int64_t> byHandMs;         // set by the operator; overrides the rest
};

// The cycle interval as the meter spells it ("001500", or "00:15:00") [ms]; none when the
// meter does not cycle (zero) or the text is no interval (the start value "hhmmss").
std::optional<std::int64_t> CycleIntervalMs(const std::string& cycleInterval);

// Notices a meter that has gone silent: while watched (the data started, or a recording
// runs), no data line for three sample intervals, and at least 3 s, is a stall. A meter in
// cycle mode is silent between its cycles by design, so there the cycle interval comes on
// top. It is said once when it begins and once when the next line ends it. Times are
// milliseconds of a clock that never steps.
class StallWatch {
public:
    enum class Event { None, Stalled, Back };
    static constexpr std::int64_t kShortestStallMs = 3000;
    static constexpr int kIntervals = 3;

    // Watching on or off. Turned on, silence counts from now at the latest, so a meter that
    // does not answer "$run" is a stall too; turned off, a stall ends without a word.
    void Watch(bool on, std::int64_t nowMs);
    // A data line arrived: Back when it ends a stall.
    Event OnDataLine(std::int64_t nowMs);
    // Stalled when a stall begins now.
    Event Check(std::int64_t nowMs, const StallRhythm& rhythm);

    // Since the last data line [ms]; none before the first.
    std::optional<std::int64_t> SinceLastLineMs(std::int64_t nowMs) const;
    bool Stalled() const { return stalled_; }
    // The silence that began the current or the last stall, up to now or to its end [ms].
    std::int64_t StallMs(std::int64_t nowMs) const;
    int Stalls() const { return stalls_; }

    // The silence that makes a stall in this rhythm [ms].
    static std::int64_t LimitMs(const StallRhythm& rhythm);
    static std::int64_t LimitMs(std::optional<float> rateHz) {
        return LimitMs(StallRhythm{rateHz, std::nullopt, std::nullopt});
    }

private:
    bool watching_ = false;
    bool stalled_ = false;
    std::optional<std::int64_t> lastLineMs_;
    std::int64_t silentSinceMs_ = 0;  // the later of the last line and the start of watching
    std::int64_t lastStallMs_ = 0;    // the length of the last stall that ended
    int stalls_ = 0;
};

}  // namespace kivo
