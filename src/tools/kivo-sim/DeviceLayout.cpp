#include "DeviceLayout.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "Simulator.h"
#include "core/data/ColumnTypes.h"
#include "core/data/DeviceFile.h"
#include "core/files/RegularFile.h"
#include "tools/common/ConsolePrompts.h"

namespace kivo::sim {
namespace {

bool SeesTheWater(int type) {
    return IsScattering(type) || IsVolumeScattering(type) || IsFluorometer(type) ||
           type == column::kLss || type == column::kNtu || type == column::kIEngr;
}

}  // namespace

DeviceCalibration LoadSimDeviceFile(const std::string& path) {
    // A FIFO would block the start and /dev/zero never end: only a regular file is read.
    std::ifstream file;
    if (IsRegularFile(path)) file.open(path);
    if (!file.is_open()) throw StartupRefusal("cannot open device file '" + path + "'");
    DeviceCalibration calibration;
    std::string name;
    ConsolePrompts prompts("kivo-sim");
    if (!ReadDeviceFile(file, calibration, name, prompts))
        throw StartupRefusal("device file '" + path + "' does not load");
    return calibration;
}

DeviceLayout::DeviceLayout(const DeviceCalibration& calibration, bool alternate, std::uint32_t seed,
                           int extraColumns)
    : alternate_(alternate), random_(seed) {
    const int declared = calibration.declaredColumns;
    for (int i = 0; i < declared; ++i) {
        Column column;
        column.type = calibration.columnType[static_cast<std::size_t>(i)];
        // Raw counts of a 16-bit meter; temperatures near 20 C with the usual 0.01 slope.
        if (column.type == column::kITemp || column.type == column::kXTemp) {
            column.level = 3000 + random_.Below(200);
            column.step = 2;
            column.low = 2500;
            column.high = 3500;
        } else if (IsReference(column.type)) {
            column.level = 2000 + random_.Below(200);
            column.step = 3;
            column.low = 1500;
            column.high = 2500;
        } else {
            column.level = 100 + random_.Below(4000);
            column.step = 25;
            column.low = 40;
            column.high = 16000;
            column.dark = calibration.offset[static_cast<std::size_t>(column.type)];
        }
        columns_.push_back(column);
    }
    for (int i = 0; i < extraColumns; ++i) columns_.push_back(Column{0, 1000, 20, 0, 4095});
    for (int i = 0; i > extraColumns && !columns_.empty(); --i) columns_.pop_back();
}

void DeviceLayout::ActOutCasts(const CastRoutine& routine, const DeviceCalibration& calibration,
                               double secondsPerLine) {
    cast_ = Cast{routine, calibration, secondsPerLine};
}

// A channel that sees the water: the layer's shape over the channel's own dark counts, with
// the usual wobble.
std::string DeviceLayout::CastCount(Column& column, const Cast& cast, double pressure) {
    const double amplitude = 300.0 + column.level / 4.0;
    const double noise =
        static_cast<double>(random_.Below(static_cast<std::uint32_t>(2 * column.step + 1))) -
        column.step;
    const double count = column.dark + amplitude * cast.routine.Scattering(pressure) + noise;
    char field[32];
    std::snprintf(field, sizeof field, "%.0f", std::max(count, 0.0));
    return field;
}

std::string DeviceLayout::NextLine(const CivilTime& now) {
    std::optional<double> pressure;
    if (cast_) {
        const double seconds = cast_->secondsPerLine * static_cast<double>(cast_->lines++);
        pressure = cast_->routine.PressureAt(seconds);
    }
    std::string line;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        Column& c = columns_[i];
        if (i > 0) line += '\t';
        if (alternate_ && i == 0) {
            line += FormatDate(now, true);
        } else if (alternate_ && i == 1) {
            line += FormatTime(now, true);
        } else if (c.type == column::kDate) {
            line += FormatDate(now, false);
        } else if (c.type == column::kTime) {
            line += FormatTime(now, false);
        } else if (pressure && c.type == column::kPres) {
            char field[32];
            std::snprintf(field, sizeof field, "%.0f",
                          PressureCount(*pressure, cast_->calibration));
            line += field;
        } else if (pressure && SeesTheWater(c.type)) {
            line += CastCount(c, *cast_, *pressure);
        } else {
            const double change =
                static_cast<double>(random_.Below(static_cast<std::uint32_t>(2 * c.step + 1))) -
                c.step;
            c.level += change;
            if (c.level < c.low) c.level = 2 * c.low - c.level;
            if (c.level > c.high) c.level = 2 * c.high - c.level;
            char field[32];
            std::snprintf(field, sizeof field, "%.0f", c.level);
            line += field;
        }
    }
    return line;
}

}  // namespace kivo::sim
