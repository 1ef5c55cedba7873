#include "core/data/Conversion.h"

#include <algorithm>
#include <cmath>

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
        if (IsScattering(t)) {
            eng.beta[t] = counts;
            const ScatteringResult s =
                ComputeScattering(cal.salinity, cal.theta, cal.chi,
                                  static_cast<double>(cal.wavelength[t]), cal.waterType, counts);
            eng.betap[t] = s.betap;
            eng.bbp[t] = s.bbp;
            eng.bb[t] = s.bb;
            continue;
        }
        if (IsVolumeScattering(t)) {
            eng.vsf[t] = counts;
            continue;
        }
        switch (t) {
            case column::kChl:
                eng.chl = counts;
                break;
            case column::kCdom:
                eng.cdom = counts;
                break;
            case column::kUranine:
                eng.uranine = counts;
                break;
            case column::kPhycocyanin:
                eng.phycocyanin = counts;
                break;
            case column::kPhycoerythrin:
                eng.phycoerythrin = counts;
                break;
            case column::kRhodamine:
                eng.rhodamine = counts;
                break;
            case column::kLss:
                eng.lss = counts;
                break;
            case column::kNtu:
                eng.ntu = counts;
                break;
            case column::kITemp:
                eng.iTemp = linear;
                break;
            case column::kXTemp:
                eng.xTemp = linear;
                break;
            case column::kPres:
                eng.pressure = linear;
                break;
            case column::kIEngr:
                eng.meterEngr = raw[t];
                break;
            default:
                break;
        }
    }
}

}  // namespace kivo
