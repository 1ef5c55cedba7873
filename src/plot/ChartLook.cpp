#include "plot/ChartLook.h"

#include <qcustomplot.h>

namespace kivo {

namespace {

QFont SizedFont(const QFont& base, int pointSize) {
    QFont font = base;
    font.setPointSize(pointSize);
    return font;
}

void StyleAxis(QCPAxis& axis, const ChartProperties& look) {
    const QColor text = ToQColor(look.text);
    const QFont font = SizedFont(axis.tickLabelFont(), look.axisFontSize);
    axis.setBasePen(QPen(text));
    axis.setTickPen(QPen(text));
    axis.setSubTickPen(QPen(text));
    axis.setTickLabelColor(text);
    axis.setLabelColor(text);
    axis.setTickLabelFont(font);
    axis.setLabelFont(font);
    axis.grid()->setVisible(look.gridVisible);
    axis.grid()->setPen(QPen(ToQColor(look.grid), 0, Qt::DotLine));
    axis.grid()->setZeroLinePen(Qt::NoPen);
}

}  // namespace

void ApplyChartLook(QCustomPlot& plot, QCPTextElement& title, const ChartProperties& look) {
    const QColor text = ToQColor(look.text);
    plot.setBackground(QBrush(ToQColor(look.background)));
    plot.axisRect()->setBackground(QBrush(ToQColor(look.plotArea)));
    StyleAxis(*plot.xAxis, look);
    StyleAxis(*plot.yAxis, look);

    title.setTextColor(text);
    title.setFont(SizedFont(title.font(), look.titleFontSize));

    QCPLegend& legend = *plot.legend;
    legend.setVisible(look.legendVisible);
    legend.setBrush(QBrush(ToQColor(look.plotArea)));
    legend.setBorderPen(QPen(text));
    legend.setTextColor(text);
    legend.setFont(SizedFont(legend.font(), look.legendFontSize));
    // Items copy the legend's text style only when they are made.
    for (int i = 0; i < legend.itemCount(); ++i) {
        legend.item(i)->setTextColor(text);
        legend.item(i)->setFont(legend.font());
    }
}

}  // namespace kivo
