#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimClock.h"
#include "core/data/DeviceCalibration.h"

namespace kivo::sim {

struct SimOptions;

// Repeatable pseudo-random numbers (SplitMix64): the same seed gives the same sequence on
// every machine, which std::*_distribution does not promise.
class SeededRandom {
public:
    explicit SeededRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next();
    std::uint32_t Below(std::uint32_t bound);  // 0 .. bound-1; bound > 0

private:
    std::uint64_t state_;
};

// Makes the data lines the meter streams; one object per column layout.
class LineLayout {
public:
    virtual ~LineLayout() = default;
    // The next data line without its line end, stamped with the meter clock's reading.
    virtual std::string NextLine(const CivilTime& now) = 0;
};

struct CountsLayoutShape {
    bool dateField = false;
    bool timeField = false;
    bool alternate = false;  // six-digit date and time as the first two fields
    int countColumns = 3;
    std::uint32_t seed = 1;
};

// Date and time fields as chosen, then count columns that wander like a real signal.
class CountsLayout final : public LineLayout {
public:
    explicit CountsLayout(const CountsLayoutShape& shape);
    std::string NextLine(const CivilTime& now) override;

private:
    CountsLayoutShape shape_;
    SeededRandom random_;
    std::vector<int> counts_;
};

// The --dev device file, loaded once for the streamed and the logged lines; none without
// one. Throws StartupRefusal when it does not load.
std::optional<DeviceCalibration> LoadDeviceOption(const SimOptions& options);

std::unique_ptr<LineLayout> MakeLineLayout(const SimOptions& options,
                                           const std::optional<DeviceCalibration>& device);
// The lines the meter logged into its memory: with a device file, lines of it (its own
// random counts, no faults); none without one.
std::unique_ptr<LineLayout> MakeMemoryLayout(const SimOptions& options,
                                             const std::optional<DeviceCalibration>& device);

}  // namespace kivo::sim
