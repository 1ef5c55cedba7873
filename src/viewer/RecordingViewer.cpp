#include "viewer/RecordingViewer.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTimeZone>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>

#include "core/data/DeviceFile.h"
#include "core/files/OutputFile.h"
#include "core/files/RegularFile.h"
#include "core/host/Session.h"
#include "plot/ChartLook.h"

namespace kivo {
namespace {

// "1.23457e-05", "21.18": statistics and cursor values to six significant digits.
QString Number(double value) {
    if (!std::isfinite(value)) return QStringLiteral("-");
    return QString::number(value, 'g', 6);
}

QString MeterTimeText(double seconds) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), QTimeZone::utc())
        .toString("yyyy-MM-dd hh:mm:ss");
}

enum StatisticsColumn { kName, kMean, kDeviation, kMinimum, kMaximum, kFlags, kColumns };

// Flagged points drawn over a channel's line: more than this in view are not marked one by
// one (the counts in the table still tell them).
constexpr std::size_t kMostMarks = 20000;
const QColor kSuspectColour(255, 160, 0);
const QColor kFailColour(230, 20, 20);

// The second axis of a kind takes the first's look.
void StyleLike(QCPAxis& axis, const QCPAxis& like) {
    axis.setLabelColor(like.labelColor());
    axis.setLabelFont(like.labelFont());
    axis.setBasePen(like.basePen());
    axis.setTickPen(like.tickPen());
    axis.setSubTickPen(like.subTickPen());
    axis.setTickLabelColor(like.tickLabelColor());
    axis.setTickLabelFont(like.tickLabelFont());
}

}  // namespace

RecordingViewer::RecordingViewer(Prompts& prompts, std::optional<ViewerDevice> device,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), prompts_(prompts), device_(std::move(device)) {
    setObjectName("RecordingViewer");
    setWindowTitle("Recording");
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(1000, 700);
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    summary_ = new QLabel(this);
    summary_->setObjectName("ViewerSummary");
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ViewerProgress");
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("ViewerCancel");
    top->addWidget(summary_, 1);
    top->addWidget(progress_, 1);
    top->addWidget(cancel_);
    layout->addLayout(top);

    plot_ = new QCustomPlot(this);
    plot_->setObjectName("ViewerChart");
    plot_->setMinimumHeight(300);
    layout->addWidget(plot_, 3);
    cursorLabel_ = new QLabel(this);
    cursorLabel_->setObjectName("ViewerCursor");
    cursorLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cursorLabel_->setWordWrap(true);
    layout->addWidget(cursorLabel_);

    statistics_ = new QTableWidget(0, kColumns, this);
    statistics_->setObjectName("ViewerStatistics");
    statistics_->setHorizontalHeaderLabels(
        {"Channel", "Mean", "Std. deviation", "Minimum", "Maximum", "Flags 3 / 4"});
    statistics_->horizontalHeaderItem(kFlags)->setToolTip(
        "Values in view flagged suspect (3) and fail (4) by the quality tests");
    statistics_->verticalHeader()->hide();
    statistics_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    statistics_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(statistics_, 1);

    auto* buttons = new QHBoxLayout;
    whole_ = new QPushButton("Whole Recording", this);
    whole_->setObjectName("ViewerWhole");
    exportRange_ = new QPushButton("Export Visible Range...", this);
    exportRange_->setObjectName("ViewerExport");
    saveChart_ = new QPushButton("Save Chart...", this);
    saveChart_->setObjectName("ViewerSaveChart");
    xChoice_ = new QComboBox(this);
    xChoice_->setObjectName("ViewerXAxisCB");
    xChoice_->addItems({"Time", "Sample", "Pressure (profile)"});
    xChoice_->setEnabled(false);
    auto* xLabel = new QLabel("X:", this);
    xLabel->setBuddy(xChoice_);
    castLabel_ = new QLabel("Casts:", this);
    castChoice_ = new QComboBox(this);
    castChoice_->setObjectName("ViewerCastCB");
    castLabel_->setBuddy(castChoice_);
    traceChoice_ = new QComboBox(this);
    traceChoice_->setObjectName("ViewerTraceCB");
    traceChoice_->addItems({"Down", "Up", "Both"});
    traceChoice_->setCurrentIndex(static_cast<int>(TraceChoice::Both));
    binLabel_ = new QLabel("Bins:", this);
    binSize_ = new QDoubleSpinBox(this);
    binSize_->setObjectName("ViewerBinSize");
    binSize_->setRange(0.0, 100.0);
    binSize_->setSingleStep(0.5);
    binSize_->setValue(1.0);
    binSize_->setSuffix(" dbar");
    binSize_->setSpecialValueText("Samples");
    binSize_->setToolTip(
        "Export Casts writes bin averages of this size, or at \"Samples\" every "
        "record with its cast and phase");
    binLabel_->setBuddy(binSize_);
    leaveOutFailed_ = new QCheckBox("Leave out failed", this);
    leaveOutFailed_->setObjectName("ViewerLeaveOutFailed");
    leaveOutFailed_->setToolTip(
        "Values the quality tests failed (flag 4) are left out of the lines and the statistics");
    leaveOutFailed_->setEnabled(false);
    exportCasts_ = new QPushButton("Export Casts...", this);
    exportCasts_->setObjectName("ViewerExportCasts");
    buttons->addWidget(whole_);
    buttons->addWidget(xLabel);
    buttons->addWidget(xChoice_);
    buttons->addWidget(castLabel_);
    buttons->addWidget(castChoice_);
    buttons->addWidget(traceChoice_);
    buttons->addWidget(leaveOutFailed_);
    buttons->addStretch(1);
    buttons->addWidget(binLabel_);
    buttons->addWidget(binSize_);
    buttons->addWidget(exportCasts_);
    buttons->addWidget(exportRange_);
    buttons->addWidget(saveChart_);
    layout->addLayout(buttons);
    for (QPushButton* button : {whole_, exportRange_, saveChart_}) button->setEnabled(false);
    for (QWidget* profileOnly : std::initializer_list<QWidget*>{
             castLabel_, castChoice_, traceChoice_, binLabel_, binSize_, exportCasts_})
        profileOnly->setVisible(false);

    connect(cancel_, &QPushButton::clicked, this, [this] { CancelClick(); });
    connect(whole_, &QPushButton::clicked, this, [this] { WholeRecordingClick(); });
    connect(exportRange_, &QPushButton::clicked, this, [this] { ExportVisibleRangeClick(); });
    connect(saveChart_, &QPushButton::clicked, this, [this] { SaveChartClick(); });
    connect(exportCasts_, &QPushButton::clicked, this, [this] { ExportCastsClick(); });
    connect(leaveOutFailed_, &QCheckBox::toggled, this,
            [this](bool on) { LeaveOutFailedClick(on); });
    connect(xChoice_, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int index) { ChooseX(static_cast<XChoice>(index)); });
    for (QComboBox* choice : {castChoice_, traceChoice_}) {
        connect(choice, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
            if (!profile_) return;
            BuildProfile();
            WholeRecordingClick();
        });
    }
    // The worker only counts; the window looks a few times a second.
    poll_.setInterval(100);
    connect(&poll_, &QTimer::timeout, this, &RecordingViewer::Poll);
}

RecordingViewer::~RecordingViewer() {
    work_->progress.cancel = true;
    if (!worker_.joinable()) return;
    // A worker looks at Cancel between pieces of a quarter megabyte; one that does not end
    // within a second is stuck in a read and is left to end on its own.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!work_->done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (work_->done) {
        worker_.join();
    } else {
        worker_.detach();
    }
}

RecordingViewer::Work& RecordingViewer::NewWork() {
    work_ = std::make_shared<Work>();
    return *work_;
}

void RecordingViewer::ShowProgress(bool shown) {
    progress_->setVisible(shown);
    cancel_->setVisible(shown);
    cancel_->setEnabled(shown);
}

void RecordingViewer::Open(const std::string& path) {
    if (Busy()) return;
    pathBytes_ = path;
    path_ = QFile::decodeName(QByteArray::fromStdString(path));
    KeepShown(path_);
    setWindowTitle(QFileInfo(path_).fileName() + " - Recording");
    summary_->setText("Reading " + QFileInfo(path_).fileName());
    ShowProgress(true);
    NewWork();
    exporting_ = false;
    worker_ = std::thread([work = work_, file = path, device = device_] {
        work->loaded = LoadRecording(file, device, work->progress);
        work->done = true;
    });
    poll_.start();
}

void RecordingViewer::Poll() {
    const std::int64_t total = std::max<std::int64_t>(work_->progress.totalBytes, 1);
    const std::int64_t read = std::min<std::int64_t>(work_->progress.bytesRead, total);
    // QProgressBar counts in int: a file's size in kilobytes.
    progress_->setRange(0, static_cast<int>(total / 1024 + 1));
    progress_->setValue(static_cast<int>(read / 1024));
    if (!work_->done) return;
    poll_.stop();
    worker_.join();
    ShowProgress(false);
    if (exporting_) {
        ExportDone();
    } else {
        LoadDone();
    }
}

void RecordingViewer::CancelClick() {
    work_->progress.cancel = true;
    cancel_->setEnabled(false);
}

void RecordingViewer::LoadDone() {
    LoadedRecording loaded = std::move(work_->loaded);
    if (!loaded.data) {
        if (!loaded.cancelled) prompts_.ShowWarning("File Error", loaded.error);
        emit LoadFinished(false);
        close();
        deleteLater();
        return;
    }
    refused_ = QString::fromStdString(RefusedText(loaded.refused));
    ShowRecording(std::move(loaded.data), path_);
    emit LoadFinished(true);
}

void RecordingViewer::ShowRecording(std::unique_ptr<RecordingData> data, const QString& path) {
    if (path != path_) pathBytes_ = QFile::encodeName(path).toStdString();
    path_ = path;
    KeepShown(path);
    data_ = std::move(data);
    setWindowTitle(QFileInfo(path).fileName() + " - Recording");
    ShowProgress(false);
    summary_->setText(
        QString("%1: %2 lines, X: %3")
            .arg(QFileInfo(path_).fileName())
            .arg(data_->Lines())
            .arg(data_->TimeAxis() ? "the meter's date and time (UTC)" : "sample number") +
        (refused_.isEmpty() ? QString() : "; " + refused_));
    BuildChart();
    OfferChoices();
    for (QPushButton* button : {whole_, exportRange_, saveChart_}) button->setEnabled(true);
    {
        const QSignalBlocker quiet(leaveOutFailed_);
        leaveOutFailed_->setChecked(false);
    }
    leaveOutFailed_->setEnabled(data_->HasFlags());
    WholeRecordingClick();
}

void RecordingViewer::BuildChart() {
    plot_->clearGraphs();
    for (const std::array<QCPCurve*, 2>& marks : flagMarks_) {
        for (QCPCurve* mark : marks) plot_->removePlottable(mark);
    }
    flagMarks_.clear();
    plot_->plotLayout()->insertRow(0);
    title_ = new QCPTextElement(plot_, QFileInfo(path_).fileName());
    plot_->plotLayout()->addElement(0, 0, title_);
    ApplyChartLook(*plot_, *title_, ChartProperties{});
    plot_->legend->setVisible(false);
    // Thousands of vertical strokes a redraw: smoothing them costs more than it shows.
    plot_->setNotAntialiasedElements(QCP::aePlottables);
    // Channels of another order of size than the first (a temperature beside scattering
    // coefficients) go on a Y axis of their own on the right, or they would flatten the rest.
    const auto size = [this](int c) {
        const RangeStatistics s = data_->Statistics(c, 0, data_->Lines());
        return s.count == 0 ? 0.0 : std::max(std::abs(s.minimum), std::abs(s.maximum));
    };
    const double leftSize = data_->ChannelCount() > 0 ? size(0) : 0.0;
    const auto onTheRight = [&](int c) {
        const double own = size(c);
        return leftSize > 0 && own > 0 && (own > leftSize * 100 || own * 100 < leftSize);
    };
    statistics_->setRowCount(data_->ChannelCount());
    onTheRight_.assign(static_cast<std::size_t>(data_->ChannelCount()), false);
    for (int c = 0; c < data_->ChannelCount(); ++c) {
        const ViewerChannel& channel = data_->Channel(c);
        const bool right = onTheRight(c);
        onTheRight_[static_cast<std::size_t>(c)] = right;
        QCPGraph* graph = plot_->addGraph(plot_->xAxis, right ? plot_->yAxis2 : plot_->yAxis);
        graph->setName(QString::fromStdString(channel.name));
        graph->setPen(QPen(ToQColor(channel.colour)));
        graph->setAdaptiveSampling(false);  // the envelope is already one point per pixel
        // The channel's flagged values as dots over its line: suspect orange, fail red.
        std::array<QCPCurve*, 2> marks{};
        for (int level = 0; level < 2; ++level) {
            auto* mark = new QCPCurve(plot_->xAxis, graph->valueAxis());
            mark->setLineStyle(QCPCurve::lsNone);
            const QColor colour = level == 0 ? kSuspectColour : kFailColour;
            mark->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, colour, colour, 6));
            mark->setPen(QPen(colour));
            mark->removeFromLegend();
            marks[static_cast<std::size_t>(level)] = mark;
        }
        flagMarks_.push_back(marks);
        auto* name = new QTableWidgetItem(QString::fromStdString(channel.name));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        name->setCheckState(Qt::Checked);
        QPixmap swatch(12, 12);
        swatch.fill(ToQColor(channel.colour));
        name->setIcon(QIcon(swatch));
        statistics_->setItem(c, kName, name);
        for (int column = kMean; column < kColumns; ++column)
            statistics_->setItem(c, column, new QTableWidgetItem);
    }
    // Ticking a channel off hides it and lets the Y axis fit the others.
    connect(statistics_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() != kName || item->row() >= plot_->graphCount()) return;
        const bool shown = item->checkState() == Qt::Checked;
        plot_->graph(item->row())->setVisible(shown && !profile_);
        for (QCPCurve* mark : flagMarks_[static_cast<std::size_t>(item->row())])
            mark->setVisible(shown && !profile_);
        for (const ProfileCurve& profile : curves_) {
            if (profile.channel == item->row()) profile.curve->setVisible(shown);
        }
        Redraw();
    });

    // Each Y axis names the quantities on it with their units, as the live chart does.
    // The profile view leaves the pressure out of its value axes.
    QStringList labels[2];
    QStringList profileLabels[2];
    for (int c = 0; c < data_->ChannelCount(); ++c) {
        const QString label = QString::fromStdString(data_->Channel(c).axisLabel);
        const int side = plot_->graph(c)->valueAxis() == plot_->yAxis2 ? 1 : 0;
        if (label.isEmpty()) continue;
        if (!labels[side].contains(label)) labels[side] << label;
        if (!data_->Channel(c).pressure && !profileLabels[side].contains(label))
            profileLabels[side] << label;
    }
    for (int side = 0; side < 2; ++side) {
        axisLabels_[side] = labels[side].join(", ");
        profileAxisLabels_[side] = profileLabels[side].join(", ");
    }
    StyleLike(*plot_->yAxis2, *plot_->yAxis);
    StyleLike(*plot_->xAxis2, *plot_->xAxis);
    ApplyAxes();

    cursorLine_ = new QCPItemStraightLine(plot_);
    cursorLine_->setPen(QPen(Qt::gray, 0, Qt::DashLine));
    cursorLine_->setVisible(false);

    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->axisRect()->setRangeDrag(Qt::Horizontal);
    plot_->axisRect()->setRangeZoom(Qt::Horizontal);
    // A drag or a zoom moves X, or in the profile view the pressure.
    connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange&) {
                if (!redrawing_ && !profile_) Redraw();
            });
    connect(plot_->yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange&) {
                if (!redrawing_ && profile_) Redraw();
            });
    plot_->setMouseTracking(true);
    connect(plot_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
        if (event->buttons() != Qt::NoButton) return;
        if (profile_) {
            PlaceProfileCursor(event->position());
        } else {
            PlaceCursor(plot_->xAxis->pixelToCoord(event->position().x()));
        }
    });
}

void RecordingViewer::OfferChoices() {
    const QSignalBlocker quiet(xChoice_);
    auto* items = qobject_cast<QStandardItemModel*>(xChoice_->model());
    const auto offer = [&](XChoice choice, const QString& whyNot) {
        QStandardItem* item = items->item(static_cast<int>(choice));
        item->setEnabled(whyNot.isEmpty());
        item->setToolTip(whyNot);
    };
    offer(XChoice::Time, data_->HasTimes()
                             ? QString()
                             : "Not every line carries the meter's date and time, or it goes back");
    const RecordingCasts* casts = data_->Casts();
    QString noProfile;
    if (IsEngineeringFile(pathBytes_) || !device_) {
        noProfile =
            "A profile is drawn from a raw recording read with a device file that has "
            "a pressure column (PRES=)";
    } else if (casts == nullptr) {
        noProfile = "The device file has no pressure column (PRES=): no cast can be told from it";
    } else if (casts->CastCount() == 0) {
        noProfile = "No cast in this recording: the pressure never went below the surface to " +
                    Number(device_->casts.minDepth) + " dbar";
    }
    offer(XChoice::Pressure, noProfile);
    data_->UseSampleAxis(false);
    xChoice_->setCurrentIndex(
        static_cast<int>(data_->HasTimes() ? XChoice::Time : XChoice::Sample));
    xChoice_->setEnabled(true);

    const QSignalBlocker quietCasts(castChoice_);
    castChoice_->clear();
    castChoice_->addItem("All casts");
    for (int cast = 1; casts != nullptr && cast <= casts->CastCount(); ++cast)
        castChoice_->addItem(QString("Cast %1").arg(cast));
}

QCPAxis* RecordingViewer::ValueAxis(int channel) const {
    const bool right = onTheRight_[static_cast<std::size_t>(channel)];
    if (profile_) return right ? plot_->xAxis2 : plot_->xAxis;
    return right ? plot_->yAxis2 : plot_->yAxis;
}

void RecordingViewer::ApplyAxes() {
    const bool anyRight =
        std::find(onTheRight_.begin(), onTheRight_.end(), true) != onTheRight_.end();
    QCPAxis* const values[2] = {profile_ ? plot_->xAxis : plot_->yAxis,
                                profile_ ? plot_->xAxis2 : plot_->yAxis2};
    const QString* labels = profile_ ? profileAxisLabels_ : axisLabels_;
    values[0]->setLabel(labels[0]);
    values[1]->setLabel(labels[1]);
    values[1]->setVisible(anyRight);
    (profile_ ? plot_->yAxis2 : plot_->xAxis2)->setVisible(false);
    if (!profile_ && data_->TimeAxis()) {
        auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
        ticker->setDateTimeSpec(Qt::UTC);
        ticker->setDateTimeFormat("yyyy-MM-dd\nhh:mm:ss");
        plot_->xAxis->setTicker(ticker);
        plot_->xAxis->setLabel("Meter time (UTC)");
    } else {
        plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
        if (!profile_) plot_->xAxis->setLabel("Sample");
    }
    // The pressure grows downward, as the depth does.
    if (profile_) plot_->yAxis->setLabel("Pressure [dbar]");
    plot_->yAxis->setRangeReversed(profile_);
    const Qt::Orientation along = profile_ ? Qt::Vertical : Qt::Horizontal;
    plot_->axisRect()->setRangeDrag(along);
    plot_->axisRect()->setRangeZoom(along);
    for (int c = 0; c < plot_->graphCount(); ++c) {
        const bool shown = !profile_ && statistics_->item(c, kName)->checkState() == Qt::Checked;
        plot_->graph(c)->setVisible(shown);
        for (QCPCurve* mark : flagMarks_[static_cast<std::size_t>(c)]) mark->setVisible(shown);
    }
}

void RecordingViewer::ChooseX(XChoice choice) {
    if (!data_) return;
    const bool toProfile = choice == XChoice::Pressure;
    if (toProfile && data_->Casts() == nullptr) return;
    const bool wasProfile = profile_;
    const bool sameX = !toProfile && data_->TimeAxis() == (choice == XChoice::Time);
    if (toProfile == wasProfile && (toProfile || sameX)) return;
    cursorIndex_.reset();
    cursorLine_->setVisible(false);
    cursorLabel_->clear();
    if (toProfile) {
        const QCPRange shown = plot_->xAxis->range();
        xRange_ = std::make_pair(shown.lower, shown.upper);
    }
    profile_ = toProfile;
    if (!toProfile) data_->UseSampleAxis(choice == XChoice::Sample);
    ApplyAxes();
    BuildProfile();
    for (QWidget* profileOnly : std::initializer_list<QWidget*>{
             castLabel_, castChoice_, traceChoice_, binLabel_, binSize_, exportCasts_})
        profileOnly->setVisible(profile_);
    exportRange_->setEnabled(!profile_ && !Busy());
    // Back from the profile to the X it left, the range it showed.
    if (wasProfile && sameX && xRange_) {
        ShowRange(xRange_->first, xRange_->second);
    } else {
        WholeRecordingClick();
    }
}

void RecordingViewer::BuildProfile() {
    for (const ProfileCurve& profile : curves_) plot_->removePlottable(profile.curve);
    curves_.clear();
    traces_.clear();
    const RecordingCasts* casts = data_->Casts();
    if (!profile_ || casts == nullptr) return;
    CastChoice choice;
    choice.cast = std::max(castChoice_->currentIndex(), 0);
    choice.traces = static_cast<TraceChoice>(traceChoice_->currentIndex());
    traces_ = casts->Traces(choice);
    for (int c = 0; c < data_->ChannelCount(); ++c) {
        const ViewerChannel& channel = data_->Channel(c);
        if (channel.pressure) continue;  // against itself, a diagonal
        const bool shown = statistics_->item(c, kName)->checkState() == Qt::Checked;
        const QColor colour = ToQColor(channel.colour);
        for (std::size_t t = 0; t < traces_.size(); ++t) {
            auto* curve = new QCPCurve(ValueAxis(c), plot_->yAxis);
            curve->setName(QString::fromStdString(channel.name));
            // The up trace in a darker shade of the same colour.
            curve->setPen(
                QPen(traces_[t].direction == CastPhase::Down ? colour : colour.darker(170)));
            curve->setVisible(shown);
            curves_.push_back({curve, c, t});
        }
    }
}

std::pair<double, double> RecordingViewer::Pressures() const {
    const QCPRange range = plot_->yAxis->range();
    return {range.lower, range.upper};
}

void RecordingViewer::WholeRecordingClick() {
    if (!data_) return;
    if (profile_) {
        const auto extent = data_->Casts()->PressureExtent(traces_);
        const auto [low, high] = extent.value_or(std::make_pair(0.0, 10.0));
        const double margin = std::max((high - low) * 0.02, 0.5);
        ShowRange(low - margin, high + margin);
        return;
    }
    const double first = data_->X(0);
    const double last = data_->X(data_->Lines() - 1);
    const double margin = std::max((last - first) * 0.01, 0.5);
    ShowRange(first - margin, last + margin);
}

void RecordingViewer::ShowRange(double low, double high) {
    if (!data_ || !(high > low)) return;
    redrawing_ = true;
    (profile_ ? plot_->yAxis : plot_->xAxis)->setRange(low, high);
    redrawing_ = false;
    Redraw();
}

void RecordingViewer::Redraw() {
    if (!data_) return;
    if (profile_) return RedrawProfile();
    const QCPRange range = plot_->xAxis->range();
    const int columns = std::max(plot_->axisRect()->width(), 100);
    // Per Y axis: left, right.
    double low[2] = {INFINITY, INFINITY};
    double high[2] = {-INFINITY, -INFINITY};
    for (int c = 0; c < data_->ChannelCount(); ++c) {
        QCPGraph* graph = plot_->graph(c);
        if (!graph->visible()) continue;
        const int side = graph->valueAxis() == plot_->yAxis2 ? 1 : 0;
        data_->Envelope(c, range.lower, range.upper, columns, envelope_);
        // Each column's lowest and highest value, in turn: the line through them fills the
        // band the lines cover.
        QVector<QCPGraphData> points;
        points.reserve(static_cast<int>(envelope_.size() * 2));
        for (const EnvelopePoint& p : envelope_) {
            points.append({p.x, p.low});
            if (p.high != p.low) points.append({p.x, p.high});
            low[side] = std::min(low[side], static_cast<double>(p.low));
            high[side] = std::max(high[side], static_cast<double>(p.high));
        }
        graph->data()->set(points, true);
        MarkFlags(c);
    }
    QCPAxis* const axes[2] = {plot_->yAxis, plot_->yAxis2};
    for (int side = 0; side < 2; ++side) {
        if (!(low[side] <= high[side])) continue;
        const double spread = high[side] - low[side];
        const double pad = spread > 0 ? spread * 0.05 : std::max(std::abs(low[side]) * 0.05, 1e-9);
        axes[side]->setRange(low[side] - pad, high[side] + pad);
    }
    UpdateStatistics();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void RecordingViewer::RedrawProfile() {
    const RecordingCasts& casts = *data_->Casts();
    const std::pair<double, double> pressures = Pressures();
    const int rows = std::max(plot_->axisRect()->height(), 100);
    // Per value axis: first, second.
    double low[2] = {INFINITY, INFINITY};
    double high[2] = {-INFINITY, -INFINITY};
    for (const ProfileCurve& profile : curves_) {
        if (!profile.curve->visible()) continue;
        const int side = profile.curve->keyAxis() == plot_->xAxis2 ? 1 : 0;
        casts.Envelope(*data_, profile.channel, traces_[profile.trace], pressures, rows,
                       profilePoints_);
        // Each row's lowest and highest value in turn, as the time chart does per column.
        QVector<QCPCurveData> points;
        points.reserve(static_cast<int>(profilePoints_.size() * 2));
        for (const ProfileEnvelopePoint& p : profilePoints_) {
            points.append({static_cast<double>(points.size()), p.low, p.pressure});
            if (p.high != p.low)
                points.append({static_cast<double>(points.size()), p.high, p.pressure});
            if (p.pressure < pressures.first || p.pressure > pressures.second) continue;
            low[side] = std::min(low[side], static_cast<double>(p.low));
            high[side] = std::max(high[side], static_cast<double>(p.high));
        }
        profile.curve->data()->set(points, true);
    }
    QCPAxis* const axes[2] = {plot_->xAxis, plot_->xAxis2};
    redrawing_ = true;
    for (int side = 0; side < 2; ++side) {
        if (!(low[side] <= high[side])) continue;
        const double spread = high[side] - low[side];
        const double pad = spread > 0 ? spread * 0.05 : std::max(std::abs(low[side]) * 0.05, 1e-9);
        axes[side]->setRange(low[side] - pad, high[side] + pad);
    }
    redrawing_ = false;
    UpdateStatistics();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

std::pair<std::size_t, std::size_t> RecordingViewer::VisibleLines() const {
    if (!data_) return {0, 0};
    if (profile_) {
        // The profile leaves the time chart's range as it was.
        return xRange_ ? data_->LinesWithin(xRange_->first, xRange_->second)
                       : std::pair<std::size_t, std::size_t>{0, 0};
    }
    const QCPRange range = plot_->xAxis->range();
    return data_->LinesWithin(range.lower, range.upper);
}

void RecordingViewer::UpdateStatistics() {
    const auto [first, last] = VisibleLines();
    const QSignalBlocker quiet(statistics_);
    for (int c = 0; c < data_->ChannelCount(); ++c) {
        // In the profile view, of the chosen traces' lines at the pressures shown.
        const RangeStatistics s = profile_
                                      ? data_->Casts()->Statistics(*data_, c, traces_, Pressures())
                                      : data_->Statistics(c, first, last);
        statistics_->item(c, kMean)->setText(Number(s.mean));
        statistics_->item(c, kDeviation)->setText(Number(s.standardDeviation));
        statistics_->item(c, kMinimum)->setText(Number(s.minimum));
        statistics_->item(c, kMaximum)->setText(Number(s.maximum));
        if (data_->HasFlags() && !profile_) {
            const FlagCounts flags = data_->CountFlags(c, first, last);
            statistics_->item(c, kFlags)->setText(
                QString("%1 / %2").arg(flags.suspect).arg(flags.fail));
        } else {
            statistics_->item(c, kFlags)->setText(data_->HasFlags() ? "" : "none");
        }
    }
}

void RecordingViewer::MarkFlags(int channel) {
    std::array<QCPCurve*, 2>& marks = flagMarks_[static_cast<std::size_t>(channel)];
    QVector<QCPCurveData> points[2];
    const auto [first, last] = VisibleLines();
    const std::vector<std::uint32_t>& flagged = data_->FlaggedLines(channel);
    const auto begin = std::lower_bound(flagged.begin(), flagged.end(), first);
    const auto end = std::lower_bound(begin, flagged.end(), last);
    if (static_cast<std::size_t>(end - begin) <= kMostMarks) {
        for (auto at = begin; at != end; ++at) {
            const float value = data_->Value(channel, *at);
            const QualityFlag flag = data_->Flag(channel, *at);
            if (!std::isfinite(value) || flag == QualityFlag::Missing) continue;
            QVector<QCPCurveData>& into = points[flag == QualityFlag::Fail ? 1 : 0];
            into.append({static_cast<double>(into.size()), data_->X(*at), value});
        }
    }
    for (int level = 0; level < 2; ++level)
        marks[static_cast<std::size_t>(level)]->data()->set(points[level], true);
}

void RecordingViewer::LeaveOutFailedClick(bool leaveOut) {
    if (!data_) return;
    data_->LeaveOutFailed(leaveOut);
    Redraw();
}

void RecordingViewer::PlaceCursor(double x) {
    if (!data_ || data_->Lines() == 0) return;
    const std::size_t line = data_->Nearest(x);
    cursorIndex_ = line;
    const double at = data_->X(line);
    cursorLine_->point1->setCoords(at, 0);
    cursorLine_->point2->setCoords(at, 1);
    cursorLine_->setVisible(true);
    cursorLabel_->setText(CursorText());
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void RecordingViewer::PlaceProfileCursor(QPointF at) {
    if (!data_ || !profile_) return;
    const RecordingCasts& casts = *data_->Casts();
    const double pressure = plot_->yAxis->pixelToCoord(at.y());
    const double height = std::max(plot_->axisRect()->height(), 1);
    const double width = std::max(plot_->axisRect()->width(), 1);
    // Nearest as the eye sees it: distances in pixels, over every channel drawn.
    std::optional<std::pair<std::size_t, double>> nearest;
    for (int c = 0; c < data_->ChannelCount(); ++c) {
        if (data_->Channel(c).pressure || statistics_->item(c, kName)->checkState() != Qt::Checked)
            continue;
        const QCPAxis* axis = ValueAxis(c);
        const CursorScale scale{plot_->yAxis->range().size() / height,
                                axis->range().size() / width};
        const auto found =
            casts.Nearest(*data_, c, traces_, {pressure, axis->pixelToCoord(at.x())}, scale);
        if (found && (!nearest || found->second < nearest->second)) nearest = found;
    }
    if (!nearest) return;
    cursorIndex_ = nearest->first;
    const double p = casts.Pressure(nearest->first);
    cursorLine_->point1->setCoords(0, p);
    cursorLine_->point2->setCoords(1, p);
    cursorLine_->setVisible(true);
    cursorLabel_->setText(CursorText());
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

QString RecordingViewer::CursorText() const {
    if (!data_ || !cursorIndex_) return {};
    const std::size_t line = *cursorIndex_;
    QString text = QString("Line %1").arg(line + 1);
    if (profile_) {
        if (data_->HasTimes()) text += "  " + MeterTimeText(data_->MeterTime(line));
        const CastMark& mark = data_->Casts()->Mark(line);
        text += QString("  Cast %1 %2  %3 dbar")
                    .arg(mark.cast)
                    .arg(CastPhaseName(mark.phase))
                    .arg(Number(data_->Casts()->Pressure(line)));
    } else if (data_->TimeAxis()) {
        text += "  " + MeterTimeText(data_->X(line));
    }
    for (int c = 0; c < data_->ChannelCount(); ++c) {
        text +=
            QString("   %1 %2")
                .arg(QString::fromStdString(data_->Channel(c).name), Number(data_->Value(c, line)));
    }
    return text;
}

void RecordingViewer::ExportVisibleRangeClick() {
    if (!data_ || Busy()) return;
    if (IsEngineeringFile(pathBytes_) || !device_) {
        prompts_.ShowWarning("Export Visible Range",
                             "The visible range is exported from the raw recording; open the "
                             ".raw file to export it");
        return;
    }
    const std::optional<std::string> output =
        prompts_.SaveFileName({"Export Visible Range: Save As",
                               "CSV Files (*.csv)|*.csv|NetCDF Files (*.nc)|*.nc", "csv"});
    if (!output) return;
    const QFileInfo target(QFile::decodeName(QByteArray::fromStdString(*output)));
    OutputFile staged = OutputFile::Open(files_, *output, roles::kExport, OutputMode::Staged);
    if (!staged.Ok()) {
        prompts_.ShowWarning("File Error", staged.Error());
        return;
    }
    const auto [first, last] = VisibleLines();
    Work& work = NewWork();
    RangeExportJob& job = work.exportJob;
    job.rawPath = pathBytes_;
    job.outputPath = *output;
    job.format = target.suffix().compare("nc", Qt::CaseInsensitive) == 0 ? ExportFormat::Netcdf
                                                                         : ExportFormat::Csv;
    job.device = *device_;
    job.software = ("KIVO View " + QCoreApplication::applicationVersion()).toStdString();
    job.firstLine = first;
    job.lastLine = last;
    exportTitle_ = "Export Visible Range";
    StartExport(std::move(staged));
}

void RecordingViewer::ExportCastsClick() {
    if (!data_ || Busy() || !profile_ || !device_) return;
    const std::optional<std::string> output = prompts_.SaveFileName(
        {"Export Casts: Save As", "CSV Files (*.csv)|*.csv|NetCDF Files (*.nc)|*.nc", "csv"});
    if (!output) return;
    const QFileInfo target(QFile::decodeName(QByteArray::fromStdString(*output)));
    OutputFile staged = OutputFile::Open(files_, *output, roles::kExport, OutputMode::Staged);
    if (!staged.Ok()) {
        prompts_.ShowWarning("File Error", staged.Error());
        return;
    }
    Work& work = NewWork();
    RangeExportJob& job = work.exportJob;
    job.rawPath = pathBytes_;
    job.outputPath = *output;
    job.format = target.suffix().compare("nc", Qt::CaseInsensitive) == 0 ? ExportFormat::Netcdf
                                                                         : ExportFormat::Csv;
    job.device = *device_;
    job.software = ("KIVO View " + QCoreApplication::applicationVersion()).toStdString();
    job.casts = true;
    job.cast = std::max(castChoice_->currentIndex(), 0);
    job.binSize = binSize_->value();
    exportTitle_ = "Export Casts";
    StartExport(std::move(staged));
}

void RecordingViewer::StartExport(OutputFile staged) {
    exporting_ = true;
    ShowProgress(true);
    exportRange_->setEnabled(false);
    exportCasts_->setEnabled(false);
    worker_ = std::thread([work = work_, file = std::move(staged)]() mutable {
        work->exported = ExportRange(work->exportJob, std::move(file), work->progress);
        work->done = true;
    });
    poll_.start();
}

void RecordingViewer::ExportDone() {
    exporting_ = false;
    exportRange_->setEnabled(!profile_);
    exportCasts_->setEnabled(true);
    const RangeExportResult& exported = work_->exported;
    if (exported.written) {
        prompts_.ShowMessage(exportTitle_, std::to_string(exported.records) +
                                               (exported.records == 1 ? " record" : " records") +
                                               " written to\n" + work_->exportJob.outputPath);
    } else if (!exported.cancelled) {
        prompts_.ShowWarning("File Error", exported.error);
    }
    emit ExportFinished();
}

void RecordingViewer::SaveChartClick() {
    if (!data_) return;
    const std::optional<std::string> output = prompts_.SaveFileName(
        {"Save Chart As", "PNG Files (*.png)|*.png|PDF Files (*.pdf)|*.pdf", "png"});
    if (!output) return;
    // Saved beside and put in place: a failed save leaves the old file, and its mode.
    OutputFile staged = OutputFile::Open(files_, *output, roles::kChartImage, OutputMode::Staged);
    if (!staged.Ok()) {
        prompts_.ShowWarning("File Error", staged.Error());
        return;
    }
    const QString path = QFile::decodeName(QByteArray::fromStdString(staged.WritePath()));
    const bool pdf =
        QFile::decodeName(QByteArray::fromStdString(*output)).endsWith(".pdf", Qt::CaseInsensitive);
    const bool saved = (pdf ? plot_->savePdf(path) : plot_->savePng(path)) && staged.Commit();
    if (!saved) prompts_.ShowWarning("File Error", "Cannot write\n" + *output);
}

void RecordingViewer::KeepShown(const QString& path) {
    shown_ = files_->Register(QFile::encodeName(path).toStdString(), roles::kViewed);
}

std::optional<ViewerDevice> LoadedDevice(Session& session) {
    const SharedState& state = session.State();
    if (state.DevicePath.empty()) return std::nullopt;
    ViewerDevice device;
    device.calibration = session.Calibration();
    device.deviceName =
        QFileInfo(QString::fromStdString(state.DevicePath)).completeBaseName().toStdString();
    device.options = {state.alternateCommands, state.RefChannelCorrection != 0,
                      state.TempCorrection != 0};
    device.scatteringQuantity = state.BBPlotChoice;
    device.facts = session.Recording().ExportFacts();
    device.metadataPath = session.Recording().MetadataPath();
    return device;
}

std::optional<ViewerDevice> ReadViewerDevice(const std::string& path, Session& session,
                                             Prompts& prompts) {
    ViewerDevice device;
    // A pipe would hold the open, and /dev/zero the reading, for ever.
    if (!IsRegularFile(path)) {
        prompts.ShowWarning("Device File Error", "Missing or Invalid device file '" + path + "'");
        return std::nullopt;
    }
    std::ifstream file(path);
    if (!file || !ReadDeviceFile(file, device.calibration, device.deviceName, prompts)) {
        prompts.ShowWarning("Device File Error", "Missing or Invalid device file '" + path + "'");
        return std::nullopt;
    }
    const SharedState& state = session.State();
    device.options = {state.alternateCommands, state.RefChannelCorrection != 0,
                      state.TempCorrection != 0};
    device.scatteringQuantity = state.BBPlotChoice;
    // The exports name the device file given, not the one the window has loaded.
    device.facts = session.Recording().ExportFacts();
    device.facts.deviceFile = DescribeDeviceFile(path);
    device.metadataPath = session.Recording().MetadataPath();
    return device;
}

RecordingViewer* OpenRecordingViewer(QWidget* parent, Prompts& prompts,
                                     std::optional<ViewerDevice> device, const std::string& path,
                                     FileRegistry* files) {
    std::string file = path;
    if (file.empty()) {
        const std::optional<std::string> chosen = prompts.OpenFileName(
            {"Open Recording",
             "Recordings (*.raw *.eng)|*.raw *.eng|Raw Files (*.raw)|*.raw|Engineering Units "
             "Files (*.eng)|*.eng|All Files (*.*)|*.*",
             "raw"});
        if (!chosen) return nullptr;
        file = *chosen;
    }
    auto* viewer = new RecordingViewer(prompts, std::move(device), parent);
    if (files != nullptr) viewer->GuardFiles(*files);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
    viewer->Open(file);
    return viewer;
}

namespace {

// Every cast overlaid, both traces, the cursor in the middle; then the view as it was.
void SaveCastsScreenshot(RecordingViewer& viewer, const QString& path) {
    const RecordingData* data = viewer.Data();
    if (data == nullptr || data->Casts() == nullptr || data->Casts()->CastCount() == 0) return;
    auto* x = viewer.findChild<QComboBox*>("ViewerXAxisCB");
    auto* casts = viewer.findChild<QComboBox*>("ViewerCastCB");
    auto* traces = viewer.findChild<QComboBox*>("ViewerTraceCB");
    const int shown[3] = {x->currentIndex(), casts->currentIndex(), traces->currentIndex()};
    x->setCurrentIndex(static_cast<int>(RecordingViewer::XChoice::Pressure));
    casts->setCurrentIndex(0);
    traces->setCurrentIndex(static_cast<int>(TraceChoice::Both));
    viewer.Redraw();
    viewer.PlaceProfileCursor(viewer.Plot()->axisRect()->rect().center());
    // The cursor's line of text takes its room before the picture.
    viewer.layout()->activate();
    viewer.Redraw();
    viewer.Plot()->replot(QCustomPlot::rpImmediateRefresh);
    viewer.grab().save(path, "PNG");
    casts->setCurrentIndex(shown[1]);
    traces->setCurrentIndex(shown[2]);
    x->setCurrentIndex(shown[0]);
}

}  // namespace

QString SaveViewerScreenshot(RecordingViewer& viewer, const QString& directory) {
    QDir().mkpath(directory);
    const QString path = QDir(directory).filePath("viewer-whole-recording.png");
    viewer.Redraw();
    if (viewer.CursorText().isEmpty() && viewer.Data() != nullptr) {
        const RecordingData& data = *viewer.Data();
        viewer.PlaceCursor(data.X(data.Lines() / 2));
    }
    viewer.Plot()->replot(QCustomPlot::rpImmediateRefresh);
    if (!viewer.grab().save(path, "PNG")) return {};
    SaveCastsScreenshot(viewer, QDir(directory).filePath("viewer-casts.png"));
    return path;
}

}  // namespace kivo
