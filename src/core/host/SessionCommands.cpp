// The operator's buttons that talk to the meter. Each sends its command and returns; the
// meter's answer arrives later as a reply line and only then changes the setup state.
#include <optional>
#include <string>

#include "core/host/Session.h"
#include "core/protocol/ReplyParser.h"

namespace kivo {

bool Session::SendEditCommand(EditCommand command, Control edit) {
    const std::string text = seams_.view.Text(edit);
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
        seams_.view.SetText(Control::BTStartData, "Resume Replay");
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
    View& view = seams_.view;
    view.SetChecked(Control::EarlyCommands, state_.alternateCommands);
    if (state_.alternateCommands) {
        view.SetVisible(Control::BTSetTime, true);
        view.SetVisible(Control::BTReloadSetup1, false);
        view.SetPageVisible(PageAdvanced, false);
        view.SetVisible(Control::MenuAdvancedSetup, false);
        view.SetText(Control::BTSetDandTPC, "Set Date");
    } else {
        view.SetVisible(Control::BTSetTime, false);
        view.SetVisible(Control::BTReloadSetup1, true);
        view.SetVisible(Control::MenuAdvancedSetup, true);
        view.SetPageVisible(PageAdvanced, state_.advancedSetupChecked);
        view.SetText(Control::BTSetDandTPC, "Set Date and Time");
    }
}

void Session::MenuAdvancedSetupClick() {
    state_.advancedSetupChecked = !state_.advancedSetupChecked;
    seams_.view.SetChecked(Control::MenuAdvancedSetup, state_.advancedSetupChecked);
    seams_.view.SetPageVisible(PageAdvanced, state_.advancedSetupChecked);
    if (state_.advancedSetupChecked) seams_.view.SetActivePage(PageAdvanced);
}

// ---- Meter Setup page ------------------------------------------------------------------

void Session::BTAverageClick() {
    ShowStoreStatus(seams_.view, false);
    SendEditCommand(EditCommand::Average, Control::MEAverage);
}

void Session::BTPacketClick() {
    ShowStoreStatus(seams_.view, false);
    SendEditCommand(EditCommand::Packet, Control::MEPacket);
}

void Session::BTSampleClick() {
    ShowStoreStatus(seams_.view, false);
    SendEditCommand(EditCommand::Sample, Control::MESample);
}

void Session::BTIntervalClick() {
    ShowStoreStatus(seams_.view, false);
    SendEditCommand(EditCommand::Interval, Control::TimeInterval);
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
    ShowStoreStatus(seams_.view, false);
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

void Session::BTReloadClick() {
    setup_.reloadPending = true;
    link_.SendCommand(commands::kReloadFlash);
    if (seams_.view.ActivePage() == PageAdvanced) BTGetTimingClick();
}

// ---- Advanced Setup and FL-Setup pages --------------------------------------------------

void Session::BTGetTimingClick() { link_.SendCommand(commands::kGetParameters); }

void Session::BTGetSetup2Click() { link_.SendCommand(commands::kGetParameters); }

void Session::SendPowerUserCommand(EditCommand command, Control edit) {
    if (!state_.powerUser) return;
    ShowStoreStatus(seams_.view, false);
    SendEditCommand(command, edit);
}

void Session::BTph1onTimeClick() {
    SendPowerUserCommand(EditCommand::Ph1OnTime, Control::MEph1onTime);
}

void Session::BTph1offTimeClick() {
    SendPowerUserCommand(EditCommand::Ph1OffTime, Control::MEph1offTime);
}

void Session::BTph11onTimeClick() {
    SendPowerUserCommand(EditCommand::Ph11OnTime, Control::MEph11onTime);
}

void Session::BTph11offTimeClick() {
    SendPowerUserCommand(EditCommand::Ph11OffTime, Control::MEph11offTime);
}

void Session::BTTimingSwapClick() {
    if (!state_.powerUser) return;
    ShowStoreStatus(seams_.view, false);
    link_.SendCommand(commands::kTimingSwap);
}

void Session::BTOneClick() { link_.SendCommand(commands::kOneMeasurement); }

void Session::BTHexDumpClick() {
    seams_.view.SetActivePage(PageRaw);  // the meter's answer is read in the memo
    SendEditCommand(EditCommand::HexDump, Control::MEHexDump);
}

void Session::BTAnalogRangeClick() {
    const int item = seams_.view.ItemIndex(Control::CBAnalogRange);
    ShowStoreStatus(seams_.view, false);
    link_.SendCommand(AnalogRangeCommand(item));
}

void Session::BTCalClick() {
    const bool wasOn = setup_.engrOutputOn != 0;
    link_.SendCommand(EngrOutputCommand(setup_.engrOutputOn));
    ShowStoreStatus(seams_.view, false);
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
void SendEntry(const EntryResult& entry, const char* rangeText, View& view, Prompts& prompts,
               Command send) {
    switch (entry.check) {
        case EntryCheck::TooLong:
            prompts.ShowWarning("Warning - Invalid Entry",
                                "The entry is longer than 99 characters.\nNothing was sent.");
            return;
        case EntryCheck::NotANumber:
            ShowStoreStatus(view, false);
            return;
        case EntryCheck::OutOfRange:
            prompts.ShowWarning("Warning - Invalid Entry", rangeText);
            return;
        case EntryCheck::Accepted:
            send(entry.value);
            ShowStoreStatus(view, false);
            return;
    }
}

}  // namespace

void Session::BTflscaleClick() {
    SendEntry(CheckScaleEntry(seams_.view.Text(Control::MEflscale)),
              "The valid range for the engr scale is 0.0001-0.0255", seams_.view, seams_.prompts,
              [this](long code) { link_.SendCommand(EngrScaleCommand(code)); });
}

void Session::BTfloffsetClick() {
    SendEntry(
        CheckOffsetEntry(seams_.view.Text(Control::MEfloffset)),
        "The valid range for the ug/l offset is 0-127", seams_.view, seams_.prompts,
        [this](long offset) { link_.SendCommand(EngrOffsetCommand(static_cast<int>(offset))); });
}

void Session::PowerUserPanelClick() {
    if (state_.powerUser) {
        state_.powerUser = 0;
        return;
    }
    seams_.view.ShowPasswordWindow();
}

void Session::BTPasswordOKClick(const std::string& entry) {
    state_.powerUser = PasswordMatches(entry) ? 1 : 0;
}

}  // namespace kivo
