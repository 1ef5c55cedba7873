#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CastProfile.h"
#include "LineLayout.h"
#include "core/data/DeviceCalibration.h"

namespace kivo::sim {

// Data lines that fit a device file: one field per declared column, of the column's kind.
// Counts wander around levels that convert to plausible engineering values.
class DeviceLayout final : public LineLayout {
public:
    // `extraColumns` adds (or, negative, removes) count fields to provoke a mismatch.
    DeviceLayout(const DeviceCalibration& calibration, bool alternate, std::uint32_t seed,
                 int extraColumns);
    // Casts from now on: each line moves them on by `secondsPerLine`. The calibration must
    // have a pressure column (see CastRefusal).
    void ActOutCasts(const CastRoutine& routine, const DeviceCalibration& calibration,
                     double secondsPerLine);
    std::string NextLine(const CivilTime& now) override;

private:
    struct Column {
        int type = 0;
        double level = 0.0;  // current value
        double step = 0.0;   // largest change between two lines
        double low = 0.0;
        double high = 0.0;
        double dark = 0.0;  // the device file's dark counts
    };
    struct Cast {
        CastRoutine routine;
        DeviceCalibration calibration;
        double secondsPerLine;
        long lines = 0;  // sent so far
    };
    std::string CastCount(Column& column, const Cast& cast, double pressure);

    std::vector<Column> columns_;
    bool alternate_;
    SeededRandom random_;
    std::optional<Cast> cast_;
};

// Loads a device file for the simulator; throws StartupRefusal with the reason when it
// does not load.
DeviceCalibration LoadSimDeviceFile(const std::string& path);

}  // namespace kivo::sim
