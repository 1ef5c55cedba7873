#include "core/recording/SampleRate.h"

#include "core/text/CFormat.h"

namespace kivo {

float RatePeriod(std::uint32_t ticks, int rateWindow) {
    const auto product = static_cast<float>(static_cast<double>(ticks) * kSecondsPerTick);
    return product / static_cast<float>(rateWindow);
}

float RateOfPeriod(float period) {
    if (period > 0.0f) return 1.0f / period;
    return 0.01f;
}

int NextRateWindow(float rate) {
    const int window = static_cast<double>(rate) > 5.5 ? 10 : static_cast<int>(10.0f * rate);
    return window < kMinRateWindow ? kMinRateWindow : window;
}

std::string SampleRateLabel(float rate) {
    return FormatC("Sample Rate: %4.2f Hz", static_cast<double>(rate));
}

std::optional<std::string> SampleRateEstimator::EstimateSampleRate(bool replayMode) {
    if (RateLineCount < 0) {
        RateWindow = kMinRateWindow;
        TickCount = 1;
        RateTickStamp = 1;
    }
    ++RateLineCount;
    if (RateLineCount < RateWindow) return std::nullopt;

    // Unsigned difference: right across a wrap of the tick counter too.
    const std::uint32_t ticks = TickCount - RateTickStamp;
    // Fast lines come several to a tick: the window takes more lines until it spans enough
    // ticks for the count of ticks to tell the time.
    if (ticks < kMinRateTicks) return std::nullopt;
    RateTickStamp = TickCount;
    const float rate = RateOfPeriod(RatePeriod(ticks, RateLineCount));
    RateWindow = NextRateWindow(rate);
    RateLineCount = 0;
    lastRate_ = rate;
    if (replayMode) return std::string(kReplayRateLabel);
    return SampleRateLabel(rate);
}

}  // namespace kivo
