#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/plot/ChartModel.h"
#include "core/profile/LiveProfile.h"

class QCPCurve;
class QCPTextElement;
class QCustomPlot;
class QLabel;

namespace kivo {

// Draws a LiveProfile with QCustomPlot: each channel against pressure, pressure increasing
// downward; the current cast's descent and ascent in two shades of the channel's colour, the
// cast before it faint. The strip chart's look (colours, grid, fonts) is taken from its model.
// Sync() redraws when the profile's revision changed.
class ProfileWidget : public QWidget {
    Q_OBJECT

public:
    ProfileWidget(const LiveProfile& profile, const ChartModel& look, QWidget* parent = nullptr);

    void Sync();

    QCustomPlot* Plot() const { return plot_; }
    // Points drawn, over every channel and trace.
    int PointCount() const;

private:
    void Rebuild();

    const LiveProfile& profile_;
    const ChartModel& look_;
    QCustomPlot* plot_ = nullptr;
    QCPTextElement* title_ = nullptr;
    QLabel* noPressure_ = nullptr;
    // By channel: descent, ascent, previous cast.
    std::vector<QCPCurve*> curves_;
    bool synced_ = false;
    std::uint64_t drawnRevision_ = 0;
    std::uint64_t drawnAppearance_ = 0;
    // What the curves were made for: the channels' names and colours, the line width.
    std::vector<std::pair<std::string, std::uint32_t>> drawnChannels_;
    int drawnLineWidth_ = 0;
};

}  // namespace kivo
