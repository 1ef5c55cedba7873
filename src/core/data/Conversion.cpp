#include "core/data/Conversion.h"

#include <algorithm>
#include <cmath>

#include "core/data/ColumnKinds.h"

namespace kivo {
namespace {

// Temperature response of the scattering channels per raw internal-temperature count.
constexpr double kTempCorrection = 0.001794468729587918;

int ColumnsToProcess(const DeviceCalibration& cal) {
    return std::clamp(static_cast<int>(cal.definitionCount), 0, kSlots);
}

}  // namespace

ScatteringResult ComputeScattering(double salinity, double theta, double chi, double wavelength,
                                   int waterType, double beta) {
    if (!(wavelength > 0.0)) return {kNothingPlotted, kNothingPlotted, kNothingPlotted};
    const double cosTheta = std::cos(theta);
    // 0.09: depolarisation ratio of water.
    const double angular = 1.0 + cosTheta * cosTheta * (1.0 - 0.09) / (1.0 + 0.09);
    const double relative = 0.002 * wavelength;  // wavelength / 500 nm
    const double betaWater =
        1.38 * std::pow(relative, -4.32) * (1.0 + 0.3 * salinity * (1.0 / 37)) * 0.0001 * angular;
    const double bw = waterType == 0 ? 0.0022533 * std::pow(relative, -4.23)
                                     : 0.0029308 * std::pow(relative, -4.24);
    const double bbw = 0.5 * bw;
    ScatteringResult result;
    result.betap = beta - betaWater;
    result.bbp = 2.0 * 3.1415 * chi * result.betap;
    result.bb = result.bbp + bbw;
    return result;
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

void ConvertToEngineering(const DeviceCalibration& cal, const RawTable& raw,
                          EngineeringValues& eng) {
    const int columns = ColumnsToProcess(cal);
    for (int i = 0; i < columns; ++i) {
        const int t = cal.columnType[i];
        if (!IsSlot(t)) continue;
        const double counts = (raw[t] - cal.offset[t]) * cal.scale[t];  // dark removed
        const double linear = raw[t] * cal.scale[t] + cal.offset[t];    // slope, intercept
        if (IsScattering(t)) {  // four values a channel, outside the kinds table
            eng.beta[t] = counts;
            const ScatteringResult s =
                ComputeScattering(cal.salinity, cal.theta, cal.chi,
                                  static_cast<double>(cal.wavelength[t]), cal.waterType, counts);
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
