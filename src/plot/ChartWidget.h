#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "core/files/FileRegistry.h"
#include "core/plot/ChartModel.h"

class QAction;
class QCPItemText;
class QCPItemTracer;
class QCPTextElement;
class QCustomPlot;
class QMouseEvent;
class QToolBar;

namespace kivo {

// Draws a ChartModel with QCustomPlot: one graph per channel, a vertical legend beside the
// plot, the chart title above it, and a toolbar (zoom in and out, edit, data cursor, pause
// scrolling, save image). All decisions about ranges and points are the model's; Sync()
// brings the drawing up to date with it.
//
// The model must outlive every call into the widget; the widget's destructor does not
// touch it, so the widget may be destroyed after its owner has gone.
class ChartWidget : public QWidget {
    Q_OBJECT

public:
    // Asked for the image file name; an empty name cancels.
    using ImagePathChooser = std::function<QString(QWidget* parent)>;
    // Told when an image could not be written.
    using FailureReporter = std::function<void(const QString& path)>;

    explicit ChartWidget(ChartModel& model, QWidget* parent = nullptr);
    ~ChartWidget() override;

    // Catches up with the model: new points appended, dropped ones removed, graphs rebuilt
    // only when the model's structure changed, then one queued replot. Cheap when nothing
    // changed; meant to run once per timer tick, not per point.
    void Sync();

    // "kivoiocomp.rbs": the look is the model's; these apply it at once.
    bool SavePropertiesToFile(const QString& path) const;
    bool LoadPropertiesFromFile(const QString& path);

    // Writes the chart as PDF when the name ends in ".pdf", else as PNG (".png" is added to
    // a name without a suffix).
    bool SaveImage(const QString& path);

    void SetImagePathChooser(ImagePathChooser chooser) { chooseImagePath_ = std::move(chooser); }
    void SetFailureReporter(FailureReporter reporter) { reportFailure_ = std::move(reporter); }
    // The files the program has open or loaded: no image is saved onto one of them.
    void SetFileGuard(FileRegistry& files) { files_ = &files; }
    // Why the last SaveImage failed.
    const QString& SaveError() const { return saveError_; }

    QCustomPlot* Plot() const { return plot_; }
    // The data cursor's "X: ...  Y: ..." text while it is shown, else empty.
    QString DataCursorText() const;

private:
    void BuildToolBar();
    void BuildPlot();
    void RebuildGraphs();
    void ReloadGraph(int channel);
    void AppendNewPoints();
    void ApplyAppearance();
    void ApplyRanges();
    void ToggleProperty(bool ChartProperties::*flag, bool on);
    void SetLineWidth(int width);
    void SaveImageClicked();
    void ShowDataCursor(bool on);
    void OnMouseMove(QMouseEvent* event);

    ChartModel& model_;
    QToolBar* toolBar_ = nullptr;
    QAction* editAction_ = nullptr;
    QAction* gridAction_ = nullptr;
    QAction* legendAction_ = nullptr;
    QAction* thickLinesAction_ = nullptr;
    QAction* cursorAction_ = nullptr;
    QAction* pauseAction_ = nullptr;
    QCustomPlot* plot_ = nullptr;
    QCPTextElement* title_ = nullptr;
    QCPItemTracer* tracer_ = nullptr;
    QCPItemText* cursorLabel_ = nullptr;

    ImagePathChooser chooseImagePath_;
    FailureReporter reportFailure_;
    FileRegistry ownFiles_;
    FileRegistry* files_ = &ownFiles_;
    QString saveError_;

    // What the drawing shows, in the model's counters.
    bool synced_ = false;
    std::uint64_t drawnRevision_ = 0;
    std::uint64_t drawnStructure_ = 0;
    std::uint64_t drawnAppearance_ = 0;
    std::vector<std::uint64_t> drawnAppended_;  // per channel
};

}  // namespace kivo
