#include "app/MainWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

#include "app/DialogPrompts.h"
#include "app/ExportProgressWindow.h"
#include "app/Panel.h"
#include "dialogs/MemoryFullWindow.h"
#include "dialogs/PortDialog.h"
#include "dialogs/PowerUserPasswordDialog.h"
#include "gps/GpsdSource.h"
#include "net/UdpSender.h"
#include "plot/ChartWidget.h"
#include "plot/ProfileWidget.h"
#include "serial/QtSerialPort.h"
#include "viewer/RecordingViewer.h"

namespace kivo {

namespace {

QColor ColourOf(Colour colour) {
    switch (colour) {
        case Colour::Yellow:
            return QColor(255, 255, 0);
        case Colour::Red:
            return QColor(255, 0, 0);
        case Colour::MenuFace:
            return QApplication::palette().color(QPalette::Window);
        case Colour::ButtonFace:
            break;
    }
    return QApplication::palette().color(QPalette::Button);
}

int PageOfControl(Control control) {
    switch (control) {
        case Control::TSSetup:
            return PageSetup;
        case Control::TSAdvanced:
            return PageAdvanced;
        case Control::TSFLSetup:
            return PageFLSetup;
        case Control::TSRaw:
            return PageRaw;
        case Control::TSPlot:
            return PagePlot;
        case Control::TabSheet1:
            return PageTransfer;
        default:
            return -1;
    }
}

}  // namespace

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent) : QMainWindow(parent) {
    setObjectName("Form1");
    // The design caption, dated like the one the first tick writes: a fixed text, not the
    // version the program prints.
    setWindowTitle("KIVO View  v1.16  11/20/03");
    resize(772, 591);

    // The three small windows come after the main window, hidden until asked for.
    memoryFull_ = new MemoryFullWindow(this);
    PortDialog::DeviceList devices = options.serialDevices;
    if (!devices) devices = [] { return MachineSerialDevices(); };
    portDialog_ = new PortDialog(this, std::move(devices));
    passwordDialog_ = new PowerUserPasswordDialog(this);
    for (QWidget* w : {static_cast<QWidget*>(memoryFull_), static_cast<QWidget*>(portDialog_),
                       static_cast<QWidget*>(passwordDialog_)})
        w->setAttribute(Qt::WA_QuitOnClose, false);

    BuildLayout();
    BuildMenu();
    CacheControls();

    SerialPort* port = options.port;
    if (port == nullptr) {
        ownPort_ = std::make_unique<QtSerialPort>();
        port = ownPort_.get();
    }
    Clock* clock = options.clock;
    if (clock == nullptr) {
        ownClock_ = std::make_unique<SystemClock>();
        clock = ownClock_.get();
    }
    PositionSource* positions = options.positions;
    if (positions == nullptr) {
        ownPositions_ = std::make_unique<GpsdSource>();
        positions = ownPositions_.get();
    }
    DatagramSender* datagrams = options.datagrams;
    if (datagrams == nullptr) {
        ownDatagrams_ = std::make_unique<UdpSender>();
        datagrams = ownDatagrams_.get();
    }
    Prompts* prompts = options.prompts;
    if (prompts == nullptr) {
        ownPrompts_ = new DialogPrompts(this);
        prompts = ownPrompts_;
    }
    prompts_ = prompts;
    exitProcess_ = options.exitProcess;
    if (!exitProcess_) exitProcess_ = [](int status) { QCoreApplication::exit(status); };

    session_ = std::make_unique<Session>(
        Seams{*port, *prompts, *clock, options.ports, [this](int status) { EndProcess(status); },
              options.settingsDirectory, true, positions, datagrams});
    session_->Recording().SetSoftware(
        ("KIVO View " + QCoreApplication::applicationVersion()).toStdString(),
        QCoreApplication::arguments().join(' ').toStdString());

    // The chart draws the session's chart model; it sits in the Plot Data page's frame.
    auto* chartArea = findChild<QFrame*>("ChartArea");
    chart_ = new ChartWidget(session_->Plot().Model(), chartArea);
    chart_->setObjectName("Chart1");
    chart_->SetFileGuard(session_->Files());
    chartArea->layout()->addWidget(chart_);
    profile_ = new ProfileWidget(session_->Plot().Profile(), session_->Plot().Model(), chartArea);
    profile_->hide();
    chartArea->layout()->addWidget(profile_);
    // Made after the page, the chart would come last in the tab order; it reads before the
    // selectors under it.
    QWidget* before = memo_;
    for (QWidget* tool : chart_->findChildren<QWidget*>()) {
        if ((tool->focusPolicy() & Qt::TabFocus) == 0) continue;
        QWidget::setTabOrder(before, tool);
        before = tool;
    }

    ConnectHandlers();

    ShowPortDevices();
    const QString eraseWarning =
        "Erases the meter's internal memory after asking: the question says how much logged "
        "data would be lost and whether it was downloaded completely; No is the default.";
    for (Control erase : {Control::BTErase, Control::BTErase2}) {
        auto* button = qobject_cast<QWidget*>(ControlObject(erase));
        button->setToolTip(eraseWarning);
        button->setAccessibleDescription(eraseWarning);
    }

    // The zone of the meter's clock is the operator's choice, kept with the port settings.
    auto* localClock = findChild<QCheckBox*>("CBClockLocalTime");
    localClock->setChecked(session_->MeterClocks().MeterClockLocal());
    connect(localClock, &QCheckBox::toggled, this, [this](bool local) {
        session_->MeterClocks().SetMeterClockLocal(local);
        Present();
    });

    timer55_.setInterval(55);
    timer500_.setInterval(500);
    timer1s_.setInterval(1000);
    connect(&timer55_, &QTimer::timeout, this, &MainWindow::Timer55msTimer);
    connect(&timer500_, &QTimer::timeout, this, &MainWindow::Timer500msTimer);
    connect(&timer1s_, &QTimer::timeout, this, &MainWindow::Timer1SecondTimer);
    if (options.startTimers) {
        timer55_.start();
        timer500_.start();
        timer1s_.start();
    }
}

MainWindow::~MainWindow() {
    timer55_.stop();
    timer500_.stop();
    timer1s_.stop();
    session_.reset();  // closes its files before the widgets it reports to go away
}

void MainWindow::CacheControls() {
    for (int i = 0; i < kControlCount; ++i) {
        const auto control = static_cast<Control>(i);
        const QString name = ControlName(control);
        QObject* found = findChild<QObject*>(name);
        controls_[i] = found;
        Q_ASSERT_X(found != nullptr, "MainWindow", qPrintable("missing control " + name));
    }
}

QObject* MainWindow::ControlObject(Control control) const {
    return controls_[static_cast<std::size_t>(control)];
}

// ---- the controls ---------------------------------------------------------------------

void MainWindow::Present() {
    if (session_) presenter_.Present(session_->Shown());
}

void MainWindow::Timer55msTimer() {
    session_->Timer55msTimer();
    Present();
    FlushMemo();
    chart_->Sync();  // one redraw a tick, however many points arrived
}

void MainWindow::Timer500msTimer() {
    session_->Timer500msTimer();
    Present();
    if (profile_->isVisibleTo(this)) profile_->Sync();
}

void MainWindow::ShowProfileView(bool on) {
    chart_->setVisible(!on);
    profile_->setVisible(on);
    SetVisible(Control::LBCast, on);
    SetChecked(Control::ProfileViewCheck, on);
    if (on) profile_->Sync();
}

void MainWindow::Timer1SecondTimer() {
    session_->Timer1SecondTimer();
    Present();
    PresentHostStatus();
}

void MainWindow::SetText(Control control, const std::string& text) {
    QObject* object = ControlObject(control);
    const QString value = QString::fromStdString(text);
    const int page = PageOfControl(control);
    if (page >= 0) {
        SetPageTitle(page, value);
    } else if (auto* fileName = qobject_cast<ElidedLabel*>(object)) {
        fileName->SetText(value);
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(value);
    } else if (auto* edit = qobject_cast<QLineEdit*>(object)) {
        edit->setText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(object)) {
        if (combo->isEditable()) combo->setEditText(value);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        action->setText(value);
    }
}

void MainWindow::SetVisible(Control control, bool visible) {
    QObject* object = ControlObject(control);
    const int page = PageOfControl(control);
    if (page >= 0) {
        SetPageVisible(page, visible);
    } else if (auto* widget = qobject_cast<QWidget*>(object)) {
        widget->setVisible(visible);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        action->setVisible(visible);
    }
}

void MainWindow::SetColour(Control control, Colour colour) {
    auto* widget = qobject_cast<QWidget*>(ControlObject(control));
    if (widget == nullptr) return;
    QPalette palette = widget->palette();
    const QColor value = ColourOf(colour);
    palette.setColor(QPalette::Window, value);
    palette.setColor(QPalette::Button, value);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void MainWindow::SetChecked(Control control, bool checked) {
    QObject* object = ControlObject(control);
    if (auto* action = qobject_cast<QAction*>(object)) {
        action->setChecked(checked);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setChecked(checked);
    }
}

void MainWindow::SetItemIndex(Control control, int index) {
    auto* combo = qobject_cast<QComboBox*>(ControlObject(control));
    if (combo == nullptr) return;
    const QSignalBlocker quiet(combo);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

std::string MainWindow::Text(Control control) const {
    QObject* object = ControlObject(control);
    const int page = PageOfControl(control);
    if (page >= 0) return PageTitle(page).toStdString();
    if (auto* label = qobject_cast<QLabel*>(object)) return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(object)) return button->text().toStdString();
    if (auto* edit = qobject_cast<QLineEdit*>(object)) return edit->text().toStdString();
    if (auto* combo = qobject_cast<QComboBox*>(object)) return combo->currentText().toStdString();
    if (auto* action = qobject_cast<QAction*>(object)) return action->text().toStdString();
    return {};
}

int MainWindow::ItemIndex(Control control) const {
    auto* combo = qobject_cast<QComboBox*>(ControlObject(control));
    return combo != nullptr ? combo->currentIndex() : -1;
}

bool MainWindow::IsChecked(Control control) const {
    QObject* object = ControlObject(control);
    if (auto* action = qobject_cast<QAction*>(object)) return action->isChecked();
    if (auto* button = qobject_cast<QAbstractButton*>(object)) return button->isChecked();
    return false;
}

void MainWindow::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void MainWindow::AppendMemoLine(const std::string& line) {
    pendingMemo_.push_back(line);
    // Lines the memo would drop at once are not kept for it.
    if (pendingMemo_.size() > kMemoLines) pendingMemo_.pop_front();
}

void MainWindow::FlushMemo() const {
    if (pendingMemo_.empty()) return;
    // Bytes from the meter are shown one for one, whatever they are.
    // Appended at the document's end without moving the view's cursor there, so the memo
    // stays scrolled to the lines' start; it follows the newest line down unless the operator
    // has scrolled up to read.
    QScrollBar* down = memo_->verticalScrollBar();
    const bool atBottom = down->value() >= down->maximum();
    QTextCursor end(memo_->document());
    end.beginEditBlock();
    end.movePosition(QTextCursor::End);
    for (const std::string& line : pendingMemo_) {
        if (!memo_->document()->isEmpty() || memoHasLine_) end.insertBlock();
        end.insertText(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
        memoHasLine_ = true;
    }
    end.endEditBlock();
    pendingMemo_.clear();
    if (atBottom) down->setValue(down->maximum());
}

// A hidden page is taken out of the tab widget, not only hidden: a hidden tab is still listed
// to assistive technology and its press action still brings the page to the front, which
// would open the power-user pages to any accessibility client.

int MainWindow::TabOfPage(int page) const {
    if (page < 0 || page >= PageCount()) return -1;
    return pages_->indexOf(pageWidgets_[static_cast<std::size_t>(page)]);
}

bool MainWindow::PageShown(int page) const { return TabOfPage(page) >= 0; }

QString MainWindow::PageTitle(int page) const {
    if (page < 0 || page >= PageCount()) return {};
    return pageTitles_[static_cast<std::size_t>(page)];
}

void MainWindow::SetPageTitle(int page, const QString& title) {
    if (page < 0 || page >= PageCount()) return;
    pageTitles_[static_cast<std::size_t>(page)] = title;
    const int tab = TabOfPage(page);
    if (tab >= 0) pages_->setTabText(tab, title);
}

// A hidden page cannot be brought to the front: it stays hidden.
void MainWindow::SetActivePage(int page) {
    const int tab = TabOfPage(page);
    if (tab >= 0) pages_->setCurrentIndex(tab);
}

int MainWindow::ActivePage() const {
    QWidget* const current = pages_->currentWidget();
    for (int page = 0; page < PageCount(); ++page) {
        if (pageWidgets_[static_cast<std::size_t>(page)] == current) return page;
    }
    return -1;
}

void MainWindow::SetPageVisible(int page, bool visible) {
    const int tab = TabOfPage(page);
    if (page < 0 || page >= PageCount() || (tab >= 0) == visible) return;
    QWidget* const widget = pageWidgets_[static_cast<std::size_t>(page)];
    // Disabled while hidden as well: its buttons stay out of reach of anything that still
    // finds the widget, and a shown page gets back the state each button had.
    if (!visible) {
        pages_->removeTab(tab);
        widget->hide();
        widget->setEnabled(false);
        return;
    }
    widget->setEnabled(true);
    // Back in its place among the pages shown.
    int position = 0;
    for (int before = 0; before < page; ++before) position += PageShown(before) ? 1 : 0;
    pages_->insertTab(position, widget, pageTitles_[static_cast<std::size_t>(page)]);
}

void MainWindow::ShowMemoryFullWindow() { memoryFull_->ShowInFront(); }

void MainWindow::SetPumpInterval(int milliseconds) { timer55_.setInterval(milliseconds); }

void MainWindow::ShowPasswordWindow() { passwordDialog_->ShowInFront(); }

void MainWindow::SetProgress(Control control, std::int64_t value, std::int64_t maximum) {
    auto* bar = qobject_cast<QProgressBar*>(ControlObject(control));
    if (bar == nullptr) return;
    // QProgressBar counts in int: show large files in kilobytes.
    const std::int64_t scale = maximum > (1LL << 30) ? 1024 : 1;
    bar->setRange(0, static_cast<int>(maximum / scale));
    bar->setValue(static_cast<int>(std::min(value, maximum > 0 ? maximum : value) / scale));
}

void MainWindow::PresentHostStatus() {
    const SessionStatus status = session_->Status();
    // As the raw and engineering-units names: the design's caption until there is a file.
    findChild<ElidedLabel*>("LBCsvFileName")
        ->SetText(status.csvFile.empty()
                      ? QString("CSV File:")
                      : QString::fromStdString("CSV File Name:  " + status.csvFile));
    findChild<QLabel*>("LBCsvFileSize")
        ->setText(QString("CSV File Size: %1 K").arg(status.csvBytes / 1024));

    auto* lastLine = findChild<QLabel*>("LBLastLine");
    QString text = "Last line:";
    if (status.stalled)
        text = QString("No data for %1 s").arg(static_cast<long long>(status.stallSeconds));
    else if (status.secondsSinceLastLine)
        text = QString("Last line: %1 s ago")
                   .arg(static_cast<long long>(*status.secondsSinceLastLine));
    lastLine->setText(text);
    QPalette palette = lastLine->palette();
    palette.setColor(QPalette::Window, status.stalled
                                           ? ColourOf(Colour::Red)
                                           : QApplication::palette().color(QPalette::Window));
    lastLine->setPalette(palette);
    lastLine->setAutoFillBackground(status.stalled);
    auto* gps = findChild<QLabel*>("LBGps");
    gps->setVisible(status.gps.has_value());
    if (status.gps) {
        gps->setText(QString::fromStdString(status.gps->text));
        QPalette gpsPalette = gps->palette();
        gpsPalette.setColor(QPalette::Window,
                            status.gps->warning ? ColourOf(Colour::Red)
                                                : QApplication::palette().color(QPalette::Window));
        gps->setPalette(gpsPalette);
        gps->setAutoFillBackground(status.gps->warning);
    }
    auto* disk = findChild<QLabel*>("LBDisk");
    disk->setVisible(!status.diskText.empty());
    disk->setText(QString::fromStdString(status.diskText));
    QPalette diskPalette = disk->palette();
    diskPalette.setColor(QPalette::Window, status.diskLow
                                               ? ColourOf(Colour::Red)
                                               : QApplication::palette().color(QPalette::Window));
    disk->setPalette(diskPalette);
    disk->setAutoFillBackground(status.diskLow);
    auto* quality = findChild<QLabel*>("LBQuality");
    quality->setVisible(!status.qualityProblems.empty());
    if (!status.qualityProblems.empty()) {
        QStringList problems;
        for (const std::string& problem : status.qualityProblems)
            problems << QString::fromStdString(problem);
        quality->setText("QC: " + problems.join(", "));
        QPalette qualityPalette = quality->palette();
        qualityPalette.setColor(QPalette::Window, ColourOf(Colour::Red));
        quality->setPalette(qualityPalette);
        quality->setAutoFillBackground(true);
    }
    if (status.stalls > stallsShown_) {
        QApplication::beep();
        ++stallBeeps_;
    }
    stallsShown_ = status.stalls;
}

// ---- handlers -----------------------------------------------------------------------

void MainWindow::PCOMPortClick() {
    Present();
    portDialog_->SetPorts(session_->Ports());
    portDialog_->ShowInFront();
}

void MainWindow::ShowPortDevices() {
    auto* portList = qobject_cast<QComboBox*>(ControlObject(Control::CBHostPort));
    for (int n = 1; n <= ComPortMap::kPorts; ++n)
        portList->setItemData(n, QString::fromStdString(session_->Ports().PathOf(n)),
                              Qt::ToolTipRole);
}

void MainWindow::OpenRecordingClick() {
    OpenRecordingViewer(this, *prompts_, LoadedDevice(*session_), std::string(),
                        &session_->Files());
}

void MainWindow::ExportRecordingClick() {
    if (exporting_ != nullptr && exporting_->Running()) {  // one at a time
        exporting_->show();
        exporting_->raise();
        return;
    }
    const SharedState& state = session_->State();
    if (state.DevicePath.empty()) {
        prompts_->ShowWarning("**** Device File Warning ****",
                              "Load a Device File before exporting a recording");
        return;
    }
    const std::optional<std::string> raw = prompts_->OpenFileName(
        {"Export Recording: Raw File", "Raw Files (*.raw)|*.raw|All Files (*.*)|*.*", "raw"});
    if (!raw) return;
    const std::optional<std::string> output = prompts_->SaveFileName(
        {"Export Recording: Save As", "CSV Files (*.csv)|*.csv|NetCDF Files (*.nc)|*.nc", "csv"});
    if (!output) return;
    const QFileInfo target(QString::fromStdString(*output));
    // The raw file, the device file and every file the session has open or loaded are never
    // the export's target: a rename over a live recording would leave it writing to nothing.
    FileRegistry::Registration reading = session_->Files().Register(*raw, roles::kExportInput);
    OutputFile staged =
        OutputFile::Open(&session_->Files(), *output, roles::kExport, OutputMode::Staged);
    if (!staged.Ok()) {
        session_->LogEvent("warning File Error: " + staged.Error());
        prompts_->ShowWarning("File Error", staged.Error());
        return;
    }
    ExportJob job;
    job.rawPath = *raw;
    job.outputPath = *output;
    job.format = target.suffix().compare("nc", Qt::CaseInsensitive) == 0 ? ExportFormat::Netcdf
                                                                         : ExportFormat::Csv;
    job.calibration = session_->Calibration();
    job.deviceName =
        QFileInfo(QString::fromStdString(state.DevicePath)).completeBaseName().toStdString();
    job.options = {state.alternateCommands, state.RefChannelCorrection != 0,
                   state.TempCorrection != 0};
    job.software = ("KIVO View " + QCoreApplication::applicationVersion()).toStdString();
    // The zone the meter was set in, its identification, the device file and its digest.
    job.facts = session_->Recording().ExportFacts();
    job.metadataPath = session_->Recording().MetadataPath();
    delete exporting_;  // the last one, finished
    exporting_ = new ExportProgressWindow(std::move(job), std::move(staged), std::move(reading),
                                          *prompts_, this);
    exporting_->show();
}

void MainWindow::OnClick(Control control, std::function<void()> handler) {
    QObject* object = ControlObject(control);
    auto run = [this, handler = std::move(handler)] {
        handler();
        Present();
    };
    if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        connect(button, &QAbstractButton::clicked, this, run);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        // The session owns check marks: undo Qt's own toggle before the handler runs.
        connect(action, &QAction::triggered, this, [action, run](bool checked) {
            if (action->isCheckable()) {
                const QSignalBlocker quiet(action);
                action->setChecked(!checked);
            }
            run();
        });
    } else if (auto* panel = qobject_cast<Panel*>(object)) {
        connect(panel, &Panel::clicked, this, run);
    }
}

void MainWindow::Exit1Click() {
    boxesShownBeforeExit_ = ownPrompts_ != nullptr ? ownPrompts_->ShownBoxCount() : 0;
    session_->Exit();
}

void MainWindow::EndProcess(int status) {
    const bool toldOnTheWay = ownPrompts_ != nullptr && boxesShownBeforeExit_ >= 0 &&
                              ownPrompts_->ShownBoxCount() > boxesShownBeforeExit_ &&
                              ownPrompts_->OpenBoxCount() > 0;
    if (!toldOnTheWay) {
        exitProcess_(status);
        return;
    }
    // The exit itself told the operator something (settings it could not save): the window
    // stays until that box is read. The session has closed its files; nothing runs meanwhile.
    timer55_.stop();
    timer500_.stop();
    timer1s_.stop();
    centralWidget()->setEnabled(false);
    menuBar()->setEnabled(false);
    connect(
        ownPrompts_, &DialogPrompts::AllBoxesClosed, this, [this, status] { exitProcess_(status); },
        Qt::SingleShotConnection);
}

void MainWindow::ConnectSelector(QComboBox* combo) {
    // A choice from the list, or typed text: both are a change of the selector. Setting
    // an index from the program raises nothing.
    const auto change = [this] {
        const int portItem = ItemIndex(Control::CBHostPort);
        const int baudItem = ItemIndex(Control::CBBaudRate);
        presenter_.PortSelectorsChanged(portItem, baudItem);
        session_->Port().SelectHostPort(portItem, baudItem);
        Present();
    };
    connect(combo, &QComboBox::activated, this, change);
    if (QLineEdit* edit = combo->lineEdit()) {
        connect(edit, &QLineEdit::textEdited, this, [combo, change](const QString& typed) {
            const int match = combo->findText(typed, Qt::MatchExactly);
            {
                const QSignalBlocker quiet(combo);
                combo->setCurrentIndex(match);
                if (match < 0) combo->setEditText(typed);
            }
            change();
        });
    }
}

void MainWindow::ConnectHandlers() {
    ConnectSelector(qobject_cast<QComboBox*>(ControlObject(Control::CBHostPort)));
    ConnectSelector(qobject_cast<QComboBox*>(ControlObject(Control::CBBaudRate)));
    connect(qobject_cast<Panel*>(ControlObject(Control::PCOMPort)), &Panel::clicked, this,
            &MainWindow::PCOMPortClick);
    // The device is mapped before the port opens, so the choice opens that device.
    connect(portDialog_, &PortDialog::DeviceChosen, this, [this](int port, const QString& path) {
        session_->MapPort(port, path.toStdString());
        ShowPortDevices();
    });
    connect(portDialog_, &PortDialog::Chosen, this, [this](int port, int baud) {
        session_->Port().SelectHostPort(port, baud);
        Present();
    });
    // The CSV recording's file shows as soon as it starts or stops, not at the next second.
    connect(findChild<QPushButton*>("BTRecordCsv"), &QPushButton::clicked, this, [this] {
        session_->Recording().RecordCsv();
        Present();
        PresentHostStatus();
    });
    connect(passwordDialog_, &PowerUserPasswordDialog::Entered, this, [this](const QString& entry) {
        session_->Meter().EnterPassword(entry.toStdString());
        Present();
    });
    Session& s = *session_;
    // Each selector tells its new item.
    const std::initializer_list<std::pair<Control, void (LiveChart::*)(int)>> choices = {
        {Control::PlotTypeCB, &LiveChart::ChoosePlotType},
        {Control::BBPlotCB, &LiveChart::ChooseScattering},
        {Control::StdDevCB, &LiveChart::ChooseStatistic},
        {Control::iTempCB, &LiveChart::ChooseInternalTemperature},
        {Control::xTempCB, &LiveChart::ChooseExternalTemperature},
        {Control::PresCB, &LiveChart::ChoosePressure},
    };
    for (const auto& [control, handler] : choices) {
        connect(qobject_cast<QComboBox*>(ControlObject(control)), &QComboBox::activated, this,
                [this, handler = handler](int item) {
                    (session_->Plot().*handler)(item);
                    Present();
                });
    }
    connect(qobject_cast<QAction*>(ControlObject(Control::Exit1)), &QAction::triggered, this,
            &MainWindow::Exit1Click);
    using Plain = void (Session::*)();
    const std::initializer_list<std::pair<Control, Plain>> clicks = {
        {Control::BTStartData, &Session::BTStartClick},
        {Control::BTStopData, &Session::BTStopClick},
        {Control::BitBtnCancel, &Session::BitBtnCancelClick},
        {Control::LoadDeviceFile, &Session::LoadDeviceFileClick},
        {Control::PMeterType, &Session::LoadDeviceFileClick},
        {Control::ReplayRawFile, &Session::ReplayRawFileClick},
        {Control::RealTimeData, &Session::RealTimeDataClick},
        {Control::BTGetData, &Session::BTGetDataClick},
        {Control::ProfileViewCheck, &Session::ToggleProfileView},
    };
    for (const auto& [control, handler] : clicks)
        OnClick(control, [&s, handler = handler] { (s.*handler)(); });
    RecordingKeeper& recording = s.Recording();
    using RecordCommand = void (RecordingKeeper::*)();
    const std::initializer_list<std::pair<Control, RecordCommand>> records = {
        {Control::BTRecordRaw, &RecordingKeeper::RecordRaw},
        {Control::BTRecordEngr, &RecordingKeeper::RecordEngr},
        {Control::BTStopRecord, &RecordingKeeper::StopAll},
    };
    for (const auto& [control, command] : records)
        OnClick(control, [&recording, command = command] { (recording.*command)(); });
    MeterCommander& meter = s.Meter();
    using MeterCommand = void (MeterCommander::*)();
    const std::initializer_list<std::pair<Control, MeterCommand>> commands = {
        {Control::EarlyCommands, &MeterCommander::ToggleAlternateCommands},
        {Control::MenuAdvancedSetup, &MeterCommander::ToggleAdvancedSetup},
        {Control::BTGetSetup1, &MeterCommander::AskSetup},
        {Control::BTGetDandT, &MeterCommander::AskDateAndTime},
        {Control::BTLogging, &MeterCommander::ToggleLogging},
        {Control::BTErase, &MeterCommander::EraseMemory},
        {Control::BTErase2, &MeterCommander::EraseMemory},
        {Control::BTSetDandTPC, &MeterCommander::SetMeterClock},
        {Control::BTSetTime, &MeterCommander::SetMeterTime},
        {Control::BTOpen, &MeterCommander::OpenShutter},
        {Control::BTClose, &MeterCommander::CloseShutter},
        {Control::BTStoreToFlash1, &MeterCommander::StoreSetup},
        {Control::BTStoreSetup, &MeterCommander::StoreSetup},
        {Control::BTStoreToFlash2, &MeterCommander::StoreSetup},
        {Control::BTGetTiming, &MeterCommander::AskTimings},
        {Control::BTGetSetup2, &MeterCommander::AskFlSetup},
        {Control::BTTimingSwap, &MeterCommander::SwapTimings},
        {Control::BTOne, &MeterCommander::MeasureOnce},
        {Control::BTCal, &MeterCommander::ToggleEngrOutput},
        {Control::PowerUserPanel, &MeterCommander::TogglePowerUser},
    };
    for (const auto& [control, command] : commands)
        OnClick(control, [&meter, command = command] { (meter.*command)(); });
    // Buttons that send what the operator typed beside them.
    using Entry = void (MeterCommander::*)(const std::string&);
    const std::initializer_list<std::tuple<Control, Entry, Control>> entries = {
        {Control::BTAverage, &MeterCommander::SetAverage, Control::MEAverage},
        {Control::BTPacket, &MeterCommander::SetSampleCount, Control::MEPacket},
        {Control::BTSample, &MeterCommander::SetCycleCount, Control::MESample},
        {Control::BTInterval, &MeterCommander::SetCycleInterval, Control::TimeInterval},
        {Control::BTph1onTime, &MeterCommander::SetPh1OnTime, Control::MEph1onTime},
        {Control::BTph1offTime, &MeterCommander::SetPh1OffTime, Control::MEph1offTime},
        {Control::BTph11onTime, &MeterCommander::SetPh11OnTime, Control::MEph11onTime},
        {Control::BTph11offTime, &MeterCommander::SetPh11OffTime, Control::MEph11offTime},
        {Control::BTHexDump, &MeterCommander::HexDump, Control::MEHexDump},
        {Control::BTflscale, &MeterCommander::SetEngrScale, Control::MEflscale},
        {Control::BTfloffset, &MeterCommander::SetEngrOffset, Control::MEfloffset},
    };
    for (const auto& [control, command, edit] : entries) {
        OnClick(control,
                [this, &meter, command = command, edit = edit] { (meter.*command)(Text(edit)); });
    }
    OnClick(Control::BTAnalogRange2,
            [this, &meter] { meter.SetAnalogRange(ItemIndex(Control::CBAnalogRange)); });
    for (Control reload : {Control::BTReloadSetup1, Control::BTReload, Control::Button22}) {
        OnClick(reload, [this, &meter] { meter.ReloadStoredSetup(ActivePage() == PageAdvanced); });
    }
    // After the session's own handler: the CSV recording has stopped by then.
    connect(qobject_cast<QAbstractButton*>(ControlObject(Control::BTStopRecord)),
            &QAbstractButton::clicked, this, &MainWindow::PresentHostStatus);
}

}  // namespace kivo
