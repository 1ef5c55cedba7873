// The operator's buttons that talk to the meter. Each sends its command and returns; the
// meter's answer arrives later as a reply line and only then changes the setup state.
#include <functional>
#include <optional>
#include <string>

#include "core/host/Session.h"
#include "core/protocol/ReplyParser.h"

namespace kivo {

bool Session::SendEditCommand(EditCommand command, const std::string& text) {
    const std::optional<std::string> line = BuildEditCommand(command, text);
    if (!line && HoldsLineBreak(text)) {
        seams_.prompts.ShowWarning(
            "Warning - Invalid Entry",
            "The entry holds a line break (CR, LF or NUL), which would end the meter command "
            "early and send the rest as a command of its own.\nNothing was sent.");
        return false;
    }
    if (!line) {
        // A cut command could be misread by the meter: send nothing instead.
        seams_.prompts.ShowWarning(
            "Entry Too Long",
            "The entry \"" + text.substr(0, 40) + (text.size() > 40 ? "..." : "") +
                "\" does not fit a meter command (at most " + std::to_string(kMaxCommandLength) +
                " characters with the command word).\nNothing was sent.");
        return false;
    }
    link_.SendCommand(*line);
    return true;
}

// ---- data stream ----------------------------------------------------------------------

void Session::BTStartClick() {
    state_.RateLineCount = -1;
    if (state_.ReplayMode) {
        state_.ReplayRunning = true;
        Show().startButton = "Resume Replay";
        return;
    }
    dataStarted_ = true;
    LogEvent("Start Data");
    link_.SendCommand(commands::kRun);
}

void Session::BTStopClick() {
    if (state_.ReplayMode) {
        state_.ReplayRunning = false;
        return;
    }
    dataStarted_ = false;
    LogEvent("Stop Data");
    link_.SerialWrite(commands::kStop);  // five bytes, no line end
}

void Session::BitBtnCancelClick() {
    download_.Cancel();
    SyncDownloadState();
    BTStopClick();
}

void Session::EarlyCommandsClick() {
    state_.alternateCommands = !state_.alternateCommands;
    // The alternate commands have no Advanced Setup page, and set the date and the time
    // with buttons of their own.
    ShownState& shown = Show();
    shown.alternateCommands = state_.alternateCommands;
    shown.advancedPage = !state_.alternateCommands && state_.advancedSetupChecked;
}

void Session::MenuAdvancedSetupClick() {
    state_.advancedSetupChecked = !state_.advancedSetupChecked;
    ShownState& shown = Show();
    shown.advancedSetup = state_.advancedSetupChecked;
    shown.advancedPage = state_.advancedSetupChecked;
    if (state_.advancedSetupChecked) RequestPage(PageAdvanced);
}

// ---- Meter Setup page ------------------------------------------------------------------

void Session::BTAverageClick(const std::string& entry) {
    ShowStoreStatus(false);
    SendEditCommand(EditCommand::Average, entry);
}

void Session::BTPacketClick(const std::string& entry) {
    ShowStoreStatus(false);
    SendEditCommand(EditCommand::Packet, entry);
}

void Session::BTSampleClick(const std::string& entry) {
    ShowStoreStatus(false);
    SendEditCommand(EditCommand::Sample, entry);
}

void Session::BTIntervalClick(const std::string& entry) {
    ShowStoreStatus(false);
    SendEditCommand(EditCommand::Interval, entry);
}

void Session::BTGetSetupClick() { link_.SendCommand(commands::kGetSetup); }

void Session::BTGetDandTClick() {
    if (state_.alternateCommands) {
        link_.SendCommand(commands::kGetClock);
        link_.SendCommand(commands::kGetDate);
    } else {
        link_.SendCommand(commands::kGetSetup);
    }
}

void Session::BTLoggingClick() {
    link_.SendCommand(LoggingCommand(setup_.loggingOn));
    ShowStoreStatus(false);
}

void Session::BTSetDandTPCClick() {
    // One reading, so both commands tell one instant; UTC unless the operator chose local time.
    const LocalTime now = settingClock_.Now();
    LogEvent(clockOffsets_.Describe("before setting the clock"));
    if (state_.alternateCommands) {
        link_.SendCommand(SetDateAlternateCommand(now));
    } else {
        link_.SendCommand(SetClockCommand(now));
        link_.SendCommand(SetDateCommand(now));
    }
    LogEvent("the meter's clock set from the computer's " + settingClock_.ZoneName() + " clock");
    clockOffsets_.LogNext("after setting the clock");
}

void Session::BTSetTimeClick() {
    LogEvent(clockOffsets_.Describe("before setting the clock"));
    link_.SendCommand(SetTimeAlternateCommand(settingClock_.Now()));
    LogEvent("the meter's clock set from the computer's " + settingClock_.ZoneName() + " clock");
    clockOffsets_.LogNext("after setting the clock");
}

void Session::BTOpenClick() { link_.SendCommand(commands::kOpenShutter); }

void Session::BTCloseClick() { link_.SendCommand(commands::kCloseShutter); }

void Session::BTStoreSetupClick() { link_.SendCommand(commands::kStoreToFlash); }

void Session::BTReloadClick(bool advancedPageInFront) {
    setup_.reloadPending = true;
    link_.SendCommand(commands::kReloadFlash);
    if (advancedPageInFront) BTGetTimingClick();
}

// ---- Advanced Setup and FL-Setup pages --------------------------------------------------

void Session::BTGetTimingClick() { link_.SendCommand(commands::kGetParameters); }

void Session::BTGetSetup2Click() { link_.SendCommand(commands::kGetParameters); }

void Session::SendPowerUserCommand(EditCommand command, const std::string& entry) {
    if (!state_.powerUser) return;
    ShowStoreStatus(false);
    SendEditCommand(command, entry);
}

void Session::BTph1onTimeClick(const std::string& entry) {
    SendPowerUserCommand(EditCommand::Ph1OnTime, entry);
}

void Session::BTph1offTimeClick(const std::string& entry) {
    SendPowerUserCommand(EditCommand::Ph1OffTime, entry);
}

void Session::BTph11onTimeClick(const std::string& entry) {
    SendPowerUserCommand(EditCommand::Ph11OnTime, entry);
}

void Session::BTph11offTimeClick(const std::string& entry) {
    SendPowerUserCommand(EditCommand::Ph11OffTime, entry);
}

void Session::BTTimingSwapClick() {
    if (!state_.powerUser) return;
    ShowStoreStatus(false);
    link_.SendCommand(commands::kTimingSwap);
}

void Session::BTOneClick() { link_.SendCommand(commands::kOneMeasurement); }

void Session::BTHexDumpClick(const std::string& entry) {
    RequestPage(PageRaw);  // the meter's answer is read in the memo
    SendEditCommand(EditCommand::HexDump, entry);
}

void Session::BTAnalogRangeClick(int item) {
    ShowStoreStatus(false);
    link_.SendCommand(AnalogRangeCommand(item));
}

void Session::BTCalClick() {
    const bool wasOn = setup_.engrOutputOn != 0;
    link_.SendCommand(EngrOutputCommand(setup_.engrOutputOn));
    ShowStoreStatus(false);
    seams_.prompts.ShowWarning(
        "**** Device File Warning ****",
        wasOn ? "By Turning the Internally Calculated Engineering Units Off,\nYou Will Be "
                "Required to Load a Device File Without the Engineering Units Enabled"
              : "By Turning the Internally Calculated Engineering Units ON,\nYou Will Be "
                "Required to Load a Device File With the Engineering Units Enabled");
}

namespace {

// The FL-Setup entries: a value in range is sent, anything else is told or only marks the
// setup as changed, as the meter's own program did.
template <class Command>
void SendEntry(const EntryResult& entry, const char* rangeText, Prompts& prompts,
               const std::function<void(bool)>& showStored, Command send) {
    switch (entry.check) {
        case EntryCheck::TooLong:
            prompts.ShowWarning("Warning - Invalid Entry",
                                "The entry is longer than 99 characters.\nNothing was sent.");
            return;
        case EntryCheck::NotANumber:
            showStored(false);
            return;
        case EntryCheck::OutOfRange:
            prompts.ShowWarning("Warning - Invalid Entry", rangeText);
            return;
        case EntryCheck::Accepted:
            send(entry.value);
            showStored(false);
            return;
    }
}

}  // namespace

void Session::BTflscaleClick(const std::string& entry) {
    SendEntry(
        CheckScaleEntry(entry), "The valid range for the engr scale is 0.0001-0.0255",
        seams_.prompts, [this](bool stored) { ShowStoreStatus(stored); },
        [this](long code) { link_.SendCommand(EngrScaleCommand(code)); });
}

void Session::BTfloffsetClick(const std::string& entry) {
    SendEntry(
        CheckOffsetEntry(entry), "The valid range for the ug/l offset is 0-127", seams_.prompts,
        [this](bool stored) { ShowStoreStatus(stored); },
        [this](long offset) { link_.SendCommand(EngrOffsetCommand(static_cast<int>(offset))); });
}

void Session::PowerUserPanelClick() {
    if (state_.powerUser) {
        state_.powerUser = 0;
        return;
    }
    ++Show().passwordRequests;
}

void Session::BTPasswordOKClick(const std::string& entry) {
    state_.powerUser = PasswordMatches(entry) ? 1 : 0;
}

}  // namespace kivo
