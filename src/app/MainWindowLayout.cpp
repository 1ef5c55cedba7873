// The main window's controls, placed as the operator knows them. Every control carries its
// name as its object name, so the session and the tests find it by that name.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <initializer_list>
#include <tuple>
#include <type_traits>
#include <utility>

#include "app/MainWindow.h"
#include "app/Panel.h"
#include "dialogs/BaudRateItems.h"

namespace kivo {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QLabel* Label(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// A file name: shortened in the middle to the room it has, the whole path in its tooltip.
ElidedLabel* FileLabel(QWidget* parent, const char* name, const char* text) {
    auto* label = new ElidedLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// A value that changes as data comes, with room kept for its widest usual text.
ReservedLabel* ValueLabel(QWidget* parent, const char* name, const char* text, const char* widest) {
    auto* label = new ReservedLabel(text, widest, parent);
    label->setObjectName(name);
    return label;
}

// An edit box, named for a screen reader by the caption of the button that sends it.
QLineEdit* Edit(QWidget* parent, const char* name, const char* text, const char* sentBy) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setAccessibleName(sentBy);
    // Wide enough for the longest value ("0.0001", "HHMMSS"), no wider than it needs.
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(9, '0')));
    return edit;
}

QComboBox* Combo(QWidget* parent, const char* name, const QString& spokenName,
                 const QStringList& items, bool editable) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setAccessibleName(spokenName);
    combo->addItems(items);
    combo->setEditable(editable);
    if (editable) {
        combo->setInsertPolicy(QComboBox::NoInsert);
        // The text field inside is what a screen reader lands on: it is named too.
        combo->lineEdit()->setAccessibleName(spokenName);
    }
    return combo;
}

// A yellow prompt. Those that lead somewhere are panels a click, a key or a screen reader
// can press; "Setup Not Stored" only tells.
template <class Kind>
Kind* PromptPanel(QWidget* parent, const char* name, const char* caption) {
    auto* panel = new Kind(caption, parent);
    panel->setObjectName(name);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    QPalette yellow = panel->palette();
    yellow.setColor(QPalette::Window, QColor(255, 255, 0));
    yellow.setColor(QPalette::WindowText, QColor(0, 0, 0));
    panel->setPalette(yellow);
    QFont font = panel->font();
    font.setBold(true);
    font.setPixelSize(16);
    panel->setFont(font);
    panel->setMinimumHeight(28);
    panel->setMargin(3);  // the caption off the raised edge, and room for the focus mark
    if constexpr (std::is_same_v<Kind, Panel>) panel->setCursor(Qt::PointingHandCursor);
    return panel;
}

void SetBoldPixels(QWidget* widget, int pixels) {
    QFont font = widget->font();
    font.setBold(true);
    font.setPixelSize(pixels);
    widget->setFont(font);
}

QLabel* Heading(QWidget* parent, const char* name, const char* text) {
    QLabel* label = Label(parent, name, text);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// A "settings to change" row: edit box and the button that sends it.
void EditRow(QGridLayout* grid, int row, QWidget* parent, const char* edit, const char* text,
             const char* button, const char* caption) {
    grid->addWidget(Edit(parent, edit, text, caption), row, 0);
    grid->addWidget(Button(parent, button, caption), row, 1);
}

}  // namespace

void MainWindow::BuildLayout() {
    auto* central = new QWidget(this);
    central->setObjectName("Central");
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);

    auto* status = new QGridLayout;
    BuildStatusArea(status);
    outer->addLayout(status);

    auto* body = new QHBoxLayout;
    auto* column = new QVBoxLayout;
    BuildLeftColumn(column);
    body->addLayout(column);

    pages_ = new QTabWidget(central);
    pages_->setObjectName("PageControl1");
    pageWidgets_ = {BuildSetupPage(), BuildAdvancedPage(), BuildFLSetupPage(),
                    BuildRawPage(),   BuildPlotPage(),     BuildTransferPage()};
    pageTitles_ = {"Meter Setup", "Advanced Setup", "FL-Setup",
                   "Raw Data",    "Plot Data",      "Transfer Data"};
    for (std::size_t page = 0; page < kPageTotal; ++page)
        pages_->addTab(pageWidgets_[page], pageTitles_[page]);
    // Until a previous run is restored the operator first wants to see what the meter says.
    pages_->setCurrentIndex(PageRaw);
    body->addWidget(pages_, 1);
    outer->addLayout(body, 1);
}

void MainWindow::BuildStatusArea(QGridLayout* grid) {
    QWidget* parent = centralWidget();
    auto* clocks = new QGroupBox(parent);
    clocks->setObjectName("ClockBox");
    auto* clockColumn = new QVBoxLayout(clocks);
    clockColumn->addWidget(ValueLabel(clocks, "LBHostDandT", "Host:  MM/DD/YY HH:MM:SS",
                                      "Host:  12/31/26  23:59:59 AKDT"));
    clockColumn->addWidget(Label(clocks, "LBKIVODandT", "KIVO:  MM/DD/YY HH:MM:SS"));
    QLabel* offset =
        ValueLabel(clocks, "LBClockOffset", "Clock Offset:", "Clock Offset: -9999999999 s");
    offset->setToolTip(
        "The meter's clock minus the computer's, in seconds, as the meter last "
        "told its date and time");
    clockColumn->addWidget(offset);
    clockColumn->addWidget(ValueLabel(clocks, "LBHz1", "Sample Rate:", "Sample Rate: 999.99 Hz"));
    // The cast and its phase, while the Plot Data page shows the profile.
    QLabel* cast = ValueLabel(clocks, "LBCast", "", "Cast 999 \u00b7 bottom \u00b7 9999.9 dbar");
    cast->setAccessibleName("Cast");
    cast->hide();
    clockColumn->addWidget(cast);

    auto* files = new QGroupBox(parent);
    files->setObjectName("FileBox");
    auto* fileColumn = new QGridLayout(files);
    fileColumn->setVerticalSpacing(1);
    fileColumn->addWidget(
        ValueLabel(files, "LBRecordStatus", "Recording:  OFF", "Recording:  Raw + Engr Units"), 0,
        0);
    fileColumn->addWidget(FileLabel(files, "LBRawFileName", "Raw File:"), 1, 0);
    fileColumn->addWidget(
        ValueLabel(files, "LBRawFileSize", "Raw File Size:", "Raw File Size: 9999999 K"), 2, 0);
    fileColumn->addWidget(FileLabel(files, "LBDeviceFile", "Device File:"), 0, 1);
    fileColumn->addWidget(FileLabel(files, "LBEngrFileName", "Engr Units File:"), 1, 1);
    fileColumn->addWidget(ValueLabel(files, "LBEngrFileSize",
                                     "Engr Units File Size:", "Engr Units File Size: 9999999 K"),
                          2, 1);
    // The CSV recording with the host's receive time, and how long the meter has been
    // silent: both kept by the window from the session's status.
    fileColumn->addWidget(FileLabel(files, "LBCsvFileName", "CSV File:"), 3, 0);
    fileColumn->addWidget(
        ValueLabel(files, "LBCsvFileSize", "CSV File Size:", "CSV File Size: 9999999 K"), 3, 1);
    ReservedLabel* lastLine =
        ValueLabel(files, "LBLastLine", "Last line:", "Last line: 999999 s ago");
    lastLine->setAccessibleName("Last data line");
    fileColumn->addWidget(lastLine, 4, 0);
    // Shown while the GPS is on; red when its fix is old or lost.
    ReservedLabel* gps = ValueLabel(files, "LBGps", "",
                                    "GPS 99\u00b099.999\u2032N 999\u00b099.999\u2032W \u00b7 3D");
    gps->setAccessibleName("GPS position");
    gps->setVisible(false);
    fileColumn->addWidget(gps, 4, 1);
    // Shown while a channel is saturated or flat-lined, in red.
    ReservedLabel* quality =
        ValueLabel(files, "LBQuality", "", "QC: 999 nm saturated, 999 nm saturated");
    quality->setAccessibleName("Quality warnings");
    quality->setVisible(false);
    fileColumn->addWidget(quality, 5, 1);
    // While recording: how long the free space lasts at the current rate; red when short.
    ReservedLabel* disk = ValueLabel(files, "LBDisk", "", "Disk: 99999 min left");
    disk->setAccessibleName("Disk space left");
    disk->setVisible(false);
    fileColumn->addWidget(disk, 5, 0);
    // The two columns share the room: a file name gets what is left, never more.
    fileColumn->setColumnStretch(0, 1);
    fileColumn->setColumnStretch(1, 1);

    auto* prompts = new QVBoxLayout;
    QLabel* store = PromptPanel<QLabel>(parent, "PStore", "Setup Not Stored");
    store->hide();
    prompts->addWidget(store);
    Panel* port = PromptPanel<Panel>(parent, "PCOMPort", "Select COM Port");
    port->setAccessibleDescription("Choose the host port and its speed");
    prompts->addWidget(port);
    Panel* device = PromptPanel<Panel>(parent, "PMeterType", "Select Device File");
    device->setAccessibleDescription("Load the meter's device file");
    prompts->addWidget(device);
    prompts->addStretch(1);

    grid->addWidget(clocks, 0, 0);
    grid->addWidget(files, 0, 1);
    grid->addLayout(prompts, 0, 2);
    grid->setColumnStretch(1, 1);
}

void MainWindow::BuildLeftColumn(QVBoxLayout* column) {
    QWidget* parent = centralWidget();
    QPushButton* stop = Button(parent, "BTStopData", "Stop Data");
    QPushButton* start = Button(parent, "BTStartData", "Start Data");
    for (QPushButton* b : {stop, start}) {
        SetBoldPixels(b, 15);
        b->setMinimumHeight(36);
        column->addWidget(b);
    }
    column->addSpacing(10);
    for (auto [name, caption] :
         {std::pair{"BTRecordRaw", "Record  Raw"}, std::pair{"BTRecordEngr", "Record Engr"},
          std::pair{"BTRecordCsv", "Record CSV"}, std::pair{"BTStopRecord", "Stop Record"}}) {
        QPushButton* b = Button(parent, name, caption);
        SetBoldPixels(b, 13);
        b->setMinimumHeight(30);
        column->addWidget(b);
    }
    column->addSpacing(10);
    column->addWidget(ValueLabel(parent, "LBTotalIn", "Bytes Read:", "Bytes Read: 999999999"));
    auto* replay = new QProgressBar(parent);
    replay->setObjectName("ReplayProgress");
    replay->setFormat("Replay %p%");
    replay->setToolTip("Position in the raw file being replayed");
    replay->hide();
    column->addWidget(replay);
    column->addStretch(1);
    auto* portBox = new QGroupBox(parent);
    portBox->setObjectName("PortBox");
    auto* portColumn = new QVBoxLayout(portBox);
    QLabel* title = Label(portBox, "Label4", "    Host Port Selection    ");
    title->setAlignment(Qt::AlignCenter);
    portColumn->addWidget(title);
    QComboBox* port = Combo(portBox, "CBHostPort", "Host Port",
                            {"Select Host Port", "Host Port - COM 1", "Host Port - COM 2",
                             "Host Port - COM 3", "Host Port - COM 4", "Host Port - COM 5",
                             "Host Port - COM 6", "Host Port - COM 7", "Host Port - COM 8"},
                            true);
    port->setCurrentIndex(-1);
    port->setEditText("Select Host Port");
    QComboBox* baud = Combo(portBox, "CBBaudRate", "Baud Rate", BaudRateItems(), true);
    baud->setCurrentIndex(-1);
    baud->setEditText(BaudRateItem(kDefaultBaudItem));
    portColumn->addWidget(port);
    portColumn->addWidget(baud);
    column->addWidget(portBox);
}

QWidget* MainWindow::BuildSetupPage() {
    auto* page = new QWidget;
    page->setObjectName("TSSetup");
    auto* row = new QHBoxLayout(page);

    auto* change = new QGroupBox(page);
    change->setObjectName("SetupChangeBox");
    auto* grid = new QGridLayout(change);
    grid->addWidget(Heading(change, "Label1", "  Settings To  "), 0, 0, 1, 2);
    grid->addWidget(Heading(change, "Label2", "Change"), 1, 0, 1, 2);
    EditRow(grid, 2, change, "MEAverage", "30", "BTAverage", "Set Avg / Data Rate");
    EditRow(grid, 3, change, "MEPacket", "0", "BTPacket", "Set Number of Samples");
    EditRow(grid, 4, change, "MESample", "1", "BTSample", "Set Number of Cycles");
    EditRow(grid, 5, change, "TimeInterval", "HHMMSS", "BTInterval", "Set Cycle Interval");
    grid->addWidget(Button(change, "BTSetDandTPC", "Set Date and Time"), 6, 0, 1, 2);
    QPushButton* setTime = Button(change, "BTSetTime", "Set Time");
    setTime->hide();
    grid->addWidget(setTime, 7, 0, 1, 2);
    grid->addWidget(Button(change, "BTOpen", "Open Shutter"), 8, 0);
    grid->addWidget(Button(change, "BTClose", "Close Shutter"), 8, 1);
    grid->addWidget(Button(change, "BTStoreToFlash1", "Store To Flash"), 9, 0);
    grid->addWidget(Button(change, "BTReloadSetup1", "Reload Flash Setup"), 9, 1);
    auto* localClock = new QCheckBox("Set Meter Clock in Local Time", change);
    localClock->setObjectName("CBClockLocalTime");
    localClock->setToolTip(
        "Off (the default): Set Date and Time sets the meter to the computer's UTC clock, as "
        "ship and mooring data are kept. On: to the computer's local time.");
    grid->addWidget(localClock, 10, 0, 1, 2);
    grid->setRowStretch(11, 1);

    auto* current = new QGroupBox(page);
    current->setObjectName("SetupCurrentBox");
    auto* list = new QVBoxLayout(current);
    list->addWidget(Heading(current, "Label3", "Current"));
    list->addWidget(Heading(current, "Label5", "  Ram Settings  "));
    for (auto [name, text, widest] :
         {std::tuple{"LBAVE", "Avg:", "Average: 99999"},
          std::tuple{"LBNS", "Number of Samples:", "Number of Sample: 99999"},
          std::tuple{"LBNC", "Number of Cycles:", "Number of Cycles: 99999"},
          std::tuple{"LBCI", "Cycle Interval:", "Cycle Interval: 000000"},
          std::tuple{"LBLog", "Logging:", "Logging: OFF"},
          std::tuple{"LBHz2", "Sample Rate:", "Sample Rate: 999.99 Hz"}})
        list->addWidget(ValueLabel(current, name, text, widest));
    list->addWidget(Button(current, "BTGetSetup1", "Get RAM Setup"));
    list->addWidget(Button(current, "BTGetDandT", "Get Date/Time/Setup"));
    list->addStretch(1);

    auto* log = new QGroupBox(page);
    log->setObjectName("SetupLogBox");
    auto* logList = new QVBoxLayout(log);
    logList->addWidget(Heading(log, "Label6", "Internal Log:"));
    logList->addWidget(ValueLabel(log, "LBStorageUsed", "Used:  ", "Used:  1055 K  100.0 %"));
    logList->addWidget(ValueLabel(log, "LBStorageFree", "Free:  ", "Free:  1055 K  100.0 %"));
    logList->addWidget(Button(log, "BTLogging", "Turn Logging On"));
    logList->addWidget(Button(log, "BTErase", "Erase Memory"));
    logList->addStretch(1);

    row->addWidget(change);
    row->addWidget(current, 1);
    row->addWidget(log);
    return page;
}

QWidget* MainWindow::BuildAdvancedPage() {
    auto* page = new QWidget;
    page->setObjectName("TSAdvanced");
    auto* row = new QHBoxLayout(page);

    auto* change = new QGroupBox(page);
    change->setObjectName("TimingChangeBox");
    auto* grid = new QGridLayout(change);
    grid->addWidget(Heading(change, "Label13", "  Settings To  "), 0, 0, 1, 2);
    grid->addWidget(Heading(change, "Label14", "Change"), 1, 0, 1, 2);
    EditRow(grid, 2, change, "MEph1onTime", "5", "BTph1onTime", "ph1 onTime");
    EditRow(grid, 3, change, "MEph1offTime", "5", "BTph1offTime", "ph1 offTime");
    EditRow(grid, 4, change, "MEph11onTime", "5", "BTph11onTime", "ph11 onTime");
    EditRow(grid, 5, change, "MEph11offTime", "5", "BTph11offTime", "ph11 offTime");
    grid->addWidget(Button(change, "BTTimingSwap", "Timing Swap"), 6, 0, 1, 2);
    grid->addWidget(Button(change, "BTOne", "Take One Measurment"), 7, 0, 1, 2);
    EditRow(grid, 8, change, "MEHexDump", "1", "BTHexDump", "Hex Dump");
    grid->setRowStretch(9, 1);

    auto* current = new QGroupBox(page);
    current->setObjectName("TimingCurrentBox");
    auto* list = new QGridLayout(current);
    list->addWidget(Heading(current, "Label15", "Current"), 0, 0, 1, 2);
    list->addWidget(Heading(current, "Label16", "  RAM Settings  "), 1, 0, 1, 2);
    int r = 2;
    for (auto [caption, name] :
         {std::pair{"ph1 onTime", "LBph1onTime"}, std::pair{"ph1 offTime", "LBph1offTime"},
          std::pair{"ph11 onTime", "LBph11onTime"}, std::pair{"ph11 offTime", "LBph11offTime"}}) {
        list->addWidget(new QLabel(caption, current), r, 0);
        list->addWidget(Label(current, name, ":"), r, 1);
        ++r;
    }
    list->addWidget(Button(current, "BTGetTiming", "Get Timing Values"), r++, 0, 1, 2);
    list->setRowStretch(r, 1);

    auto* user = new QGroupBox(page);
    user->setObjectName("PowerUserBox");
    auto* userList = new QVBoxLayout(user);
    auto* panel = new Panel("Normal User", user);
    panel->setObjectName("PowerUserPanel");
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setMinimumHeight(32);
    panel->setCursor(Qt::PointingHandCursor);
    panel->setAccessibleDescription("Enter the power-user password");
    userList->addWidget(panel);
    userList->addWidget(Button(user, "BTStoreSetup", "Store To Flash"));
    userList->addWidget(Button(user, "BTReload", "Reload Flash Setup"));
    userList->addStretch(1);

    row->addWidget(change);
    row->addWidget(current, 1);
    row->addWidget(user);
    return page;
}

QWidget* MainWindow::BuildFLSetupPage() {
    auto* page = new QWidget;
    page->setObjectName("TSFLSetup");
    auto* row = new QHBoxLayout(page);

    auto* change = new QGroupBox(page);
    change->setObjectName("FLChangeBox");
    auto* grid = new QGridLayout(change);
    grid->addWidget(Heading(change, "Label33", "  Settings To  "), 0, 0, 1, 2);
    grid->addWidget(Heading(change, "Label32", "Change"), 1, 0, 1, 2);
    grid->addWidget(Combo(change, "CBAnalogRange", "Set Analog Range",
                          {"ASV1:  Hi Res", "ASV2:  Std Res", "ASV4:  Wide Range"}, false),
                    2, 0);
    grid->addWidget(Button(change, "BTAnalogRange2", "Set Analog Range"), 2, 1);
    grid->addWidget(Button(change, "BTCal", "Turn Engr Output ON"), 3, 0, 1, 2);
    EditRow(grid, 4, change, "MEflscale", "0.0001", "BTflscale", "Set Engr Scale");
    EditRow(grid, 5, change, "MEfloffset", "1", "BTfloffset", "Set Engr Offset");
    grid->addWidget(Button(change, "BTGetSetup2", "Get FL RAM Setup"), 6, 0, 1, 2);
    grid->addWidget(Button(change, "BTStoreToFlash2", "Store To Flash"), 7, 0);
    grid->addWidget(Button(change, "Button22", "Reload Flash Setup"), 7, 1);
    grid->setRowStretch(8, 1);

    auto* current = new QGroupBox(page);
    current->setObjectName("FLCurrentBox");
    auto* list = new QGridLayout(current);
    list->addWidget(Heading(current, "Label34", "Current"), 0, 0, 1, 3);
    list->addWidget(Heading(current, "Label35", "  Ram Settings  "), 1, 0, 1, 3);
    int r = 2;
    for (auto [arrow, name, text] :
         {std::tuple{"HRArrow", "LBHiRes", "ASV1:  Hi Resolution   0-30 Engr Units"},
          std::tuple{"SRArrow", "LBStdRes", "ASV2:  Std Resolution 0-60 Engr Units"},
          std::tuple{"WRArrow", "LBWideRange", "ASV4:  Wide Range:   0-120 Engr Units"}}) {
        QLabel* mark = Label(current, arrow, "==>");
        mark->hide();
        list->addWidget(mark, r, 0);
        list->addWidget(Label(current, name, text), r, 1, 1, 2);
        ++r;
    }
    for (auto [caption, name] :
         {std::pair{"Engr Scale", "LBuglscale"}, std::pair{"Engr Offset", "LBugloffset"},
          std::pair{"Engr Output", "LBCal"}}) {
        list->addWidget(new QLabel(caption, current), r, 1);
        list->addWidget(Label(current, name, ":"), r, 2);
        ++r;
    }
    list->addWidget(Heading(current, "Label47", "Device File"), r++, 1, 1, 2);
    list->addWidget(Heading(current, "Label48", "  Settings  "), r++, 1, 1, 2);
    list->addWidget(new QLabel("Engr Scale", current), r, 1);
    list->addWidget(Label(current, "LBDFuglscale", ":"), r++, 2);
    list->addWidget(new QLabel("Engr Offset", current), r, 1);
    list->addWidget(Label(current, "LBDFugloffset", ":"), r++, 2);
    list->setRowStretch(r, 1);
    list->setColumnStretch(2, 1);

    row->addWidget(change);
    row->addWidget(current, 1);
    return page;
}

QWidget* MainWindow::BuildRawPage() {
    auto* page = new QWidget;
    page->setObjectName("TSRaw");
    auto* layout = new QVBoxLayout(page);
    memo_ = new QPlainTextEdit(page);
    memo_->setObjectName("Memo1");
    memo_->setReadOnly(true);
    memo_->setMaximumBlockCount(static_cast<int>(kMemoLines));
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed("Monospace");
    fixed.setStyleHint(QFont::TypeWriter);
    memo_->setFont(fixed);
    layout->addWidget(memo_);
    return page;
}

QWidget* MainWindow::BuildPlotPage() {
    auto* page = new QWidget;
    page->setObjectName("TSPlot");
    auto* layout = new QVBoxLayout(page);
    auto* chartArea = new QFrame(page);
    chartArea->setObjectName("ChartArea");
    chartArea->setFrameShape(QFrame::StyledPanel);
    auto* chartLayout = new QVBoxLayout(chartArea);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chartArea, 1);

    auto* selectors = new QHBoxLayout;
    const std::initializer_list<std::tuple<const char*, const char*, QStringList>> lists = {
        {"PlotTypeCB", "Plot Type", {"Raw Data", "Engr Units"}},
        {"BBPlotCB",
         "Scattering Plot",
         {"Beta(117)", "Beta Particles(117)", "BackScatter Particles", "Total Back Scatter"}},
        {"StdDevCB", "Statistic", {"Raw Counts", "Mean Value", "Std Dev-15", "Std Dev-60"}},
        {"iTempCB", "Internal Temp Plot", {"No Internal Temp Plot", "Plot Internal Temp"}},
        {"xTempCB", "External Temp Plot", {"No External Temp Plot", "Plot External Temp"}},
        {"PresCB", "Pressure Plot", {"No Pressure Plot", "Plot Pressure"}}};
    for (const auto& [name, spoken, items] : lists) {
        QComboBox* combo = Combo(page, name, spoken, items, false);
        combo->setCurrentIndex(0);
        combo->hide();
        selectors->addWidget(combo);
    }
    auto* profile = new QCheckBox("Profile", page);
    profile->setObjectName("ProfileViewCheck");
    profile->setToolTip(
        "The plotted channels against pressure, cast by cast, instead of the strip chart: the "
        "current cast's descent and ascent and the cast before it");
    selectors->addWidget(profile);
    selectors->addStretch(1);
    layout->addLayout(selectors);
    return page;
}

QWidget* MainWindow::BuildTransferPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    auto* layout = new QVBoxLayout(page);
    auto* box = new QGroupBox("Meter's Internal Memory", page);
    box->setObjectName("TransferBox");
    auto* grid = new QGridLayout(box);
    grid->addWidget(Button(box, "BTGetData", "Receive Data"), 0, 0);
    grid->addWidget(Button(box, "BitBtnCancel", "Cancel"), 0, 1);
    grid->addWidget(Button(box, "BTErase2", "Erase Memory"), 0, 2);
    grid->addWidget(FileLabel(box, "LBReceiveFile", "Receive File:  "), 1, 0, 1, 3);
    grid->addWidget(ValueLabel(box, "LBReceiveFileSize",
                               "Receive File Size:  ", "Receive File Size: 9999999 K"),
                    2, 0, 1, 3);
    grid->addWidget(
        ValueLabel(box, "LBReceiveStatus", "Receive Status:", "Receive File Status:  In Progress"),
        3, 0, 1, 3);
    auto* progress = new QProgressBar(box);
    progress->setObjectName("DownloadProgress");
    progress->setToolTip("Bytes received of the size the meter's memory report implies");
    progress->hide();
    grid->addWidget(progress, 4, 0, 1, 3);
    layout->addWidget(box);
    layout->addStretch(1);
    return page;
}

void MainWindow::BuildMenu() {
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    auto add = [this, file](const char* name, const char* caption, bool checkable) {
        auto* action = new QAction(caption, this);
        action->setObjectName(name);
        action->setCheckable(checkable);
        file->addAction(action);
        return action;
    };
    add("LoadDeviceFile", "Load Device File", false);
    file->addSeparator();
    add("RealTimeData", "Real Time Data", true)->setChecked(true);
    add("ReplayRawFile", "Replay Raw File", true);
    connect(add("ExportRecording", "Export Recording\u2026", false), &QAction::triggered, this,
            &MainWindow::ExportRecordingClick);
    connect(add("OpenRecording", "Open Recording\u2026", false), &QAction::triggered, this,
            &MainWindow::OpenRecordingClick);
    connect(add("StationSetup", "Station\u2026", false), &QAction::triggered, this,
            [this] { session_->Recording().EditStation(); });
    connect(add("GpsSetup", "GPS\u2026", false), &QAction::triggered, this, [this] {
        session_->GpsSetupClick();
        PresentHostStatus();
    });
    connect(add("ShipFeed", "Ship Feed\u2026", false), &QAction::triggered, this, [this] {
        session_->ShipFeedClick();
        PresentHostStatus();
    });
    // The quality tests' thresholds for the live data, the exports and the viewer.
    connect(add("QualityFile", "Quality Control File\u2026", false), &QAction::triggered, this,
            [this] { session_->QualityFileClick(); });
    connect(add("QualityDefaults", "Quality Control Defaults", false), &QAction::triggered, this,
            [this] { session_->SetQualityFile(""); });
    file->addSeparator();
    add("MenuAdvancedSetup", "Advanced Setup", true);
    add("EarlyCommands", "Alternate Commands", true);
    file->addSeparator();
    add("Exit1", "E&xit", false);
}

}  // namespace kivo
