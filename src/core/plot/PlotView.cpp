#include "core/plot/PlotView.h"

#include <cmath>
#include <cstdio>

#include "core/data/ColumnKinds.h"
#include "core/plot/ChartProperties.h"

namespace kivo {

namespace {

// The chart facts of a kind with a fixed look; scattering channels take theirs from the
// device file instead.
const ColumnKind* FixedLookOf(int type) {
    const ColumnKind* kind = ColumnKindOf(type);
    return kind != nullptr && kind->chartTitle != nullptr ? kind : nullptr;
}

}  // namespace

bool HasChannel(int type) { return IsScattering(type) || FixedLookOf(type) != nullptr; }

bool ChannelLookOf(int type, const DeviceCalibration& calibration, ChannelLook& look) {
    if (IsScattering(type)) {
        look.colour = calibration.channelColour[static_cast<std::size_t>(type)];
        std::snprintf(look.title.data(), look.title.size(), "%3d nm",
                      static_cast<int>(calibration.wavelength[static_cast<std::size_t>(type)]));
        return true;
    }
    const ColumnKind* fixed = FixedLookOf(type);
    if (fixed == nullptr) return false;
    const ChartColour& colour = fixed->chartColour;
    look.colour = Rgb(colour.red, colour.green, colour.blue);
    std::snprintf(look.title.data(), look.title.size(), "%s", fixed->chartTitle);
    return true;
}

void ConfigureChart(ChartModel& chart, const std::string& deviceName) {
    chart.RemoveAllChannels();
    chart.SetYTracking(TrackingStyle::ExpandCollapse);
    chart.ShowEditButton(false);
    chart.SetTitle(deviceName);
}

void SetUpChannels(ChartModel& chart, const DeviceCalibration& calibration, int definitionCount,
                   ChannelOfColumn& channelOfColumn) {
    chart.RemoveAllChannels();
    // No file, no channels: every column maps to 0, which nothing is plotted on.
    channelOfColumn.fill(0);
    if (definitionCount == 0) return;
    ChannelLook look;
    for (std::size_t i = 0; i < channelOfColumn.size(); ++i) {
        if (!ChannelLookOf(calibration.columnType[i], calibration, look)) continue;
        const int channel = chart.AddChannel();
        chart.SetColour(channel, look.colour);
        chart.SetTitleText(channel, look.title.data());
        channelOfColumn[i] = channel;
    }
}

void PlotSample(ChartModel& chart, int channel, double x, double y) {
    // A corrected count divided by a zero reference is -inf, which the cut alone lets by.
    if (!(y < kPlotCut) || !std::isfinite(y)) return;
    chart.AddXY(channel, x, y);
}

}  // namespace kivo
