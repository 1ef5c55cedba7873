#pragma once

#include <array>
#include <string>

#include "core/chain/Sample.h"
#include "core/data/Conversion.h"
#include "core/data/DataLine.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/Statistics.h"
#include "core/plot/ChartModel.h"
#include "core/plot/PlotView.h"

namespace kivo {

// The operator's plot and statistics choices, as the shared state holds them.
struct PlotChoices {
    int PlotType = 0;  // 0 raw counts, 1 engineering units, anything else: nothing plotted
    int BBPlotChoice = 0;
    int ITempPlot = 0;  // 0: not plotted, anything else: plotted
    int XTempPlot = 0;
    int PresPlot = 0;
    int StatsMode = 0;
    int powerUser = 0;
};

// The chart's Y axis title for what the first `columnCount` columns plot under `choices`:
// "Counts", or each plotted quantity with its unit ("Beta [1/(m sr)]", "CHL [ug/l]"),
// those that differ joined by ", ". The X axis is "Sample".
inline constexpr const char* kSampleAxisLabel = "Sample";
std::string YAxisLabel(int columnCount, const PlotChoices& choices,
                       const DeviceCalibration& calibration);
// The engineering quantity a column of `type` plots, with its unit ("Beta [1/(m sr)]" for
// the scattering quantity chosen by `scatteringQuantity`, "iTemp [C]"); empty when its kind
// has no name.
std::string QuantityLabel(int type, int scatteringQuantity, const DeviceCalibration& calibration);

// The value a column of `type` plots under `choices`, or kNothingPlotted.
double PlottedValue(int type, const PlotChoices& choices, const RawTable& rawValues,
                    const EngineeringValues& engineering);

// The statistic each column's title shows, by column position (kNoStatistic when none).
using ColumnStatistics = std::array<double, kSlots>;

// The readout, its statistics and the chart as a sink of the data chain: each sample adds
// its points; the titles follow when the owner publishes them (each tick), from the latest
// sample under the choices its line was taken with, so they read as if set line by line.
class ChannelFeed final : public SampleSink {
public:
    ChannelFeed(const DeviceCalibration& calibration, const ChannelOfColumn& channelOfColumn,
                StatsHistory& stats, ChartModel& chart)
        : calibration_(calibration),
          channelOfColumn_(channelOfColumn),
          stats_(stats),
          chart_(chart) {}

    PlotChoices choices;  // the owner keeps them current

    // Pushes each column's statistics sample, keeps the statistic a title would show and
    // plots the chosen value at the sample's X.
    void OnSample(const Sample& sample) override;
    // Sets the channels' titles (the legend's live readout) when a sample came since the last
    // call, from `latest` (the chain's) and the kept statistics, by PlotType. Formatting them
    // is the costly part: a display needs them once a tick, not once a line.
    void PublishTitles(const Sample& latest);
    // The channels were rebuilt: what was pending belongs to the old ones.
    void Forget() { titlesPending_ = false; }

private:
    const DeviceCalibration& calibration_;
    const ChannelOfColumn& channelOfColumn_;
    StatsHistory& stats_;
    ChartModel& chart_;
    ColumnStatistics statistics_{};
    PlotChoices titleChoices_;
    bool titlesPending_ = false;
};

}  // namespace kivo
