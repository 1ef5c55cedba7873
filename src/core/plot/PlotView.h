#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/data/ColumnTypes.h"
#include "core/data/DeviceCalibration.h"
#include "core/plot/ChartModel.h"

namespace kivo {

// For each column position (column 1 at index 0) the chart channel made for it, or 0 when
// it got none.
using ChannelOfColumn = std::array<int, kSlots>;

// Values from this size up are never plotted; kNothingPlotted (99999.0) is one of them.
inline constexpr double kPlotCut = 99990.0;

// Colour and initial legend title of the channel a column type gets.
struct ChannelLook {
    std::uint32_t colour = 0;
    std::array<char, 32> title{};
};

// Whether a column of type `type` gets a chart channel.
bool HasChannel(int type);

// The look of that channel: scattering channels take their colour and wavelength from the
// device file. False for a type without a channel.
bool ChannelLookOf(int type, const DeviceCalibration& calibration, ChannelLook& look);

// The one-time start-up configuration: no channels, Y expands and collapses with the data,
// no edit button, the meter's name as title.
void ConfigureChart(ChartModel& chart, const std::string& deviceName);

// Rebuilds the channels for a freshly loaded device file, one per plottable column in
// column order, and fills `channelOfColumn`.
void SetUpChannels(ChartModel& chart, const DeviceCalibration& calibration, int definitionCount,
                   ChannelOfColumn& channelOfColumn);

// Appends (x, y) to `channel` unless y is 99990.0 or more or not a number at all.
void PlotSample(ChartModel& chart, int channel, double x, double y);

}  // namespace kivo
