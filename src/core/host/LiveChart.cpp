#include "core/host/LiveChart.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "core/plot/PlotView.h"

namespace kivo {

LiveChart::LiveChart(const DeviceCalibration& calibration, SharedState& state,
                     std::function<ShownState&()> show, Clock& clock)
    : calibration_(calibration), state_(state), show_(std::move(show)), profile_(clock) {}

PlotChoices LiveChart::Choices() const {
    return PlotChoices{state_.PlotType, state_.BBPlotChoice, state_.ITempPlot, state_.XTempPlot,
                       state_.PresPlot, state_.StatsMode,    state_.powerUser};
}

void LiveChart::Configure(const std::string& deviceName) { ConfigureChart(chart_, deviceName); }

void LiveChart::MarkFailed(const std::vector<int>& columns) {
    std::vector<bool> failed(static_cast<std::size_t>(std::max(chart_.ChannelCount(), 0)), false);
    for (const int column : columns) {
        if (column < 1 || column > kSlots) continue;
        const int channel = channelOfColumn_[static_cast<std::size_t>(column - 1)];
        if (channel >= 0 && channel < chart_.ChannelCount())
            failed[static_cast<std::size_t>(channel)] = true;
    }
    for (std::size_t channel = 0; channel < failed.size(); ++channel)
        chart_.SetFailed(static_cast<int>(channel), failed[channel]);
}

void LiveChart::FitChannels(int columns) {
    SetUpChannels(chart_, calibration_, columns, channelOfColumn_);
    feed_.Forget();
    // The profile plots what the chart plots, less the pressure it is drawn against.
    bool pressureColumn = false;
    std::vector<int> types;
    std::vector<ProfileChannel> channels;
    for (int i = 0; i < columns && i < kSlots; ++i) {
        const int type = calibration_.columnType[static_cast<std::size_t>(i)];
        if (type == column::kPres) pressureColumn = true;
        ChannelLook look;
        if (type == column::kPres || !IsSlot(type) || !HasChannel(type) ||
            !ChannelLookOf(type, calibration_, look))
            continue;
        std::string name = look.title.data();
        while (!name.empty() && (name.back() == ':' || name.back() == ' ')) name.pop_back();
        name.erase(0, name.find_first_not_of(' '));
        types.push_back(type);
        channels.push_back({name, look.colour});
    }
    profile_.Reset(pressureColumn, std::move(channels),
                   [this, types](const Sample& sample, std::vector<double>& values) {
                       for (std::size_t c = 0; c < types.size() && c < values.size(); ++c) {
                           const double value = PlottedValue(types[c], feed_.choices, sample.counts,
                                                             sample.engineering);
                           values[c] = value < kPlotCut && std::isfinite(value)
                                           ? value
                                           : std::numeric_limits<double>::quiet_NaN();
                       }
                   });
}

void LiveChart::RefreshProfile() {
    PlotChoices choices = Choices();
    choices.PresPlot = 0;
    profile_.SetQuantity(YAxisLabel(calibration_.definitionCount, choices, calibration_));
    profile_.Refresh();
}

void LiveChart::Cleared() {
    chart_.ClearAllData();
    profile_.ForgetValues();
}

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
