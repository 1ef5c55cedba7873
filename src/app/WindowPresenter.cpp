#include "app/WindowPresenter.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>

#include "app/Controls.h"
#include "app/MainWindow.h"

namespace kivo {

namespace {

// True once for each new value: `was` takes it.
template <class T>
bool Changed(const std::optional<T>& now, std::optional<T>& was) {
    if (!now || now == was) return false;
    was = now;
    return true;
}

bool SameChoices(const PlotChoices& a, const PlotChoices& b) {
    return a.PlotType == b.PlotType && a.BBPlotChoice == b.BBPlotChoice &&
           a.ITempPlot == b.ITempPlot && a.XTempPlot == b.XTempPlot && a.PresPlot == b.PresPlot;
}

}  // namespace

void WindowPresenter::Present(const ShownState& shown) {
    if (shown.revision == revision_) return;
    revision_ = shown.revision;
    if (Changed(shown.caption, applied_.caption)) window_.SetCaption(*shown.caption);
    PresentSetup(shown.setup);
    PresentStatus(shown);
    PresentModes(shown);
    PresentPlotChoices(shown);
    PresentTransfer(shown);
    PresentMemo(shown.memo);
    PresentRequests(shown);
}

void WindowPresenter::Text(const std::optional<std::string>& now, std::optional<std::string>& was,
                           Control control) {
    if (Changed(now, was)) window_.SetText(control, *now);
}

void WindowPresenter::PortSelectorsChanged(int portItem, int baudItem) {
    applied_.portItem = portItem;
    applied_.baudItem = baudItem;
    revision_ = std::numeric_limits<std::uint64_t>::max();
}

void WindowPresenter::PresentSetup(const SetupPanel& setup) {
    SetupPanel& was = applied_.setup;
    MainWindow& w = window_;
    if (Changed(setup.flSetupPage, was.flSetupPage))
        w.SetPageVisible(PageFLSetup, *setup.flSetupPage);
    Text(setup.average, was.average, Control::LBAVE);
    Text(setup.samples, was.samples, Control::LBNS);
    Text(setup.cycles, was.cycles, Control::LBNC);
    Text(setup.cycleInterval, was.cycleInterval, Control::LBCI);
    if (Changed(setup.loggingOn, was.loggingOn)) {
        w.SetText(Control::LBLog, *setup.loggingOn ? "Logging: ON" : "Logging: OFF");
        w.SetText(Control::BTLogging, *setup.loggingOn ? "Turn Logging OFF" : "Turn Logging ON");
    }
    if (Changed(setup.engrOutputOn, was.engrOutputOn)) {
        const bool on = *setup.engrOutputOn;
        w.SetText(Control::LBCal, on ? "Engr Output: ON" : "Engr Output: OFF");
        w.SetText(Control::BTCal, on ? "Turn Engr Output OFF" : "Turn Engr Output ON");
    }
    Text(setup.memoryUsed, was.memoryUsed, Control::LBStorageUsed);
    Text(setup.memoryFree, was.memoryFree, Control::LBStorageFree);
    Text(setup.meterClock, was.meterClock, Control::LBKIVODandT);
    Text(setup.hostClock, was.hostClock, Control::LBHostDandT);
    static constexpr Control kTimings[] = {Control::LBph1onTime, Control::LBph1offTime,
                                           Control::LBph11onTime, Control::LBph11offTime};
    for (std::size_t i = 0; i < setup.timings.size(); ++i)
        Text(setup.timings[i], was.timings[i], kTimings[i]);
    Text(setup.meterOffset, was.meterOffset, Control::LBugloffset);
    Text(setup.meterScale, was.meterScale, Control::LBuglscale);
    Text(setup.hiResRange, was.hiResRange, Control::LBHiRes);
    Text(setup.stdResRange, was.stdResRange, Control::LBStdRes);
    Text(setup.wideRange, was.wideRange, Control::LBWideRange);
    if (Changed(setup.analogRange, was.analogRange)) {
        w.SetVisible(Control::HRArrow, *setup.analogRange == 1);
        w.SetVisible(Control::SRArrow, *setup.analogRange == 2);
        w.SetVisible(Control::WRArrow, *setup.analogRange == 4);
    }
    Text(setup.deviceScale, was.deviceScale, Control::LBDFuglscale);
    Text(setup.deviceOffset, was.deviceOffset, Control::LBDFugloffset);
    if (Changed(setup.setupStored, was.setupStored)) {
        const bool stored = *setup.setupStored;
        w.SetVisible(Control::PStore, !stored);
        w.SetText(Control::PStore, stored ? "Setup is Current" : "Setup Not Stored");
        w.SetColour(Control::PStore, stored ? Colour::MenuFace : Colour::Yellow);
    }
}

void WindowPresenter::PresentStatus(const ShownState& shown) {
    ShownState& was = applied_;
    MainWindow& w = window_;
    if (Changed(shown.sampleRate, was.sampleRate)) {
        w.SetText(Control::LBHz1, *shown.sampleRate);
        w.SetText(Control::LBHz2, *shown.sampleRate);
    }
    Text(shown.clockOffset, was.clockOffset, Control::LBClockOffset);
    Text(shown.castStatus, was.castStatus, Control::LBCast);
    Text(shown.recordStatus, was.recordStatus, Control::LBRecordStatus);
    Text(shown.rawFile, was.rawFile, Control::LBRawFileName);
    Text(shown.rawFileSize, was.rawFileSize, Control::LBRawFileSize);
    Text(shown.engrFile, was.engrFile, Control::LBEngrFileName);
    Text(shown.engrFileSize, was.engrFileSize, Control::LBEngrFileSize);
    Text(shown.deviceFile, was.deviceFile, Control::LBDeviceFile);
    Text(shown.bytesRead, was.bytesRead, Control::LBTotalIn);
    if (Changed(shown.choosePortPrompt, was.choosePortPrompt))
        w.SetVisible(Control::PCOMPort, *shown.choosePortPrompt);
    if (Changed(shown.chooseDeviceFilePrompt, was.chooseDeviceFilePrompt))
        w.SetVisible(Control::PMeterType, *shown.chooseDeviceFilePrompt);
    if (Changed(shown.powerUser, was.powerUser)) {
        w.SetText(Control::PowerUserPanel, *shown.powerUser ? "Power User" : "Normal User");
        w.SetColour(Control::PowerUserPanel, *shown.powerUser ? Colour::Red : Colour::ButtonFace);
    }
    if (Changed(shown.portItem, was.portItem)) w.SetItemIndex(Control::CBHostPort, *shown.portItem);
    if (Changed(shown.baudItem, was.baudItem)) w.SetItemIndex(Control::CBBaudRate, *shown.baudItem);
}

void WindowPresenter::PresentModes(const ShownState& shown) {
    ShownState& was = applied_;
    MainWindow& w = window_;
    if (Changed(shown.startButton, was.startButton))
        w.SetText(Control::BTStartData, *shown.startButton);
    if (Changed(shown.stopButton, was.stopButton))
        w.SetText(Control::BTStopData, *shown.stopButton);
    if (Changed(shown.replayMode, was.replayMode)) {
        w.SetChecked(Control::RealTimeData, !*shown.replayMode);
        w.SetChecked(Control::ReplayRawFile, *shown.replayMode);
    }
    if (Changed(shown.alternateCommands, was.alternateCommands)) {
        const bool alternate = *shown.alternateCommands;
        w.SetChecked(Control::EarlyCommands, alternate);
        w.SetVisible(Control::BTSetTime, alternate);
        w.SetVisible(Control::BTReloadSetup1, !alternate);
        w.SetVisible(Control::MenuAdvancedSetup, !alternate);
        w.SetText(Control::BTSetDandTPC, alternate ? "Set Date" : "Set Date and Time");
    }
    if (Changed(shown.advancedSetup, was.advancedSetup))
        w.SetChecked(Control::MenuAdvancedSetup, *shown.advancedSetup);
    if (Changed(shown.advancedPage, was.advancedPage))
        w.SetPageVisible(PageAdvanced, *shown.advancedPage);
    if (Changed(shown.analogRangeItem, was.analogRangeItem))
        w.SetItemIndex(Control::CBAnalogRange, *shown.analogRangeItem);
    const ProgressShown& replay = shown.replayProgress;
    if (replay.visible != was.replayProgress.visible)
        w.SetVisible(Control::ReplayProgress, replay.visible);
    if (replay.value != was.replayProgress.value || replay.maximum != was.replayProgress.maximum)
        w.SetProgress(Control::ReplayProgress, replay.value, replay.maximum);
    was.replayProgress = replay;
    if (shown.pumpIntervalMs != was.pumpIntervalMs) w.SetPumpInterval(shown.pumpIntervalMs);
    was.pumpIntervalMs = shown.pumpIntervalMs;
}

void WindowPresenter::PresentPlotChoices(const ShownState& shown) {
    ShownState& was = applied_;
    MainWindow& w = window_;
    const PlotSelectorsShown& now = shown.selectors;
    PlotSelectorsShown& old = was.selectors;
    if (Changed(now.plotType, old.plotType)) w.SetVisible(Control::PlotTypeCB, *now.plotType);
    if (Changed(now.iTemp, old.iTemp)) w.SetVisible(Control::iTempCB, *now.iTemp);
    if (Changed(now.xTemp, old.xTemp)) w.SetVisible(Control::xTempCB, *now.xTemp);
    if (Changed(now.pressure, old.pressure)) w.SetVisible(Control::PresCB, *now.pressure);
    if (Changed(now.scattering, old.scattering)) w.SetVisible(Control::BBPlotCB, *now.scattering);
    if (Changed(now.statistics, old.statistics)) w.SetVisible(Control::StdDevCB, *now.statistics);
    if (shown.plotChoices &&
        (!was.plotChoices || !SameChoices(*shown.plotChoices, *was.plotChoices))) {
        const PlotChoices& choices = *shown.plotChoices;
        w.SetItemIndex(Control::PlotTypeCB, choices.PlotType);
        w.SetItemIndex(Control::BBPlotCB, choices.BBPlotChoice);
        w.SetItemIndex(Control::iTempCB, choices.ITempPlot);
        w.SetItemIndex(Control::xTempCB, choices.XTempPlot);
        w.SetItemIndex(Control::PresCB, choices.PresPlot);
        was.plotChoices = shown.plotChoices;
    }
    if (Changed(shown.profileView, was.profileView)) w.ShowProfileView(*shown.profileView);
    // A statistic the list has no item for leaves the list as it is.
    if (Changed(shown.statisticsItem, was.statisticsItem) && *shown.statisticsItem >= 0)
        w.SetItemIndex(Control::StdDevCB, *shown.statisticsItem);
}

void WindowPresenter::PresentTransfer(const ShownState& shown) {
    ShownState& was = applied_;
    MainWindow& w = window_;
    Text(shown.receiveFile, was.receiveFile, Control::LBReceiveFile);
    Text(shown.receiveStatus, was.receiveStatus, Control::LBReceiveStatus);
    Text(shown.receiveFileSize, was.receiveFileSize, Control::LBReceiveFileSize);
    if (Changed(shown.receiveFailed, was.receiveFailed)) {
        const Colour colour = *shown.receiveFailed ? Colour::Red : Colour::ButtonFace;
        w.SetColour(Control::LBReceiveFileSize, colour);
        w.SetColour(Control::LBReceiveStatus, colour);
    }
    const ProgressShown& download = shown.downloadProgress;
    if (download.visible != was.downloadProgress.visible)
        w.SetVisible(Control::DownloadProgress, download.visible);
    if (download.value != was.downloadProgress.value ||
        download.maximum != was.downloadProgress.maximum)
        w.SetProgress(Control::DownloadProgress, download.value, download.maximum);
    was.downloadProgress = download;
}

void WindowPresenter::PresentMemo(const MemoLines& memo) {
    const std::uint64_t fresh = memo.total - memoTotal_;
    memoTotal_ = memo.total;
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(fresh, memo.newest.size()));
    for (auto line = memo.newest.end() - static_cast<std::ptrdiff_t>(count);
         line != memo.newest.end(); ++line)
        window_.AppendMemoLine(*line);
}

void WindowPresenter::PresentRequests(const ShownState& shown) {
    ShownState& was = applied_;
    if (shown.pageRequests != was.pageRequests) window_.SetActivePage(shown.requestedPage);
    was.pageRequests = shown.pageRequests;
    if (shown.memoryFullRequests != was.memoryFullRequests) window_.ShowMemoryFullWindow();
    was.memoryFullRequests = shown.memoryFullRequests;
    if (shown.passwordRequests != was.passwordRequests) window_.ShowPasswordWindow();
    was.passwordRequests = shown.passwordRequests;
}

}  // namespace kivo
