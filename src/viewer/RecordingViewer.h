#pragma once

#include <QPointF>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/files/FileRegistry.h"
#include "core/seams/Prompts.h"
#include "core/viewer/RangeExport.h"
#include "core/viewer/RecordingLoad.h"

class QCPAxis;
class QCPCurve;
class QCPItemStraightLine;
class QCPTextElement;
class QCustomPlot;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace kivo {

class Session;

// A whole recording in a window of its own: read on a worker thread (progress bar and
// Cancel), every channel drawn from per-pixel-column envelopes, so any zoom or pan of millions
// of lines redraws at once; a data cursor; the statistics of the visible range; the visible
// range exported to CSV or NetCDF and the chart saved as PNG or PDF. With a pressure column,
// X can be the pressure instead: the casts overlaid as profiles, pressure increasing downward,
// the chosen casts exported through the export with casts. It shares nothing with the main
// window: the meter link, the live chart and any recording go on undisturbed.
class RecordingViewer final : public QWidget {
    Q_OBJECT
public:
    // `device` reads a raw file; an engineering-units file needs none.
    RecordingViewer(Prompts& prompts, std::optional<ViewerDevice> device, QWidget* parent);
    ~RecordingViewer() override;

    // The files the program has open or loaded (the main window's session's): the recording
    // shown is registered there, and no export or chart is saved onto one of them. Without
    // it the viewer keeps a registry of its own.
    void GuardFiles(FileRegistry& files) { files_ = &files; }

    // Starts reading `path`, the file name's bytes as the system has them (not every name
    // is UTF-8). A failure is told through the prompts and closes the window.
    void Open(const std::string& path);
    // Shows a recording already read (what a finished Open does), as if read from `path`.
    void ShowRecording(std::unique_ptr<RecordingData> data, const QString& path);
    bool Busy() const { return worker_.joinable(); }
    // Null until the recording is read.
    const RecordingData* Data() const { return data_.get(); }
    QCustomPlot* Plot() const { return plot_; }
    QTableWidget* StatisticsTable() const { return statistics_; }
    QProgressBar* Progress() const { return progress_; }

    // ---- what the controls do ----
    void CancelClick();
    void WholeRecordingClick();
    // Failed values out of the lines and the statistics, or back in.
    void LeaveOutFailedClick(bool leaveOut);
    void ExportVisibleRangeClick();
    void SaveChartClick();
    // Pressure (profile): the chosen casts (`ViewerCastCB`) with bin averages of the chosen
    // size, or every record with its cast and phase (`ViewerBinSize` at "Samples").
    void ExportCastsClick();
    // The X range shown; the drawing and the statistics follow.
    void ShowRange(double low, double high);
    // The data cursor at X (the mouse moves it); its text names the line and its values.
    void PlaceCursor(double x);
    // In the profile view: the cursor on the chosen point nearest the pixel `at` of the chart.
    void PlaceProfileCursor(QPointF at);
    QString CursorText() const;
    // The lines [first, last) shown.
    std::pair<std::size_t, std::size_t> VisibleLines() const;
    // Draws the envelopes for the X range shown: what a zoom or pan costs.
    void Redraw();

signals:
    // The recording is read (or failed, or was cancelled: the window then closes).
    void LoadFinished(bool loaded);
    // A visible-range export ended (told through the prompts).
    void ExportFinished();

public:
    // The X choices of `ViewerXAxisCB`, in its order.
    enum class XChoice { Time, Sample, Pressure };

private:
    void Poll();
    void LoadDone();
    void ExportDone();
    // Runs the export job set in the current work into `staged` on the worker.
    void StartExport(OutputFile staged);
    void BuildChart();
    void UpdateStatistics();
    // The flagged values of a channel in view, as dots over its line.
    void MarkFlags(int channel);
    void ChooseX(XChoice choice);
    void ApplyAxes();
    void BuildProfile();
    void RedrawProfile();
    void OfferChoices();
    QCPAxis* ValueAxis(int channel) const;
    // The pressures shown, as the vertical axis has them.
    std::pair<double, double> Pressures() const;
    void ShowProgress(bool shown);
    void KeepShown(const QString& path);

    Prompts& prompts_;
    FileRegistry ownFiles_;
    FileRegistry* files_ = &ownFiles_;
    FileRegistry::Registration shown_;
    const std::optional<ViewerDevice> device_;
    QString path_;
    std::unique_ptr<RecordingData> data_;

    // What a worker shares with the window. The worker holds its own share, so a window
    // closed while a read hangs (a stalled network file system) lets the worker go instead
    // of waiting for it.
    struct Work {
        LoadProgress progress;
        std::atomic<bool> done{false};
        LoadedRecording loaded;
        RangeExportJob exportJob;
        RangeExportResult exported;
    };
    // A fresh share for the next job; the previous worker keeps its own.
    Work& NewWork();

    // The one worker at a time: the load, then any export.
    std::thread worker_;
    std::shared_ptr<Work> work_ = std::make_shared<Work>();
    bool exporting_ = false;
    std::string pathBytes_;  // path_ as the system names the file
    QString refused_;        // the lines the load left out, by reason
    QTimer poll_;

    QLabel* summary_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QCustomPlot* plot_ = nullptr;
    QCPTextElement* title_ = nullptr;
    QCPItemStraightLine* cursorLine_ = nullptr;
    QLabel* cursorLabel_ = nullptr;
    QTableWidget* statistics_ = nullptr;
    QPushButton* whole_ = nullptr;
    QPushButton* exportRange_ = nullptr;
    QPushButton* saveChart_ = nullptr;
    QComboBox* xChoice_ = nullptr;
    QLabel* castLabel_ = nullptr;
    QComboBox* castChoice_ = nullptr;
    QComboBox* traceChoice_ = nullptr;
    QCheckBox* leaveOutFailed_ = nullptr;
    std::vector<std::array<QCPCurve*, 2>> flagMarks_;  // per channel: suspect, fail
    QLabel* binLabel_ = nullptr;
    QDoubleSpinBox* binSize_ = nullptr;
    QPushButton* exportCasts_ = nullptr;
    std::string exportTitle_;  // of the export under way
    std::optional<std::size_t> cursorIndex_;
    bool redrawing_ = false;
    std::vector<EnvelopePoint> envelope_;  // reused by each channel's redraw

    // ---- the profile view ----
    bool profile_ = false;
    std::vector<bool> onTheRight_;  // per channel: on the second value axis
    QString axisLabels_[2];         // the quantities of the first and second value axis
    QString profileAxisLabels_[2];  // the same without the pressure, for the profile view
    std::optional<std::pair<double, double>> xRange_;  // the X range left for the profile
    std::vector<CastTrace> traces_;                    // the chosen ones
    struct ProfileCurve {
        QCPCurve* curve;
        int channel;
        std::size_t trace;
    };
    std::vector<ProfileCurve> curves_;
    std::vector<ProfileEnvelopePoint> profilePoints_;  // reused by each curve's redraw
};

// The device the main window has loaded, or nothing when it has none.
std::optional<ViewerDevice> LoadedDevice(Session& session);
// A device file read for the viewer alone, taking the session's line options; nothing (told
// through the prompts) when it does not load.
std::optional<ViewerDevice> ReadViewerDevice(const std::string& path, Session& session,
                                             Prompts& prompts);

// File > Open Recording…: asks for the file when `path` is empty, then opens a viewer
// window for it, owned by `parent` but a window of its own. Null when the operator cancelled.
// `files` as GuardFiles takes it.
RecordingViewer* OpenRecordingViewer(QWidget* parent, Prompts& prompts,
                                     std::optional<ViewerDevice> device, const std::string& path,
                                     FileRegistry* files = nullptr);

// The viewer drawn into `directory` as "viewer-whole-recording.png"; empty when not written.
// A recording with casts is drawn with them overlaid as "viewer-casts.png" too, and shown
// as before.
QString SaveViewerScreenshot(RecordingViewer& viewer, const QString& directory);

}  // namespace kivo
