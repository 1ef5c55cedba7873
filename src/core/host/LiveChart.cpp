#include "core/host/LiveChart.h"

#include <utility>

#include "core/plot/PlotView.h"

namespace kivo {

LiveChart::LiveChart(const DeviceCalibration& calibration, SharedState& state,
                     std::function<ShownState&()> show)
    : calibration_(calibration), state_(state), show_(std::move(show)) {}

PlotChoices LiveChart::Choices() const {
    return PlotChoices{state_.PlotType, state_.BBPlotChoice, state_.ITempPlot, state_.XTempPlot,
                       state_.PresPlot, state_.StatsMode,    state_.powerUser};
}

void LiveChart::Configure(const std::string& deviceName) { ConfigureChart(chart_, deviceName); }

void LiveChart::FitChannels(int columns) {
    SetUpChannels(chart_, calibration_, columns, channelOfColumn_);
    feed_.Forget();
}

void LiveChart::Cleared() { chart_.ClearAllData(); }

void LiveChart::ChoosePlotType(int item) {
    state_.PlotType = item;
    show_().selectors.scattering =
        calibration_.kinds.scattering > 0 && state_.PlotType == plot_type::kEngineeringUnits;
    Cleared();
}

void LiveChart::ChooseScattering(int item) {
    state_.BBPlotChoice = item;
    Cleared();
}

void LiveChart::ChooseInternalTemperature(int item) {
    state_.ITempPlot = item;
    Cleared();
}

void LiveChart::ChooseExternalTemperature(int item) {
    state_.XTempPlot = item;
    Cleared();
}

void LiveChart::ChoosePressure(int item) {
    state_.PresPlot = item;
    Cleared();
}

void LiveChart::ChooseStatistic(int item) {
    statisticItem_ = item;
    if (!state_.powerUser) return;
    static constexpr int kModes[] = {0, 1, 15, 60};
    if (item >= 0 && item <= 3) state_.StatsMode = kModes[item];
    Cleared();
}

int LiveChart::StatisticItemFor(int statsMode) {
    switch (statsMode) {
        case stats_mode::kRawCounts:
            statisticItem_ = 0;
            break;
        case stats_mode::kMean:
            statisticItem_ = 1;
            break;
        case stats_mode::kStdDev15:
            statisticItem_ = 2;
            break;
        case stats_mode::kStdDev60:
            statisticItem_ = 3;
            break;
        default:
            break;  // kept, though the list has no item for it
    }
    return statisticItem_;
}

}  // namespace kivo
