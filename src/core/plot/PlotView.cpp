#include "core/plot/PlotView.h"

#include <cmath>
#include <cstdio>

namespace kivo {

namespace {

struct FixedLook {
    int type;
    std::uint32_t colour;
    const char* title;
};

// The meter's own titles, "B125):" included; the readout replaces them with the first
// data line.
constexpr FixedLook kFixedLooks[] = {
    {column::kVsf100, Rgb(255, 255, 0), "B(100):"},
    {column::kVsf125, Rgb(255, 0, 0), "B125):"},
    {column::kVsf150, Rgb(255, 0, 255), "B(150)"},
    {column::kIEngr, Rgb(255, 255, 255), "iEngr:"},
    {column::kChl, Rgb(255, 0, 255), "CHL:"},
    {column::kPhycocyanin, Rgb(255, 0, 0), "pcyanine:"},
    {column::kPhycoerythrin, Rgb(0, 128, 0), "perythrin:"},
    {column::kUranine, Rgb(128, 0, 128), "ur:"},
    {column::kRhodamine, Rgb(128, 0, 128), "rhodamine:"},
    {column::kCdom, Rgb(128, 0, 128), "CDOM:"},
    {column::kLss, Rgb(255, 255, 255), "LSS:"},
    {column::kNtu, Rgb(255, 255, 255), "NTU:"},
    {column::kITemp, Rgb(128, 128, 128), "iTemp:"},
    {column::kXTemp, Rgb(192, 192, 192), "xTemp:"},
    {column::kPres, Rgb(255, 255, 255), "Pres:"},
};

const FixedLook* FixedLookOf(int type) {
    for (const FixedLook& look : kFixedLooks) {
        if (look.type == type) return &look;
    }
    return nullptr;
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
    const FixedLook* fixed = FixedLookOf(type);
    if (fixed == nullptr) return false;
    look.colour = fixed->colour;
    std::snprintf(look.title.data(), look.title.size(), "%s", fixed->title);
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
