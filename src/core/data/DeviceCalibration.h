#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/data/ColumnTypes.h"

namespace kivo {

// How many columns of each kind the loaded device file defines; the plot tab shows a
// selector only for kinds that are present.
struct KindCounters {
    std::int32_t scattering = 0;  // codes 7-15
    std::int32_t volumeScattering = 0;
    std::int32_t meterEngr = 0;
    std::int32_t chl = 0;
    std::int32_t cdom = 0;
    std::int32_t uranine = 0;
    std::int32_t rhodamine = 0;
    std::int32_t phycocyanin = 0;
    std::int32_t phycoerythrin = 0;
    std::int32_t lss = 0;
    std::int32_t ntu = 0;
    std::int32_t iTemp = 0;
    std::int32_t xTemp = 0;
    std::int32_t pressure = 0;

    bool Any() const {
        return scattering || volumeScattering || meterEngr || chl || cdom || uranine || rhodamine ||
               phycocyanin || phycoerythrin || lss || ntu || iTemp || xTemp || pressure;
    }
};

// Blue, as R + 256 G + 65536 B: the colour of a scattering channel without "Lambda=".
inline constexpr std::uint32_t kDefaultChannelColour = 255u * 65536u;

// Degrees to radians with pi taken as 3.1415, the way the meter's own software does it.
constexpr double DegreesToRadians(double degrees) { return degrees * 3.1415 * (1.0 / 180.0); }

// What the device file says about the meter's columns and its calibration. Per-column
// tables are indexed by column position (column 1 at index 0), per-type tables by code.
struct DeviceCalibration {
    std::int32_t declaredColumns = 0;  // survives a load that has no "Columns=" line
    std::int32_t definitionCount = 0;  // columns 1..definitionCount are processed
    std::array<std::int32_t, kSlots> columnType{};

    std::array<double, kSlots> scale{};
    std::array<double, kSlots> offset{};
    std::array<std::int32_t, kSlots> wavelength{};  // [nm], scattering channels only
    std::array<std::uint32_t, kSlots> channelColour{};
    std::array<double, kSlots> tempSlope{};
    std::array<double, kSlots> tempOffset{};

    // These four survive a load that does not set them.
    double salinity = 32.0;
    double theta = DegreesToRadians(117.0);  // [rad]
    double chi = 1.1;
    std::int32_t waterType = 1;  // 0 pure water, 1 sea water

    std::array<float, 3> asvFullScale{};  // "ASV1=", "ASV2=", "ASV4="
    float maxVoltage = 0.0f;
    std::int32_t engrColumn = -1;
    float engrScale = -1.0f;  // shown only when above 0
    float engrOffset = 0.0f;
    std::string engrUnits;  // at most kMaxEngrUnits characters

    KindCounters kinds;

    static constexpr std::size_t kMaxEngrUnits = 83;

    DeviceCalibration() { ResetToProgramStart(); }

    // What a device file load clears before reading its lines.
    void ResetForLoad() {
        columnType.fill(0);
        scale.fill(1.0);
        offset.fill(0.0);
        wavelength.fill(0);
        channelColour.fill(kDefaultChannelColour);
        tempSlope.fill(1.0);
        tempOffset.fill(0.0);
        kinds = KindCounters{};
        asvFullScale.fill(0.0f);
        maxVoltage = 0.0f;
        engrScale = -1.0f;
        engrOffset = 0.0f;
        engrColumn = -1;
        engrUnits.clear();
        definitionCount = 0;
    }

    // The values before any device file was loaded.
    void ResetToProgramStart() {
        ResetForLoad();
        theta = DegreesToRadians(117.0);
        salinity = 32.0;
        chi = 1.1;
        waterType = 1;
        declaredColumns = 0;
    }
};

}  // namespace kivo
