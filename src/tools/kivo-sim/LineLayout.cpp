#include "LineLayout.h"

#include <cstdio>

#include "DeviceLayout.h"
#include "SimOptions.h"
#include "Simulator.h"

namespace kivo::sim {
namespace {

constexpr int kCountCeiling = 4095;  // a 12-bit converter
constexpr int kStep = 20;            // largest change of a count between two lines

}  // namespace

std::uint64_t SeededRandom::Next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint32_t SeededRandom::Below(std::uint32_t bound) {
    return static_cast<std::uint32_t>(Next() % bound);
}

CountsLayout::CountsLayout(const CountsLayoutShape& shape) : shape_(shape), random_(shape.seed) {
    counts_.reserve(static_cast<std::size_t>(shape.countColumns));
    for (int column = 0; column < shape.countColumns; ++column) {
        counts_.push_back(static_cast<int>(200 + random_.Below(3000)));
    }
}

std::string CountsLayout::NextLine(const CivilTime& now) {
    std::string line;
    const auto appendField = [&line](const std::string& field) {
        if (!line.empty()) line += '\t';
        line += field;
    };
    if (shape_.alternate) {
        appendField(FormatDate(now, true));
        appendField(FormatTime(now, true));
    } else {
        if (shape_.dateField) appendField(FormatDate(now, false));
        if (shape_.timeField) appendField(FormatTime(now, false));
    }
    for (int& count : counts_) {
        count += static_cast<int>(random_.Below(2 * kStep + 1)) - kStep;
        if (count < 0) count = -count;
        if (count > kCountCeiling) count = 2 * kCountCeiling - count;
        char field[16];
        std::snprintf(field, sizeof field, "%d", count);
        appendField(field);
    }
    return line;
}

std::optional<DeviceCalibration> LoadDeviceOption(const SimOptions& options) {
    if (options.devicePath.empty()) return std::nullopt;
    return LoadSimDeviceFile(options.devicePath);
}

std::unique_ptr<LineLayout> MakeLineLayout(const SimOptions& options,
                                           const std::optional<DeviceCalibration>& device) {
    if (device) {
        auto layout = std::make_unique<DeviceLayout>(*device, options.alternate, options.seed,
                                                     options.faultColumns.value_or(0));
        if (options.castDepth) {
            if (const std::optional<std::string> refusal = CastRefusal(*device)) {
                throw StartupRefusal("device file '" + options.devicePath + "' " + *refusal +
                                     ", which --cast needs");
            }
            layout->ActOutCasts(CastRoutine(*options.castDepth), *device, 1.0 / options.rate);
        }
        return layout;
    }
    CountsLayoutShape shape;
    shape.dateField = options.dateField;
    shape.timeField = options.timeField;
    shape.alternate = options.alternate;
    shape.countColumns = options.faultColumns.value_or(options.counts);
    shape.seed = options.seed;
    return std::make_unique<CountsLayout>(shape);
}

std::unique_ptr<LineLayout> MakeMemoryLayout(const SimOptions& options,
                                             const std::optional<DeviceCalibration>& device) {
    if (!device) return nullptr;
    return std::make_unique<DeviceLayout>(*device, options.alternate, options.seed ^ 0x6D656D6FU,
                                          0);
}

}  // namespace kivo::sim
