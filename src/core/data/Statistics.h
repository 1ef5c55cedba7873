#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/data/ColumnTypes.h"
#include "core/data/Conversion.h"
#include "core/data/DeviceCalibration.h"

namespace kivo {

// A statistic of this value means "not enough samples yet"; the power-user titles show it.
inline constexpr double kNoStatistic = 99.99;

// The plot choices of the Plot Data page are the items of its lists, kept as numbers in
// last.rbs; a hand-edited file may hold any other number, which then plots nothing (plot)
// or shows the counts (scattering quantity). So they stay ints with named items rather than
// enum classes, which would hide those values.
namespace plot_type {
inline constexpr int kRawCounts = 0;
inline constexpr int kEngineeringUnits = 1;
}  // namespace plot_type

namespace scattering_quantity {
inline constexpr int kBeta = 0;
inline constexpr int kBetap = 1;
inline constexpr int kBbp = 2;
inline constexpr int kBb = 3;
}  // namespace scattering_quantity

// The statistics choice of the Plot Data page.
namespace stats_mode {
inline constexpr int kRawCounts = 0;
inline constexpr int kMean = 1;
inline constexpr int kStdDev15 = 15;
inline constexpr int kStdDev60 = 60;
}  // namespace stats_mode

// The newest raw values of each column type, newest at position 0. Never cleared during a
// run; columns of the same type share a row.
struct StatsHistory {
    static constexpr std::size_t kRowLength = 100;
    static constexpr std::int32_t kMaxCount = 65;

    // Each row is a ring: a new value takes the place before the newest, so a line costs one
    // store per column instead of moving the row.
    std::array<std::array<double, kRowLength>, kSlots> rows{};
    std::array<std::size_t, kSlots> newest{};  // where each row's newest value is
    std::array<std::int32_t, kSlots> count{};

    // The value `age` places behind the newest of `type`'s row (0: the newest).
    double At(int type, std::size_t age) const {
        const auto t = static_cast<std::size_t>(type);
        return rows[t][(newest[t] + age) % kRowLength];
    }
};

// Puts `value` at the head of the row of `type`, the older ones one place back.
void PushSample(StatsHistory& history, int type, double value);

// Mode 1: the mean of the newest 15 values; any other mode m of 2 or more: the sample
// standard deviation of the newest m (at most 65). Fewer values are used while the row
// fills; below two values, or for a mode below 1, kNoStatistic.
double ChannelStatistic(const StatsHistory& history, int type, int mode);

// Whether a raw-mode title shows the statistic (a power user, a mean or deviation chosen)
// rather than the value.
bool TitleShowsStatistic(int powerUser, int statsMode);

// A composed title. Fixed size, so the per-line pass allocates nothing; snprintf cuts what
// would not fit.
struct TitleBuffer {
    std::array<char, 200> text{};
    std::string_view View() const { return text.data(); }
};

// The name of a column type in the raw-count titles ("CHL", "470 nm" ...), or nullptr
// when the type has none. Wavelength names are built in `scratch`.
const char* RawModeName(int type, const DeviceCalibration& calibration,
                        std::array<char, 32>& scratch);

// Who reads a title and which statistic the operator chose for it.
struct StatisticChoice {
    int powerUser = 0;
    int statsMode = 0;
};

// The raw-mode titles. A power user sees the statistic where `statsMode` asks for one;
// a mode without a meaning of its own (only an edited settings file gives one) shows the
// plain value, as a normal user sees it.
std::string_view FormatCountsTitle(TitleBuffer& out, const char* name, double raw, double statistic,
                                   StatisticChoice choice);
std::string_view FormatEngrTitle(TitleBuffer& out, const char* name, double raw,
                                 const std::string& engrUnits, double statistic,
                                 StatisticChoice choice);

// The engineering-units title of a column type; empty for a type without one.
std::string_view FormatEngineeringTitle(TitleBuffer& out, int type, int bbPlotChoice,
                                        const DeviceCalibration& calibration, double raw,
                                        const EngineeringValues& values);

}  // namespace kivo
