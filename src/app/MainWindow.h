#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/WindowPresenter.h"
#include "core/host/ComPortMap.h"
#include "core/host/Session.h"
#include "dialogs/PortDialog.h"

class QComboBox;
class QPlainTextEdit;
class QTabWidget;

namespace kivo {

class ChartWidget;
class ProfileWidget;
class DialogPrompts;
class ExportProgressWindow;
class MemoryFullWindow;
class PowerUserPasswordDialog;

// What the window is built with. Tests pass their own port, prompts and clock and drive
// the ticks themselves.
struct MainWindowOptions {
    ComPortMap ports;
    SerialPort* port = nullptr;            // default: QSerialPort
    Prompts* prompts = nullptr;            // default: the window's own dialogs
    Clock* clock = nullptr;                // default: the local clock
    std::function<void(int)> exitProcess;  // default: quit the event loop with the status
    bool startTimers = true;
    std::string settingsDirectory;  // empty: the current directory
    // The serial devices the port dialog lists; default: the machine's.
    std::function<std::vector<SerialDevice>()> serialDevices;
    PositionSource* positions = nullptr;  // default: gpsd
    DatagramSender* datagrams = nullptr;  // default: UDP through the system's sockets
};

// The main window: its controls, its three timers, and the binding of every control event
// to the session's handler of the same name, with what the operator entered beside it; after
// each, the presenter shows what the session shows.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& Core() { return *session_; }
    MemoryFullWindow* MemoryFull() const { return memoryFull_; }
    PortDialog* HostPortDialog() const { return portDialog_; }
    PowerUserPasswordDialog* PasswordDialog() const { return passwordDialog_; }
    DialogPrompts* OwnPrompts() const { return ownPrompts_; }
    QTabWidget* Pages() const { return pages_; }
    // The six pages by their fixed number (PageSetup … PageTransfer), whether shown or not.
    static constexpr int PageCount() { return kPageCount; }
    static constexpr std::size_t kPageTotal = kPageCount;
    bool PageShown(int page) const;
    QString PageTitle(int page) const;
    static constexpr std::size_t kMemoLines =
        MemoLines::kMemoLines;  // the memo keeps the newest lines only

    // The Raw Data memo, with every line received so far in it.
    QPlainTextEdit* Memo() const {
        FlushMemo();
        return memo_;
    }
    // Puts the lines received since the last call into the memo, in one edit: the pump may
    // take hundreds of lines in a tick, and the memo shows only the newest 501.
    void FlushMemo() const;
    QObject* ControlObject(Control control) const;
    QTimer& Timer55ms() { return timer55_; }
    ChartWidget* Chart() const { return chart_; }
    ProfileWidget* Profile() const { return profile_; }
    // The profile in the Plot Data page's frame instead of the strip chart, and the cast's
    // label in the status area; or the strip chart, which takes its points meanwhile too.
    void ShowProfileView(bool on);

    // Shows what the session shows now; the window's handlers and ticks end with it.
    void Present();
    // The three timers' work: the session's tick, then what it changed shown.
    void Timer55msTimer();
    void Timer500msTimer();
    void Timer1SecondTimer();

    // The controls, as the presenter sets them and the handlers read them.
    void SetText(Control control, const std::string& text);
    void SetVisible(Control control, bool visible);
    void SetColour(Control control, Colour colour);
    void SetChecked(Control control, bool checked);
    // Selects item `index` of a list without raising its change event; an index the list
    // does not have leaves it without a selection.
    void SetItemIndex(Control control, int index);
    std::string Text(Control control) const;
    // -1 when the list has no item selected.
    int ItemIndex(Control control) const;
    bool IsChecked(Control control) const;
    void SetCaption(const std::string& caption);
    // Appends one received line to the Raw Data memo, which keeps the newest 501 lines.
    void AppendMemoLine(const std::string& line);
    void SetActivePage(int page);
    int ActivePage() const;
    void SetPageVisible(int page, bool visible);
    int TabOfPage(int page) const;
    void SetPageTitle(int page, const QString& title);
    void ShowMemoryFullWindow();
    void SetPumpInterval(int milliseconds);
    void ShowPasswordWindow();
    // A progress bar: `value` of `maximum`; a maximum of 0 shows a busy bar.
    void SetProgress(Control control, std::int64_t value, std::int64_t maximum);

    // File > Export Recording…: a raw file converted with the loaded device file into CSV or
    // NetCDF on a thread of its own, while live work goes on.
    void ExportRecordingClick();
    // File > Open Recording…: a whole raw or .eng file in a viewer window of its own, read
    // with the loaded device file; the meter link and any recording go on.
    void OpenRecordingClick();
    // The labels the window keeps from the session's status: the CSV recording and how long
    // since the last data line (red while the meter is silent too long). The 1-second timer
    // runs it; a stall new since the last call beeps once.
    void PresentHostStatus();
    // Beeps given for stalls since the start.
    int StallBeeps() const { return stallBeeps_; }

    // The export under way or last finished; null before the first.
    ExportProgressWindow* Exporting() const { return exporting_; }

public slots:
    void PCOMPortClick();

private:
    void BuildLayout();
    void BuildStatusArea(class QGridLayout* grid);
    void BuildLeftColumn(class QVBoxLayout* column);
    QWidget* BuildSetupPage();
    QWidget* BuildAdvancedPage();
    QWidget* BuildFLSetupPage();
    QWidget* BuildRawPage();
    QWidget* BuildPlotPage();
    QWidget* BuildTransferPage();
    void BuildMenu();
    void CacheControls();
    void ConnectHandlers();
    void ConnectSelector(QComboBox* combo);
    void OnClick(Control control, std::function<void()> handler);
    void Exit1Click();
    void EndProcess(int status);
    // Each port item's tooltip: the device its COM number stands for now.
    void ShowPortDevices();

    std::unique_ptr<SerialPort> ownPort_;
    std::unique_ptr<Clock> ownClock_;
    std::unique_ptr<PositionSource> ownPositions_;
    std::unique_ptr<DatagramSender> ownDatagrams_;
    DialogPrompts* ownPrompts_ = nullptr;
    Prompts* prompts_ = nullptr;
    ExportProgressWindow* exporting_ = nullptr;
    std::unique_ptr<Session> session_;
    WindowPresenter presenter_{*this};
    std::function<void(int)> exitProcess_;
    int boxesShownBeforeExit_ = -1;  // -1: no Exit under way
    int stallsShown_ = 0;            // the session's stall count when last presented
    int stallBeeps_ = 0;

    QTimer timer55_;
    QTimer timer500_;
    QTimer timer1s_;

    QTabWidget* pages_ = nullptr;
    // Every page, shown or not, by its number; a hidden page's widget is kept here.
    std::array<QWidget*, kPageTotal> pageWidgets_{};
    std::array<QString, kPageTotal> pageTitles_;
    QPlainTextEdit* memo_ = nullptr;
    mutable bool memoHasLine_ = false;  // an empty first line leaves the document empty too
    mutable std::deque<std::string> pendingMemo_;  // received, not yet in the memo
    ChartWidget* chart_ = nullptr;
    ProfileWidget* profile_ = nullptr;
    MemoryFullWindow* memoryFull_ = nullptr;
    PortDialog* portDialog_ = nullptr;
    PowerUserPasswordDialog* passwordDialog_ = nullptr;
    std::array<QObject*, kControlCount> controls_{};
};

}  // namespace kivo
