// The meter's setup: the operator's buttons that talk to the meter, and what the meter
// tells back.
#include "core/host/MeterCommander.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "core/protocol/ReplyParser.h"
#include "core/recording/Download.h"

namespace kivo {

MeterCommander::MeterCommander(MeterCommanderLinks links) : links_(std::move(links)) {}

void MeterCommander::RequestPage(Page page) {
    ShownState& shown = links_.show();
    shown.requestedPage = page;
    ++shown.pageRequests;
}

bool MeterCommander::SendEditCommand(EditCommand command, const std::string& text) {
    const std::optional<std::string> line = BuildEditCommand(command, text);
    if (!line && HoldsLineBreak(text)) {
        links_.prompts.ShowWarning(
            "Warning - Invalid Entry",
            "The entry holds a line break (CR, LF or NUL), which would end the meter command "
            "early and send the rest as a command of its own.\nNothing was sent.");
        return false;
    }
    if (!line) {
        // A cut command could be misread by the meter: send nothing instead.
        links_.prompts.ShowWarning(
            "Entry Too Long",
            "The entry \"" + text.substr(0, 40) + (text.size() > 40 ? "..." : "") +
                "\" does not fit a meter command (at most " + std::to_string(kMaxCommandLength) +
                " characters with the command word).\nNothing was sent.");
        return false;
    }
    links_.link.SendCommand(*line);
    return true;
}

void MeterCommander::ToggleAlternateCommands() {
    links_.state.alternateCommands = !links_.state.alternateCommands;
    // The alternate commands have no Advanced Setup page, and set the date and the time
    // with buttons of their own.
    ShownState& shown = links_.show();
    shown.alternateCommands = links_.state.alternateCommands;
    shown.advancedPage = !links_.state.alternateCommands && links_.state.advancedSetupChecked;
}

void MeterCommander::ToggleAdvancedSetup() {
    links_.state.advancedSetupChecked = !links_.state.advancedSetupChecked;
    ShownState& shown = links_.show();
    shown.advancedSetup = links_.state.advancedSetupChecked;
    shown.advancedPage = links_.state.advancedSetupChecked;
    if (links_.state.advancedSetupChecked) RequestPage(PageAdvanced);
}

// ---- Meter Setup page ------------------------------------------------------------------

void MeterCommander::SetAverage(const std::string& entry) {
    ShowStoreStatus(false);
    SendEditCommand(EditCommand::Average, entry);
}

void MeterCommander::SetSampleCount(const std::string& entry) {
    ShowStoreStatus(false);
    SendEditCommand(EditCommand::Packet, entry);
}

void MeterCommander::SetCycleCount(const std::string& entry) {
    ShowStoreStatus(false);
    SendEditCommand(EditCommand::Sample, entry);
}

void MeterCommander::SetCycleInterval(const std::string& entry) {
    ShowStoreStatus(false);
    SendEditCommand(EditCommand::Interval, entry);
}

void MeterCommander::AskSetup() { links_.link.SendCommand(commands::kGetSetup); }

void MeterCommander::AskDateAndTime() {
    if (links_.state.alternateCommands) {
        links_.link.SendCommand(commands::kGetClock);
        links_.link.SendCommand(commands::kGetDate);
    } else {
        links_.link.SendCommand(commands::kGetSetup);
    }
}

void MeterCommander::ToggleLogging() {
    links_.link.SendCommand(LoggingCommand(setup_.loggingOn));
    ShowStoreStatus(false);
}

void MeterCommander::OpenShutter() { links_.link.SendCommand(commands::kOpenShutter); }

void MeterCommander::CloseShutter() { links_.link.SendCommand(commands::kCloseShutter); }

void MeterCommander::StoreSetup() { links_.link.SendCommand(commands::kStoreToFlash); }

void MeterCommander::ReloadStoredSetup(bool advancedPageInFront) {
    setup_.reloadPending = true;
    links_.link.SendCommand(commands::kReloadFlash);
    if (advancedPageInFront) AskTimings();
}

// ---- Advanced Setup and FL-Setup pages --------------------------------------------------

void MeterCommander::AskTimings() { links_.link.SendCommand(commands::kGetParameters); }

void MeterCommander::AskFlSetup() { links_.link.SendCommand(commands::kGetParameters); }

void MeterCommander::SendPowerUserCommand(EditCommand command, const std::string& entry) {
    if (!links_.state.powerUser) return;
    ShowStoreStatus(false);
    SendEditCommand(command, entry);
}

void MeterCommander::SetPh1OnTime(const std::string& entry) {
    SendPowerUserCommand(EditCommand::Ph1OnTime, entry);
}

void MeterCommander::SetPh1OffTime(const std::string& entry) {
    SendPowerUserCommand(EditCommand::Ph1OffTime, entry);
}

void MeterCommander::SetPh11OnTime(const std::string& entry) {
    SendPowerUserCommand(EditCommand::Ph11OnTime, entry);
}

void MeterCommander::SetPh11OffTime(const std::string& entry) {
    SendPowerUserCommand(EditCommand::Ph11OffTime, entry);
}

void MeterCommander::SwapTimings() {
    if (!links_.state.powerUser) return;
    ShowStoreStatus(false);
    links_.link.SendCommand(commands::kTimingSwap);
}

void MeterCommander::MeasureOnce() { links_.link.SendCommand(commands::kOneMeasurement); }

void MeterCommander::HexDump(const std::string& entry) {
    RequestPage(PageRaw);  // the meter's answer is read in the memo
    SendEditCommand(EditCommand::HexDump, entry);
}

void MeterCommander::SetAnalogRange(int item) {
    ShowStoreStatus(false);
    links_.link.SendCommand(AnalogRangeCommand(item));
}

void MeterCommander::ToggleEngrOutput() {
    const bool wasOn = setup_.engrOutputOn != 0;
    links_.link.SendCommand(EngrOutputCommand(setup_.engrOutputOn));
    ShowStoreStatus(false);
    links_.prompts.ShowWarning(
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

void MeterCommander::SetEngrScale(const std::string& entry) {
    SendEntry(
        CheckScaleEntry(entry), "The valid range for the engr scale is 0.0001-0.0255",
        links_.prompts, [this](bool stored) { ShowStoreStatus(stored); },
        [this](long code) { links_.link.SendCommand(EngrScaleCommand(code)); });
}

void MeterCommander::SetEngrOffset(const std::string& entry) {
    SendEntry(
        CheckOffsetEntry(entry), "The valid range for the ug/l offset is 0-127", links_.prompts,
        [this](bool stored) { ShowStoreStatus(stored); },
        [this](long offset) {
            links_.link.SendCommand(EngrOffsetCommand(static_cast<int>(offset)));
        });
}

void MeterCommander::TogglePowerUser() {
    if (links_.state.powerUser) {
        links_.state.powerUser = 0;
        return;
    }
    ++links_.show().passwordRequests;
}

void MeterCommander::EnterPassword(const std::string& entry) {
    links_.state.powerUser = PasswordMatches(entry) ? 1 : 0;
}

std::string MeterCommander::EraseQuestion() const {
    std::string text = "Erase the meter's memory?\n";
    if (setup_.memoryUsedPages >= 0) {
        const std::int64_t kilobytes =
            std::int64_t{setup_.memoryUsedPages} * MemoryDownload::kPageBytes / 1024;
        text += std::to_string(kilobytes) +
                " K of logged data (the meter's last report) will be lost for good.\n";
    } else {
        text +=
            "The meter has not said how much it holds (Get RAM Setup asks); all of it will be lost "
            "for good.\n";
    }
    text += downloadedSinceConnect_
                ? "Its memory was downloaded completely since the meter was connected."
                : "Its memory has NOT been downloaded completely since the meter was connected.";
    return text;
}

void MeterCommander::EraseMemory() {
    if (!links_.prompts.AskYesNo("Erase Memory", EraseQuestion())) return;
    links_.log("Erase Memory");
    links_.link.SendCommand(commands::kEraseMemory);
}

// ---- what the meter tells ----------------------------------------------------

bool MeterCommander::TakeReply(const std::string& line, MeterClock& meterClock,
                               HostClockSnapshot& hostClock) {
    ReplyTarget target{setup_, meterClock, hostClock, links_.clocks.SettingClock()};
    const ReplyChanges changes = ParseReply(line, target);
    if (changes.setupStored) ShowStoreStatus(true);
    if (changes.memoryFull) ++links_.show().memoryFullRequests;
    if (changes.identified) links_.show().caption = FormatTitle(setup_.identification);
    if (!setup_.meterIdentified || setup_.identification == loggedIdentification_) return false;
    loggedIdentification_ = setup_.identification;
    links_.log("meter identification " + loggedIdentification_);
    return true;
}

void MeterCommander::RefreshSetupPanel(const ShownClocks& clocks,
                                       const DeviceCalibration& calibration) {
    RefreshSetupDisplay(setup_, clocks, calibration, links_.show().setup);
}

}  // namespace kivo
