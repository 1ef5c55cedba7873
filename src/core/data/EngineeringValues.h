#pragma once

#include <array>

#include "core/data/ColumnTypes.h"

namespace kivo {

// The converted values of the latest data line. Kinds the current device file does not
// define keep what earlier lines left in them.
struct EngineeringValues {
    std::array<double, kSlots> beta{};   // [1/(m sr)] scattering channels 7-15
    std::array<double, kSlots> betap{};  // [1/(m sr)] particles only
    std::array<double, kSlots> bbp{};    // [1/m] particulate backscattering
    std::array<double, kSlots> bb{};     // [1/m] total backscattering
    double chl = 0.0;                    // [ug/l]
    double cdom = 0.0;                   // [ppb]
    double uranine = 0.0;                // [ppb]
    double phycocyanin = 0.0;            // [ppb]
    double phycoerythrin = 0.0;          // [ppb]
    double rhodamine = 0.0;              // [ppb]
    double lss = 0.0;                    // "LSS Cp", no unit
    double ntu = 0.0;                    // [NTU]
    double iTemp = 0.0;                  // [deg C]
    double xTemp = 0.0;                  // [deg C]
    double pressure = 0.0;               // [dbar]
    double meterEngr = 0.0;              // as the meter sent it, in engrUnits
    std::array<double, kSlots> vsf{};    // [1/(m sr)] volume scattering, codes 54-56
};

}  // namespace kivo
