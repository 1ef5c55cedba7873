#include "core/data/Conversion.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/data/ColumnKinds.h"

namespace kivo {
namespace {

// Temperature response of the scattering channels per raw internal-temperature count.
constexpr double kTempCorrection = 0.001794468729587918;

int ColumnsToProcess(const DeviceCalibration& cal) {
    return std::clamp(static_cast<int>(cal.definitionCount), 0, kSlots);
}

}  // namespace

WaterScattering WaterScatteringOf(double salinity, double theta, double wavelength, int waterType) {
    WaterScattering water;
    if (!(wavelength > 0.0)) return water;
    const double cosTheta = std::cos(theta);
    // 0.09: depolarisation ratio of water.
    const double angular = 1.0 + cosTheta * cosTheta * (1.0 - 0.09) / (1.0 + 0.09);
    const double relative = 0.002 * wavelength;  // wavelength / 500 nm
    water.betaWater =
        1.38 * std::pow(relative, -4.32) * (1.0 + 0.3 * salinity * (1.0 / 37)) * 0.0001 * angular;
    const double bw = waterType == 0 ? 0.0022533 * std::pow(relative, -4.23)
                                     : 0.0029308 * std::pow(relative, -4.24);
    water.bbw = 0.5 * bw;
    water.valid = true;
    return water;
}

ScatteringResult ScatteringOf(const WaterScattering& water, double chi, double beta) {
    if (!water.valid) return {kNothingPlotted, kNothingPlotted, kNothingPlotted};
    ScatteringResult result;
    result.betap = beta - water.betaWater;
    result.bbp = 2.0 * 3.1415 * chi * result.betap;
    result.bb = result.bbp + water.bbw;
    return result;
}

ScatteringResult ComputeScattering(double salinity, double theta, double chi, double wavelength,
                                   int waterType, double beta) {
    return ScatteringOf(WaterScatteringOf(salinity, theta, wavelength, waterType), chi, beta);
}

const WaterScattering& WaterScatteringCache::Of(const DeviceCalibration& cal, int type) {
    Entry& entry = entries_[static_cast<std::size_t>(type)];
    const std::int32_t wavelength = cal.wavelength[static_cast<std::size_t>(type)];
    if (!entry.filled || entry.salinity != cal.salinity || entry.theta != cal.theta ||
        entry.wavelength != wavelength || entry.waterType != cal.waterType) {
        entry.water = WaterScatteringOf(cal.salinity, cal.theta, static_cast<double>(wavelength),
                                        cal.waterType);
        entry.filled = true;
        entry.salinity = cal.salinity;
        entry.theta = cal.theta;
        entry.wavelength = wavelength;
        entry.waterType = cal.waterType;
    }
    return entry.water;
}

void CorrectCounts(const DeviceCalibration& cal, RawTable& raw, double rawITemp,
                   const std::array<double, kSlots>& firstReference, bool refChannelCorrection,
                   bool tempCorrection) {
    const int columns = ColumnsToProcess(cal);
    for (int i = 0; i < columns; ++i) {
        const int t = cal.columnType[i];
        if (!HasScatteringReference(t)) continue;
        const int r = ScatteringReferenceOf(t);
        if (refChannelCorrection) {
            raw[t] = raw[t] / (raw[r] / firstReference[r] * cal.scale[r] + cal.offset[r]);
        }
        if (tempCorrection) {
            raw[t] = raw[t] / (kTempCorrection * rawITemp * cal.tempSlope[t] + cal.tempOffset[t]);
        }
    }
}

void ConvertToEngineering(const DeviceCalibration& cal, const RawTable& raw, EngineeringValues& eng,
                          WaterScatteringCache* cache) {
    const int columns = ColumnsToProcess(cal);
    for (int i = 0; i < columns; ++i) {
        const int t = cal.columnType[i];
        if (!IsSlot(t)) continue;
        const double counts = (raw[t] - cal.offset[t]) * cal.scale[t];  // dark removed
        const double linear = raw[t] * cal.scale[t] + cal.offset[t];    // slope, intercept
        if (IsScattering(t)) {  // four values a channel, outside the kinds table
            eng.beta[t] = counts;
            const ScatteringResult s =
                cache != nullptr ? ScatteringOf(cache->Of(cal, t), cal.chi, counts)
                                 : ComputeScattering(cal.salinity, cal.theta, cal.chi,
                                                     static_cast<double>(cal.wavelength[t]),
                                                     cal.waterType, counts);
            eng.betap[t] = s.betap;
            eng.bbp[t] = s.bbp;
            eng.bb[t] = s.bb;
            continue;
        }
        const ColumnKind* kind = ColumnKindOf(t);
        if (kind == nullptr) continue;
        double* const slot = EngineeringSlotOf(*kind, t, eng);
        if (slot == nullptr) continue;
        switch (kind->convertBy) {
            case ConvertBy::LessDark:
                *slot = counts;
                break;
            case ConvertBy::Linear:
                *slot = linear;
                break;
            case ConvertBy::AsSent:
                *slot = raw[t];
                break;
            case ConvertBy::Nothing:
                break;
        }
    }
}

}  // namespace kivo
