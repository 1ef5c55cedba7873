#pragma once

// The casts `--cast` acts out, as pure functions of the simulated time, so that tests can
// check them without running the meter (header only: nothing to link).

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "core/data/ColumnTypes.h"
#include "core/data/DeviceCalibration.h"

namespace kivo::sim {

// A CTD frame's routine, one cast after another: on deck, lowered to a soak, raised to just
// below the surface, down at winch speed to the bottom of the cast, a pause there, up and
// back on deck.
class CastRoutine {
public:
    static constexpr double kDeckSeconds = 30.0;
    static constexpr double kSoakSeconds = 60.0;
    static constexpr double kBottomSeconds = 20.0;
    static constexpr double kSoakDepth = 5.0;   // [dbar]
    static constexpr double kTopDepth = 1.0;    // where the profile starts [dbar]
    static constexpr double kWinchSpeed = 1.0;  // [dbar/s]
    // Ship heave: large enough that the frame goes up now and then while the winch pays out
    // at 1 dbar/s, as real profiles show.
    static constexpr double kHeaveAmplitude = 1.5;  // [dbar]
    static constexpr double kHeavePeriod = 8.0;     // [s]
    static constexpr double kMaxDepth = 11000.0;    // deeper than any ocean [dbar]

    explicit CastRoutine(double depth)
        : depth_(depth),
          soak_(std::min(kSoakDepth, depth)),
          top_(std::min(kTopDepth, soak_ / 2.0)) {}

    double Depth() const { return depth_; }

    // Seconds from one cast's deck to the next one's.
    double Period() const {
        return kDeckSeconds + soak_ / kWinchSpeed + kSoakSeconds + (soak_ - top_) / kWinchSpeed +
               (depth_ - top_) / kWinchSpeed + kBottomSeconds + depth_ / kWinchSpeed;
    }

    // The pressure the frame is at `seconds` after the first cast began on deck [dbar].
    double PressureAt(double seconds) const {
        const double level = LevelAt(std::fmod(std::max(seconds, 0.0), Period()));
        // Near the surface the heave is smaller, so the frame never leaves the water.
        const double heave = std::min(kHeaveAmplitude, level / 2.0);
        constexpr double kTwoPi = 6.283185307179586;
        return level + heave * std::sin(kTwoPi * seconds / kHeavePeriod);
    }

    // Scattering relative to the background at the surface: a background that fades gently
    // with depth and a layer at 40% of the cast's depth, the same on the way down and up.
    double Scattering(double pressure) const {
        constexpr double kFadeDepth = 200.0;  // [dbar]
        constexpr double kLayerStrength = 1.5;
        constexpr double kLayerWidth = 5.0;  // one standard deviation [dbar]
        const double fromLayer = (pressure - 0.4 * depth_) / kLayerWidth;
        return 1.0 / (1.0 + std::max(pressure, 0.0) / kFadeDepth) +
               kLayerStrength * std::exp(-0.5 * fromLayer * fromLayer);
    }

private:
    // The winch's depth without heave, `t` seconds into a cast.
    double LevelAt(double t) const {
        // Each leg: how long it lasts and the depths it runs between.
        const struct {
            double seconds;
            double from;
            double to;
        } legs[] = {
            {kDeckSeconds, 0.0, 0.0},
            {soak_ / kWinchSpeed, 0.0, soak_},
            {kSoakSeconds, soak_, soak_},
            {(soak_ - top_) / kWinchSpeed, soak_, top_},
            {(depth_ - top_) / kWinchSpeed, top_, depth_},
            {kBottomSeconds, depth_, depth_},
            {depth_ / kWinchSpeed, depth_, 0.0},
        };
        for (const auto& leg : legs) {
            if (t < leg.seconds) return leg.from + (leg.to - leg.from) * (t / leg.seconds);
            t -= leg.seconds;
        }
        return 0.0;
    }

    double depth_;
    double soak_;
    double top_;
};

// The count the meter sends for a pressure: the device file's conversion undone, rounded as
// the converter would.
inline double PressureCount(double pressure, const DeviceCalibration& calibration) {
    return std::round((pressure - calibration.offset[column::kPres]) /
                      calibration.scale[column::kPres]);
}

// Why a device file cannot act out casts; none when it can.
inline std::optional<std::string> CastRefusal(const DeviceCalibration& calibration) {
    const auto first = calibration.columnType.begin();
    const auto last = first + std::clamp(calibration.declaredColumns, 0, kSlots);
    if (std::find(first, last, column::kPres) == last) return "has no pressure column (PRES=)";
    if (calibration.scale[column::kPres] == 0.0) return "has a pressure slope of 0";
    return std::nullopt;
}

}  // namespace kivo::sim
