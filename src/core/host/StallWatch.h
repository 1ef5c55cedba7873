#pragma once

#include <cstdint>
#include <optional>

namespace kivo {

// Notices a meter that has gone silent: while watched (the data started, or a recording
// runs), no data line for three sample intervals, and at least 3 s, is a stall. It is said
// once when it begins and once when the next line ends it. Times are milliseconds of a
// clock that never steps.
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
    // Stalled when a stall begins now. `rateHz` is the last sample-rate estimate, if any.
    Event Check(std::int64_t nowMs, std::optional<float> rateHz);

    // Since the last data line [ms]; none before the first.
    std::optional<std::int64_t> SinceLastLineMs(std::int64_t nowMs) const;
    bool Stalled() const { return stalled_; }
    // The silence that began the current or the last stall, up to now or to its end [ms].
    std::int64_t StallMs(std::int64_t nowMs) const;
    int Stalls() const { return stalls_; }

    // The silence that makes a stall at this rate [ms].
    static std::int64_t LimitMs(std::optional<float> rateHz);

private:
    bool watching_ = false;
    bool stalled_ = false;
    std::optional<std::int64_t> lastLineMs_;
    std::int64_t silentSinceMs_ = 0;  // the later of the last line and the start of watching
    std::int64_t lastStallMs_ = 0;    // the length of the last stall that ended
    int stalls_ = 0;
};

}  // namespace kivo
