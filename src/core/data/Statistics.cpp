#include "core/data/Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/data/ColumnKinds.h"
#include "core/text/CFormat.h"

namespace kivo {

void PushSample(StatsHistory& history, int type, double value) {
    if (!IsSlot(type)) return;
    const auto t = static_cast<std::size_t>(type);
    std::size_t& newest = history.newest[t];
    newest = newest == 0 ? StatsHistory::kRowLength - 1 : newest - 1;
    history.rows[t][newest] = value;
    std::int32_t& count = history.count[t];
    count = std::min(count + 1, StatsHistory::kMaxCount);
}

double ChannelStatistic(const StatsHistory& history, int type, int mode) {
    if (!IsSlot(type)) return kNoStatistic;
    const std::int32_t count = history.count[static_cast<std::size_t>(type)];
    if (mode < 1 || count < 2) return kNoStatistic;
    const int wanted = mode == stats_mode::kMean ? 15 : mode;
    const int n =
        std::min({wanted, static_cast<int>(StatsHistory::kMaxCount), static_cast<int>(count)});
    long double sum = 0.0L;
    for (int i = 0; i < n; ++i) sum += history.At(type, static_cast<std::size_t>(i));
    const long double mean = sum / n;
    if (mode == stats_mode::kMean) return static_cast<double>(mean);

    long double squares = 0.0L;
    for (int i = 0; i < n; ++i) {
        const long double d = history.At(type, static_cast<std::size_t>(i)) - mean;
        squares += d * d;
    }
    return static_cast<double>(std::sqrt(squares / (n - 1)));
}

const char* RawModeName(int type, const DeviceCalibration& calibration,
                        std::array<char, 32>& scratch) {
    if (IsScattering(type)) {
        std::snprintf(scratch.data(), scratch.size(), "%3d nm",
                      static_cast<int>(calibration.wavelength[static_cast<std::size_t>(type)]));
        return scratch.data();
    }
    const ColumnKind* kind = ColumnKindOf(type);
    return kind == nullptr ? nullptr : kind->rawName;
}

namespace {

enum class StatisticShown { None, Mean, StdDev };

StatisticShown ShownStatistic(int powerUser, int statsMode) {
    if (!powerUser) return StatisticShown::None;
    if (statsMode == stats_mode::kMean) return StatisticShown::Mean;
    if (statsMode == stats_mode::kStdDev15 || statsMode == stats_mode::kStdDev60) {
        return StatisticShown::StdDev;
    }
    return StatisticShown::None;
}

}  // namespace

bool TitleShowsStatistic(int powerUser, int statsMode) {
    return ShownStatistic(powerUser, statsMode) != StatisticShown::None;
}

namespace {

// Shared tail of both raw-mode titles: the statistic when one is shown.
bool FormatStatistic(TitleBuffer& out, const char* name, double statistic, int powerUser,
                     int statsMode) {
    switch (ShownStatistic(powerUser, statsMode)) {
        case StatisticShown::Mean:
            std::snprintf(out.text.data(), out.text.size(), "%s: %4.2lf Mean", name, statistic);
            return true;
        case StatisticShown::StdDev:
            std::snprintf(out.text.data(), out.text.size(), "%s: %4.2lf stddev", name, statistic);
            return true;
        case StatisticShown::None:
            break;
    }
    return false;
}

}  // namespace

std::string_view FormatCountsTitle(TitleBuffer& out, const char* name, double raw, double statistic,
                                   StatisticChoice choice) {
    const CNumericLocale cLocale;
    if (!FormatStatistic(out, name, statistic, choice.powerUser, choice.statsMode)) {
        std::snprintf(out.text.data(), out.text.size(), "%s: %1.0lf Counts", name, raw);
    }
    return out.View();
}

std::string_view FormatEngrTitle(TitleBuffer& out, const char* name, double raw,
                                 const std::string& engrUnits, double statistic,
                                 StatisticChoice choice) {
    const CNumericLocale cLocale;
    if (!FormatStatistic(out, name, statistic, choice.powerUser, choice.statsMode)) {
        std::snprintf(out.text.data(), out.text.size(), "%s: %4.2lf %s", name, raw,
                      engrUnits.c_str());
    }
    return out.View();
}

std::string_view FormatEngineeringTitle(TitleBuffer& out, int type, int bbPlotChoice,
                                        const DeviceCalibration& calibration, double raw,
                                        const EngineeringValues& v) {
    const CNumericLocale cLocale;
    char* const text = out.text.data();
    const std::size_t size = out.text.size();
    if (IsScattering(type)) {
        const auto t = static_cast<std::size_t>(type);
        const int nm = calibration.wavelength[t];
        switch (bbPlotChoice) {
            case scattering_quantity::kBeta:
                std::snprintf(text, size, "Beta %3d : %6.4lf", nm, v.beta[t]);
                break;
            case scattering_quantity::kBetap:
                std::snprintf(text, size, "Betap %3d: %6.4lf", nm, v.betap[t]);
                break;
            case scattering_quantity::kBbp:
                std::snprintf(text, size, "bbp %3d: %6.4lf", nm, v.bbp[t]);
                break;
            case scattering_quantity::kBb:
                std::snprintf(text, size, "bb %3d: %6.4lf", nm, v.bb[t]);
                break;
            default:
                std::snprintf(text, size, "Invalid %3d: %1lf ", nm, raw);
                break;
        }
        return out.View();
    }
    const ColumnKind* kind = ColumnKindOf(type);
    const double* value = kind == nullptr ? nullptr : EngineeringSlotOf(*kind, type, v);
    if (value == nullptr || kind->titleName == nullptr) {
        text[0] = '\0';
        return out.View();
    }
    std::snprintf(text, size, "%s: %*.*lf%s%s", kind->titleName, kind->titleValue.width,
                  kind->titleValue.precision, *value, kind->titleUnit,
                  kind->meterUnits ? calibration.engrUnits.c_str() : "");
    return out.View();
}

}  // namespace kivo
