#include "plot/ProfileWidget.h"

#include <qcustomplot.h>

#include <QLabel>
#include <QVBoxLayout>
#include <cstddef>
#include <utility>

#include "plot/ChartLook.h"

namespace kivo {

namespace {

constexpr int kCurvesPerChannel = 3;  // descent, ascent, previous cast

QVector<QCPCurveData> CurveData(const std::vector<ProfilePoint>& points) {
    QVector<QCPCurveData> data;
    data.reserve(static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i)
        data.append(QCPCurveData(static_cast<double>(i), points[i].value, points[i].pressure));
    return data;
}

}  // namespace

ProfileWidget::ProfileWidget(const LiveProfile& profile, const ChartModel& look, QWidget* parent)
    : QWidget(parent), profile_(profile), look_(look) {
    setObjectName("ProfileWidget");
    setAccessibleName("Profile");
    setAccessibleDescription(
        "The plotted channels against pressure: the current cast's descent and ascent and the "
        "cast before it");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    noPressure_ = new QLabel("No pressure column", this);
    noPressure_->setObjectName("ProfileNoPressure");
    noPressure_->setAlignment(Qt::AlignCenter);
    layout->addWidget(noPressure_, 1);

    plot_ = new QCustomPlot(this);
    plot_->setObjectName("ProfilePlot");
    plot_->setLocale(QLocale::c());
    plot_->plotLayout()->insertRow(0);
    title_ = new QCPTextElement(plot_, QString());
    plot_->plotLayout()->addElement(0, 0, title_);
    plot_->yAxis->setLabel("Pressure (dbar)");
    plot_->yAxis->setRangeReversed(true);
    plot_->legend->setVisible(true);
    plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignRight);
    layout->addWidget(plot_, 1);
    Sync();
}

void ProfileWidget::Rebuild() {
    plot_->clearPlottables();
    curves_.clear();
    drawnChannels_.clear();
    drawnLineWidth_ = look_.Properties().lineWidth;
    for (const ProfileChannel& channel : profile_.View().channels) {
        const QColor colour = ToQColor(channel.colour);
        QColor up = colour.darker(170);
        QColor previous = colour;
        previous.setAlpha(70);
        const QString name = QString::fromStdString(channel.name);
        drawnChannels_.emplace_back(channel.name, channel.colour);
        for (const auto& [shade, label] :
             {std::pair{colour, name + " down"}, std::pair{up, name + " up"},
              std::pair{previous, name + " previous cast"}}) {
            auto* curve = new QCPCurve(plot_->xAxis, plot_->yAxis);
            curve->setName(label);
            curve->setPen(QPen(shade, look_.Properties().lineWidth));
            curves_.push_back(curve);
        }
        // One legend entry a channel: the shades tell the traces apart.
        curves_[curves_.size() - 2]->removeFromLegend();
        curves_[curves_.size() - 1]->removeFromLegend();
        curves_[curves_.size() - kCurvesPerChannel]->setName(name);
    }
}

void ProfileWidget::Sync() {
    const ProfileView& view = profile_.View();
    if (synced_ && view.revision == drawnRevision_ &&
        look_.AppearanceRevision() == drawnAppearance_)
        return;
    noPressure_->setVisible(!view.pressureColumn);
    plot_->setVisible(view.pressureColumn);
    bool sameChannels = view.channels.size() == drawnChannels_.size() &&
                        look_.Properties().lineWidth == drawnLineWidth_;
    for (std::size_t c = 0; sameChannels && c < view.channels.size(); ++c)
        sameChannels = drawnChannels_[c].first == view.channels[c].name &&
                       drawnChannels_[c].second == view.channels[c].colour;
    if (!synced_ || !sameChannels) Rebuild();
    for (std::size_t c = 0; c < view.traces.size() && c < view.channels.size(); ++c) {
        const ProfileTraces& traces = view.traces[c];
        QCPCurve* const* curves = &curves_[c * kCurvesPerChannel];
        curves[0]->data()->set(CurveData(traces.down), true);
        curves[1]->data()->set(CurveData(traces.up), true);
        curves[2]->data()->set(CurveData(traces.previous), true);
    }
    title_->setText(QString::fromStdString(CastStatusText(view)));
    plot_->xAxis->setLabel(QString::fromStdString(view.quantity));
    ApplyChartLook(*plot_, *title_, look_.Properties());
    plot_->legend->setVisible(true);
    plot_->rescaleAxes();
    // A single pressure or value still gets a span to be drawn in.
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        const QCPRange range = axis->range();
        if (range.size() <= 0) axis->setRange(range.lower - 0.5, range.upper + 0.5);
    }
    synced_ = true;
    drawnRevision_ = view.revision;
    drawnAppearance_ = look_.AppearanceRevision();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

int ProfileWidget::PointCount() const {
    int count = 0;
    for (const QCPCurve* curve : curves_) count += curve->dataCount();
    return count;
}

}  // namespace kivo
