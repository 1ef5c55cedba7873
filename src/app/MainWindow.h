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

#include "core/host/ComPortMap.h"
#include "core/host/Session.h"
#include "core/seams/Controls.h"
#include "core/seams/View.h"
#include "dialogs/PortDialog.h"

class QComboBox;
class QPlainTextEdit;
class QTabWidget;

namespace kivo {

class ChartWidget;
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
};

// The main window: its controls, its three timers, and the binding of every control event
// to the session's handler of the same name.
class MainWindow final : public QMainWindow, public View {
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
    static constexpr int PageCount() { return static_cast<int>(kPageCount); }
    bool PageShown(int page) const;
    QString PageTitle(int page) const;
    static constexpr std::size_t kMemoLines = 501;  // the memo keeps the newest lines only

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

    // View
    void SetText(Control control, const std::string& text) override;
    void SetVisible(Control control, bool visible) override;
    void SetColour(Control control, Colour colour) override;
    void SetChecked(Control control, bool checked) override;
    void SetItemIndex(Control control, int index) override;
    std::string Text(Control control) const override;
    int ItemIndex(Control control) const override;
    bool IsChecked(Control control) const override;
    void SetCaption(const std::string& caption) override;
    void AppendMemoLine(const std::string& line) override;
    void SetActivePage(int page) override;
    int ActivePage() const override;
    void SetPageVisible(int page, bool visible) override;
    int TabOfPage(int page) const;
    void SetPageTitle(int page, const QString& title);
    void ShowMemoryFullWindow() override;
    void SetPumpInterval(int milliseconds) override;
    void ShowPasswordWindow() override;
    void SetProgress(Control control, std::int64_t value, std::int64_t maximum) override;

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
    void OnClick(Control control, void (Session::*handler)());
    void Exit1Click();
    void EndProcess(int status);
    // Each port item's tooltip: the device its COM number stands for now.
    void ShowPortDevices();

    std::unique_ptr<SerialPort> ownPort_;
    std::unique_ptr<Clock> ownClock_;
    DialogPrompts* ownPrompts_ = nullptr;
    Prompts* prompts_ = nullptr;
    ExportProgressWindow* exporting_ = nullptr;
    std::unique_ptr<Session> session_;
    std::function<void(int)> exitProcess_;
    int boxesShownBeforeExit_ = -1;  // -1: no Exit under way
    int stallsShown_ = 0;            // the session's stall count when last presented
    int stallBeeps_ = 0;

    QTimer timer55_;
    QTimer timer500_;
    QTimer timer1s_;

    QTabWidget* pages_ = nullptr;
    static constexpr std::size_t kPageCount = 6;
    // Every page, shown or not, by its number; a hidden page's widget is kept here.
    std::array<QWidget*, kPageCount> pageWidgets_{};
    std::array<QString, kPageCount> pageTitles_;
    QPlainTextEdit* memo_ = nullptr;
    mutable bool memoHasLine_ = false;  // an empty first line leaves the document empty too
    mutable std::deque<std::string> pendingMemo_;  // received, not yet in the memo
    ChartWidget* chart_ = nullptr;
    MemoryFullWindow* memoryFull_ = nullptr;
    PortDialog* portDialog_ = nullptr;
    PowerUserPasswordDialog* passwordDialog_ = nullptr;
    std::array<QObject*, kControlCount> controls_{};
};

}  // namespace kivo
