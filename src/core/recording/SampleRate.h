#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kivo {

// The rate at which data lines arrive, measured over a window of lines against the ticks of
// the receive timer, counted as 0.055 s each whatever the timer's real interval.

inline constexpr double kSecondsPerTick = 0.055;
inline constexpr int kMinRateWindow = 5;
// A window spans at least this many ticks, so a tick more or less is a tenth at most.
inline constexpr std::uint32_t kMinRateTicks = 10;

// Seconds per line over a window: the product ticks x 0.055 is rounded to single precision
// before the division, as the meter's software always did.
float RatePeriod(std::uint32_t ticks, int rateWindow);
// Lines per second [Hz]; 0.01 for no period at all.
float RateOfPeriod(float period);
// Lines in the next window: 10 above 5.5 Hz, else ten times the rate truncated, at least 5.
int NextRateWindow(float rate);
// "Sample Rate: %4.2f Hz", with a decimal point in any locale.
std::string SampleRateLabel(float rate);

inline constexpr const char* kReplayRateLabel = "Replay";

// The estimator over the session's counters, which it reads and writes in place.
// TickCount is the receive timer's tick counter: the session increments it every tick and
// the estimator resets it to 1 when the measurement restarts.
class SampleRateEstimator {
public:
    SampleRateEstimator(std::uint32_t& tickCount, int& rateLineCount, int& rateWindow,
                        std::uint32_t& rateTickStamp)
        : TickCount(tickCount),
          RateLineCount(rateLineCount),
          RateWindow(rateWindow),
          RateTickStamp(rateTickStamp) {}

    // The next data line starts a new measurement (Start pressed).
    void Restart() { RateLineCount = -1; }

    // Counts one accepted data line. A window closes with its RateWindow-th line, or with the
    // first line after it that comes kMinRateTicks or more after the window began. When it
    // closes a window, the text for both sample-rate
    // labels: the rate, or "Replay" in replay mode; nothing otherwise.
    std::optional<std::string> EstimateSampleRate(bool replayMode);
    // The rate of the last window closed [Hz]; none before the first.
    std::optional<float> LastRate() const { return lastRate_; }

private:
    std::optional<float> lastRate_;
    std::uint32_t& TickCount;
    int& RateLineCount;
    int& RateWindow;
    std::uint32_t& RateTickStamp;
};

}  // namespace kivo
