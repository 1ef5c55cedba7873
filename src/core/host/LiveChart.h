#pragma once

#include <functional>
#include <string>

#include "core/chain/DataChain.h"
#include "core/chain/Sample.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/Statistics.h"
#include "core/host/SharedState.h"
#include "core/host/ShownState.h"
#include "core/plot/ChartModel.h"
#include "core/plot/Readout.h"
#include "core/profile/LiveProfile.h"
#include "core/seams/Clock.h"

namespace kivo {

// The live chart and its readout: what is plotted (the plot selectors' choices), the
// channels fitted to the device file, and the points and titles each sample brings; and
// the same channels against pressure, cast by cast, for the profile view.
class LiveChart {
public:
    LiveChart(const DeviceCalibration& calibration, SharedState& state,
              std::function<ShownState&()> show, Clock& clock);
    LiveChart(const LiveChart&) = delete;
    LiveChart& operator=(const LiveChart&) = delete;

    // ---- the plot selectors, each with its new item; each empties the chart ----
    void ChoosePlotType(int item);
    void ChooseScattering(int item);
    void ChooseInternalTemperature(int item);
    void ChooseExternalTemperature(int item);
    void ChoosePressure(int item);
    // The statistic of raw counts: the power user's only (the item is kept all the same).
    void ChooseStatistic(int item);
    // The statistic's item for a mode kept in last.rbs; a mode the list has no item for
    // leaves the item as it was.
    int StatisticItemFor(int statsMode);

    PlotChoices Choices() const;
    // The readout, chart and profile as receivers of every sample.
    void AddSinkTo(DataChain& chain) {
        chain.AddSink(feed_);
        chain.AddSink(profile_);
    }
    // Before the first line: the chart's look for the meter named.
    void Configure(const std::string& deviceName);
    // A device file was loaded: the channels are fitted to its first `columns` columns.
    void FitChannels(int columns);
    // The choices each line is taken with, and the titles of the latest.
    void BeforeLine() { feed_.choices = Choices(); }
    void PublishTitles(const Sample& latest) { feed_.PublishTitles(latest); }
    // Marks the channels of these device-file columns (1-based) as failed, the rest not.
    void MarkFailed(const std::vector<int>& columns);

    ChartModel& Model() { return chart_; }
    // The casts told apart again over the samples so far, under the current choices.
    void RefreshProfile();
    const LiveProfile& Profile() const { return profile_; }
    LiveProfile& Profile() { return profile_; }
    const ChannelOfColumn& ChannelsOfColumns() const { return channelOfColumn_; }

private:
    void Cleared();

    const DeviceCalibration& calibration_;
    SharedState& state_;
    std::function<ShownState&()> show_;
    ChartModel chart_;
    StatsHistory stats_;
    ChannelOfColumn channelOfColumn_{};
    ChannelFeed feed_{calibration_, channelOfColumn_, stats_, chart_};
    LiveProfile profile_;
    // The Statistic selector's item; none until one is chosen or restored (the list shows its
    // first item's text), so a restored statistic the list has no item for is kept.
    int statisticItem_ = -1;
};

}  // namespace kivo
