#pragma once

#include <QColor>
#include <cstdint>

#include "core/plot/ChartProperties.h"

class QCPTextElement;
class QCustomPlot;

namespace kivo {

inline QColor ToQColor(std::uint32_t colour) {
    return QColor(static_cast<int>(RedOf(colour)), static_cast<int>(GreenOf(colour)),
                  static_cast<int>(BlueOf(colour)));
}

// Paints the plot, its axes, grid, legend and title in the given look. Graph pens are the
// caller's: they take the channel colours.
void ApplyChartLook(QCustomPlot& plot, QCPTextElement& title, const ChartProperties& look);

}  // namespace kivo
