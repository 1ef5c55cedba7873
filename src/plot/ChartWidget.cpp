#include "plot/ChartWidget.h"

#include <qcustomplot.h>

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstddef>
#include <limits>

#include "core/files/OutputFile.h"
#include "plot/ChartLook.h"

namespace kivo {

namespace {

constexpr double kZoomFactor = 2.0;
constexpr int kThickLineWidth = 2;

QString DefaultImagePath(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, "Save Image", QString(),
                                        "PNG Image (*.png);;PDF Document (*.pdf)");
}

// QCustomPlot leaves a gap in a line at a point whose value is NaN; it stands halfway
// between the two points it separates.
QCPGraphData GapBetween(const ChartPoint& before, const ChartPoint& after) {
    return QCPGraphData((before.x + after.x) / 2.0, std::numeric_limits<double>::quiet_NaN());
}

}  // namespace

ChartWidget::ChartWidget(ChartModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      chooseImagePath_(DefaultImagePath),
      reportFailure_([this](const QString& path) {
          QMessageBox::warning(this, "Save Image",
                               "The image could not be written to " + path +
                                   (saveError_.isEmpty() ? QString() : "\n" + saveError_));
      }) {
    setObjectName("ChartWidget");
    setAccessibleName("Chart");
    setAccessibleDescription("The plotted channels over the sample index, with their legend");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildToolBar();
    BuildPlot();
    layout->addWidget(toolBar_);
    layout->addWidget(plot_, 1);
    Sync();
}

ChartWidget::~ChartWidget() = default;

void ChartWidget::BuildToolBar() {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName("ChartToolBar");
    toolBar_->setAccessibleName("Chart Tools");
    const auto add = [this](const char* name, const QString& text) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        toolBar_->addAction(action);
        return action;
    };
    connect(add("ZoomIn", "Zoom In"), &QAction::triggered, this, [this] {
        model_.ZoomX(1.0 / kZoomFactor);
        Sync();
    });
    connect(add("ZoomOut", "Zoom Out"), &QAction::triggered, this, [this] {
        model_.ZoomX(kZoomFactor);
        Sync();
    });

    // The edit button offers the look switches; the start-up configuration hides it.
    auto* menu = new QMenu(this);
    const auto addSwitch = [this, menu](const char* name, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        action->setCheckable(true);
        return action;
    };
    gridAction_ = addSwitch("ChartGrid", "Grid");
    legendAction_ = addSwitch("ChartLegend", "Legend");
    thickLinesAction_ = addSwitch("ChartThickLines", "Thick Lines");
    connect(gridAction_, &QAction::toggled, this,
            [this](bool on) { ToggleProperty(&ChartProperties::gridVisible, on); });
    connect(legendAction_, &QAction::toggled, this,
            [this](bool on) { ToggleProperty(&ChartProperties::legendVisible, on); });
    connect(thickLinesAction_, &QAction::toggled, this,
            [this](bool on) { SetLineWidth(on ? kThickLineWidth : kMinLineWidth); });
    auto* editButton = new QToolButton(toolBar_);
    editButton->setObjectName("ChartEdit");
    editButton->setText("Edit");
    editButton->setMenu(menu);
    editButton->setPopupMode(QToolButton::InstantPopup);
    editAction_ = toolBar_->addWidget(editButton);

    cursorAction_ = add("DataCursor", "Data Cursor");
    cursorAction_->setCheckable(true);
    connect(cursorAction_, &QAction::toggled, this, &ChartWidget::ShowDataCursor);

    pauseAction_ = add("PauseScroll", "Pause");
    pauseAction_->setCheckable(true);
    connect(pauseAction_, &QAction::toggled, this, [this](bool paused) {
        model_.SetScrollPaused(paused);
        Sync();
    });

    connect(add("SaveImage", "Save Image..."), &QAction::triggered, this,
            &ChartWidget::SaveImageClicked);
}

void ChartWidget::BuildPlot() {
    plot_ = new QCustomPlot(this);
    plot_->setObjectName("ChartPlot");
    plot_->setAccessibleName("Plot");
    // Tick labels keep a decimal point whatever the desktop's locale.
    plot_->setLocale(QLocale::c());
    plot_->xAxis->setNumberFormat("f");
    plot_->xAxis->setNumberPrecision(0);

    // The title spans the plot and the legend in a row of its own: a long device-file title
    // must not take its width from the legend and cut the live readouts.
    QCPAxisRect* axes = plot_->axisRect();
    plot_->plotLayout()->take(axes);
    plot_->plotLayout()->simplify();
    title_ = new QCPTextElement(plot_, QString());
    auto* body = new QCPLayoutGrid;
    plot_->plotLayout()->addElement(0, 0, title_);
    plot_->plotLayout()->addElement(1, 0, body);
    body->addElement(0, 0, axes);

    // The legend stands right of the plot, at its top, one entry under the other.
    axes->insetLayout()->take(plot_->legend);
    auto* side = new QCPLayoutGrid;
    body->addElement(0, 1, side);
    side->addElement(0, 0, plot_->legend);
    side->addElement(1, 0, new QCPLayoutElement(plot_));
    side->setRowStretchFactor(0, 0.001);
    body->setColumnStretchFactor(1, 0.001);
    plot_->legend->setFillOrder(QCPLegend::foRowsFirst);

    tracer_ = new QCPItemTracer(plot_);
    tracer_->setStyle(QCPItemTracer::tsCrosshair);
    tracer_->setVisible(false);
    cursorLabel_ = new QCPItemText(plot_);
    cursorLabel_->position->setType(QCPItemPosition::ptAxisRectRatio);
    cursorLabel_->position->setCoords(0.01, 0.01);
    cursorLabel_->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    cursorLabel_->setVisible(false);
    connect(plot_, &QCustomPlot::mouseMove, this, &ChartWidget::OnMouseMove);
}

void ChartWidget::Sync() {
    if (synced_ && model_.Revision() == drawnRevision_) return;
    const bool rebuild = !synced_ || model_.StructureRevision() != drawnStructure_;
    if (rebuild) RebuildGraphs();
    // New graphs need their pens and names.
    if (rebuild || model_.AppearanceRevision() != drawnAppearance_) ApplyAppearance();
    AppendNewPoints();
    ApplyRanges();
    {
        const QSignalBlocker quiet(pauseAction_);
        pauseAction_->setChecked(model_.ScrollPaused());
        pauseAction_->setText(model_.ScrollPaused() ? "Resume" : "Pause");
    }
    synced_ = true;
    drawnRevision_ = model_.Revision();
    drawnStructure_ = model_.StructureRevision();
    drawnAppearance_ = model_.AppearanceRevision();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void ChartWidget::RebuildGraphs() {
    plot_->clearGraphs();
    drawnAppended_.assign(static_cast<std::size_t>(model_.ChannelCount()), 0);
    for (int i = 0; i < model_.ChannelCount(); ++i) {
        plot_->addGraph();
        ReloadGraph(i);
    }
}

void ChartWidget::ReloadGraph(int channel) {
    const ChartChannel& source = model_.Channel(channel);
    const PointStore& store = source.points;
    QVector<QCPGraphData> data;
    data.reserve(static_cast<int>(store.size() + source.BreaksHeld()));
    for (std::size_t k = 0; k < store.size(); ++k) {
        if (source.BreakBefore(k)) data.append(GapBetween(store[k - 1], store[k]));
        data.append(QCPGraphData(store[k].x, store[k].y));
    }
    plot_->graph(channel)->data()->set(data, store.Sorted());
    drawnAppended_[static_cast<std::size_t>(channel)] = source.appended;
}

void ChartWidget::AppendNewPoints() {
    for (int i = 0; i < model_.ChannelCount(); ++i) {
        const ChartChannel& source = model_.Channel(i);
        const PointStore& store = source.points;
        std::uint64_t& drawn = drawnAppended_[static_cast<std::size_t>(i)];
        const std::uint64_t fresh = source.appended - drawn;
        if (fresh == 0) continue;
        if (fresh > store.size()) {  // more arrived than the store keeps
            ReloadGraph(i);
            continue;
        }
        QCPGraph* graph = plot_->graph(i);
        for (std::size_t k = store.size() - static_cast<std::size_t>(fresh); k < store.size();
             ++k) {
            if (source.BreakBefore(k)) {
                const QCPGraphData gap = GapBetween(store[k - 1], store[k]);
                graph->addData(gap.key, gap.value);
            }
            graph->addData(store[k].x, store[k].y);
        }
        drawn = source.appended;
        if (source.appended <= store.size()) continue;  // nothing dropped yet
        // The graph keeps its points sorted by X: only while X never fell does "the
        // oldest" mean "the leftmost".
        if (store.Sorted()) graph->data()->removeBefore(store.front().x);
        const auto held = static_cast<int>(store.size() + source.BreaksHeld());
        if (!store.Sorted() || graph->data()->size() != held) ReloadGraph(i);
    }
}

void ChartWidget::ApplyAppearance() {
    const ChartProperties& look = model_.Properties();
    title_->setText(QString::fromStdString(model_.Title()));
    plot_->xAxis->setLabel(QString::fromStdString(model_.XLabel()));
    plot_->yAxis->setLabel(QString::fromStdString(model_.YLabel()));
    for (int i = 0; i < model_.ChannelCount() && i < plot_->graphCount(); ++i) {
        const ChartChannel& channel = model_.Channel(i);
        plot_->graph(i)->setName(QString::fromStdString(channel.title));
        plot_->graph(i)->setPen(QPen(ToQColor(channel.colour), look.lineWidth));
    }
    ApplyChartLook(*plot_, *title_, look);
    // A channel whose last value failed a quality test: its readout in red and bold.
    for (int i = 0; i < model_.ChannelCount() && i < plot_->graphCount(); ++i) {
        QCPAbstractLegendItem* item = plot_->legend->itemWithPlottable(plot_->graph(i));
        auto* entry = qobject_cast<QCPPlottableLegendItem*>(item);
        if (entry == nullptr) continue;
        const bool failed = model_.Channel(i).failed;
        entry->setTextColor(failed ? QColor(220, 30, 30) : plot_->legend->textColor());
        QFont font = plot_->legend->font();
        font.setBold(failed);
        entry->setFont(font);
    }
    const QColor text = ToQColor(look.text);
    tracer_->setPen(QPen(text, 0, Qt::DashLine));
    cursorLabel_->setColor(text);
    editAction_->setVisible(model_.EditButtonShown());
    const QSignalBlocker quietGrid(gridAction_);
    const QSignalBlocker quietLegend(legendAction_);
    const QSignalBlocker quietLines(thickLinesAction_);
    gridAction_->setChecked(look.gridVisible);
    legendAction_->setChecked(look.legendVisible);
    thickLinesAction_->setChecked(look.lineWidth > kMinLineWidth);
}

void ChartWidget::ApplyRanges() {
    const auto apply = [](QCPAxis* axis, const ChartAxis& range) {
        axis->setScaleType(range.logarithmic ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
        axis->setRange(range.minimum, range.Maximum());
    };
    apply(plot_->xAxis, model_.XAxis());
    apply(plot_->yAxis, model_.YAxis());
}

void ChartWidget::ToggleProperty(bool ChartProperties::*flag, bool on) {
    ChartProperties look = model_.Properties();
    look.*flag = on;
    model_.SetProperties(look);
    Sync();
}

void ChartWidget::SetLineWidth(int width) {
    ChartProperties look = model_.Properties();
    look.lineWidth = width;
    model_.SetProperties(look);
    Sync();
}

bool ChartWidget::SavePropertiesToFile(const QString& path) const {
    return model_.SavePropertiesToFile(QFile::encodeName(path).toStdString());
}

bool ChartWidget::LoadPropertiesFromFile(const QString& path) {
    const bool loaded = model_.LoadPropertiesFromFile(QFile::encodeName(path).toStdString());
    Sync();
    return loaded;
}

bool ChartWidget::SaveImage(const QString& path) {
    Sync();
    const QString suffix = QFileInfo(path).suffix().toLower();
    // Before the window is first laid out the plot has no useful size of its own.
    const bool sized = plot_->width() >= 100 && plot_->height() >= 100;
    const int width = sized ? plot_->width() : 800;
    const int height = sized ? plot_->height() : 600;
    const QString target = suffix.isEmpty() ? path + ".png" : path;
    // Saved beside and put in place: a failed save leaves the old image, and its mode.
    OutputFile staged = OutputFile::Open(files_, QFile::encodeName(target).toStdString(),
                                         roles::kChartImage, OutputMode::Staged);
    saveError_ = QString::fromStdString(staged.Error());
    if (!staged.Ok()) return false;
    const QString written = QFile::decodeName(staged.WritePath().c_str());
    const bool saved = suffix == "pdf" ? plot_->savePdf(written, width, height)
                                       : plot_->savePng(written, width, height);
    if (saved && staged.Commit()) return true;
    saveError_ = QString::fromStdString(staged.Error());
    return false;
}

void ChartWidget::SaveImageClicked() {
    const QString path = chooseImagePath_ ? chooseImagePath_(this) : QString();
    if (path.isEmpty()) return;
    if (!SaveImage(path) && reportFailure_) reportFailure_(path);
}

void ChartWidget::ShowDataCursor(bool on) {
    plot_->setMouseTracking(on);
    if (!on) {
        tracer_->setVisible(false);
        cursorLabel_->setVisible(false);
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }
}

QString ChartWidget::DataCursorText() const {
    return cursorLabel_->visible() ? cursorLabel_->text() : QString();
}

void ChartWidget::OnMouseMove(QMouseEvent* event) {
    if (!cursorAction_->isChecked()) return;
    const QPointF at = event->position();
    const bool inside = plot_->axisRect()->rect().contains(at.toPoint());
    tracer_->setVisible(inside);
    cursorLabel_->setVisible(inside);
    if (inside) {
        const double x = plot_->xAxis->pixelToCoord(at.x());
        const double y = plot_->yAxis->pixelToCoord(at.y());
        tracer_->position->setCoords(x, y);
        // asprintf formats as C's printf in the "C" locale.
        cursorLabel_->setText(QString::asprintf("X: %.1f  Y: %.4g", x, y));
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

}  // namespace kivo
