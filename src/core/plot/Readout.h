#pragma once

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

// The value a column of `type` plots under `choices`, or kNothingPlotted.
double PlottedValue(int type, const PlotChoices& choices, const RawTable& rawValues,
                    const EngineeringValues& engineering);

// The per-line pass over columns 1..columnCount: push the statistics sample, compute the
// statistic, set the channel's title by PlotType, then plot the chosen value at sampleX.
// Allocates nothing once the titles have grown to their usual length.
void UpdateChannels(int columnCount, const PlotChoices& choices,
                    const DeviceCalibration& calibration, const RawTable& rawValues,
                    const EngineeringValues& engineering, double sampleX,
                    const ChannelOfColumn& channelOfColumn, StatsHistory& stats, ChartModel& chart);

// The readout, its statistics and the chart as a sink of the data chain: each sample sets
// every channel's title and adds its point, under the operator's current choices.
class ChannelFeed final : public SampleSink {
public:
    ChannelFeed(const DeviceCalibration& calibration, const ChannelOfColumn& channelOfColumn,
                StatsHistory& stats, ChartModel& chart)
        : calibration_(calibration),
          channelOfColumn_(channelOfColumn),
          stats_(stats),
          chart_(chart) {}

    PlotChoices choices;  // the owner keeps them current

    void OnSample(const Sample& sample) override {
        UpdateChannels(calibration_.definitionCount, choices, calibration_, sample.counts,
                       sample.engineering, sample.x, channelOfColumn_, stats_, chart_);
    }

private:
    const DeviceCalibration& calibration_;
    const ChannelOfColumn& channelOfColumn_;
    StatsHistory& stats_;
    ChartModel& chart_;
};

}  // namespace kivo
