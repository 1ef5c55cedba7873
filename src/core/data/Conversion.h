#pragma once

#include <array>
#include <cstdint>

#include "core/data/ColumnTypes.h"
#include "core/data/DataLine.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/EngineeringValues.h"

namespace kivo {

// A plotted value of this size means "nothing plotted"; the chart takes only values
// below 99990.0.
inline constexpr double kNothingPlotted = 99999.0;

// Water-corrected scattering of one channel.
struct ScatteringResult {
    double betap = 0.0;  // [1/(m sr)]
    double bbp = 0.0;    // [1/m]
    double bb = 0.0;     // [1/m]
};

// The scattering of the water at one channel's wavelength and angle: it depends on the
// device file alone. Not valid for a wavelength of 0 or below.
struct WaterScattering {
    bool valid = false;
    double betaWater = 0.0;  // [1/(m sr)]
    double bbw = 0.0;        // [1/m] backscattering of the water
};
WaterScattering WaterScatteringOf(double salinity, double theta, double wavelength, int waterType);
ScatteringResult ScatteringOf(const WaterScattering& water, double chi, double beta);

// The water's scattering of each channel, worked out once and again only when the device
// file's numbers change: two powers and a cosine a channel would otherwise cost every line.
class WaterScatteringCache {
public:
    const WaterScattering& Of(const DeviceCalibration& calibration, int type);

private:
    struct Entry {
        bool filled = false;
        double salinity = 0.0;
        double theta = 0.0;
        std::int32_t wavelength = 0;
        std::int32_t waterType = 0;
        WaterScattering water;
    };
    std::array<Entry, kSlots> entries_{};
};

// Removes the scattering of the water (pure: waterType 0, sea: otherwise) from beta
// measured at angle theta [rad] and wavelength [nm], and derives bbp and bb.
// A wavelength of 0 or below has no water scattering (the power law divides by zero):
// all three results are then kNothingPlotted, so that the channel is left off the chart
// rather than showing an infinity or garbage.
ScatteringResult ComputeScattering(double salinity, double theta, double chi, double wavelength,
                                   int waterType, double beta);

// Normalises scattering channels 8-15 in place, first by their reference channel (relative
// to `firstReference`, its first reading after the load) and then by the internal temperature.
// Columns 1..definitionCount; nothing is validated, a zero divisor gives an infinity.
void CorrectCounts(const DeviceCalibration& calibration, RawTable& rawValues, double rawITemp,
                   const std::array<double, kSlots>& firstReference, bool refChannelCorrection,
                   bool tempCorrection);

// Applies each column's calibration to the (corrected) raw values; with a cache, the water's
// scattering is taken from it (the same numbers, worked out once).
void ConvertToEngineering(const DeviceCalibration& calibration, const RawTable& rawValues,
                          EngineeringValues& values, WaterScatteringCache* cache = nullptr);

}  // namespace kivo
