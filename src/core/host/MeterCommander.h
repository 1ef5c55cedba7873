#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/data/MeterClock.h"
#include "core/host/MeterClockKeeper.h"
#include "core/host/SerialLink.h"
#include "core/host/SharedState.h"
#include "core/host/ShownState.h"
#include "core/protocol/Commands.h"
#include "core/protocol/SetupDisplay.h"
#include "core/protocol/SetupState.h"
#include "core/seams/Clock.h"
#include "core/seams/Prompts.h"

namespace kivo {

// What the meter control works with, owned by the session around it.
struct MeterCommanderLinks {
    SerialLink& link;
    Prompts& prompts;
    SharedState& state;        // the command mode, the Advanced Setup check and the user mode
    MeterClockKeeper& clocks;  // the meter's clock, set and compared
    // What is shown, to be changed (counts a revision).
    std::function<ShownState&()> show;
    // One line into the event log.
    std::function<void(const std::string&)> log;
};

// The meter's setup: the commands the setup pages send (each with what the operator typed),
// the meter's replies, and the setup the pages show. Each command sends
// and returns; the meter's answer arrives later as a reply and only then changes the setup.
class MeterCommander {
public:
    explicit MeterCommander(MeterCommanderLinks links);

    // ---- Meter Setup page ----
    void SetAverage(const std::string& entry);
    void SetSampleCount(const std::string& entry);
    void SetCycleCount(const std::string& entry);
    void SetCycleInterval(const std::string& entry);
    void AskSetup();
    void AskDateAndTime();
    // The meter's date and time from the computer's clock, in the zone the meter is kept in.
    void SetMeterClock() { links_.clocks.SetMeterClock(links_.state.alternateCommands); }
    void SetMeterTime() { links_.clocks.SetMeterTime(); }  // the alternate commands' own
    void ToggleLogging();
    // Asks first, telling how much would be lost and whether it was downloaded.
    void EraseMemory();
    void OpenShutter();
    void CloseShutter();
    void StoreSetup();
    // With the Advanced Setup page in front, the timings are asked for again as well.
    void ReloadStoredSetup(bool advancedPageInFront);

    // ---- Advanced Setup and FL-Setup pages ----
    void AskTimings();
    void AskFlSetup();
    // The lamp timings: the power user's only.
    void SetPh1OnTime(const std::string& entry);
    void SetPh1OffTime(const std::string& entry);
    void SetPh11OnTime(const std::string& entry);
    void SetPh11OffTime(const std::string& entry);
    void SwapTimings();
    void MeasureOnce();
    void HexDump(const std::string& entry);  // the answer is read in the Raw Data memo
    // The analog range selector's item: 0 Hi Resolution, 1 Std Resolution, 2 Wide Range.
    void SetAnalogRange(int item);
    void ToggleEngrOutput();
    void SetEngrScale(const std::string& entry);
    void SetEngrOffset(const std::string& entry);

    // ---- modes ----
    void ToggleAlternateCommands();
    void ToggleAdvancedSetup();
    // Leaves the power-user mode, or asks for the password to enter it.
    void TogglePowerUser();
    void EnterPassword(const std::string& entry);

    // ---- what the meter tells ----
    // A reply line; true when it brought an identification not logged before.
    bool TakeReply(const std::string& line, MeterClock& meterClock, HostClockSnapshot& hostClock);
    // The half-second refresh of the setup pages.
    void RefreshSetupPanel(const ShownClocks& clocks, const DeviceCalibration& calibration);
    // A port was opened: nothing downloaded from this meter yet.
    void Connected() { downloadedSinceConnect_ = false; }
    void DownloadEnded(bool complete) { downloadedSinceConnect_ |= complete; }

    SetupState& Setup() { return setup_; }
    const SetupState& Setup() const { return setup_; }

private:
    bool SendEditCommand(EditCommand command, const std::string& entry);
    void SendPowerUserCommand(EditCommand command, const std::string& entry);
    void ShowStoreStatus(bool stored) { links_.show().setup.setupStored = stored; }
    void RequestPage(Page page);
    std::string EraseQuestion() const;

    MeterCommanderLinks links_;
    SetupState setup_;
    std::string loggedIdentification_;  // the meter's identification as last logged
    // Whether a download since the port opened ended complete: what Erase Memory says.
    bool downloadedSinceConnect_ = false;
};

}  // namespace kivo
