// The ports and the folder the operator chose, kept in kivoview-ports.ini beside last.rbs:
// the next start opens the adapter chosen last time without --com, and proposes record
// files where the last ones went.
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/files/RegularFile.h"
#include "core/host/RecordNames.h"
#include "core/host/Session.h"
#include "core/settings/PortSettings.h"

namespace kivo {

namespace {
bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}
}  // namespace

void Session::LoadPortSettings() {
    const std::string path = SettingsPath(kPortSettingsName);
    if (!IsRegularFile(path)) return;
    mappedFromFile_ = seams_.ports.ApplySettingsFile(path);
    std::ifstream file(path);
    keptPorts_ = ReadPortSettings(file);
    clocks_.RestoreMeterClockLocal(keptPorts_.meterClockLocal);
    if (keptPorts_.profileView) Show().profileView = true;
    recording_.SetStation(keptPorts_.station);
    std::string why;
    if (keptPorts_.gps.enabled) gps_.Apply(keptPorts_.gps, clock_.UtcMilliseconds());
    // A feed that cannot start now (its host's name not found) is told in the event log and
    // tried again at the next start.
    if (keptPorts_.feed.enabled && !SetShipFeed(keptPorts_.feed, &why))
        LogEvent("the ship feed kept in the settings was not started: " + why);
    // A QC file gone or spoilt since is told in the event log; the defaults stand in.
    if (!keptPorts_.qualityFile.empty() && !SetQualityFile(keptPorts_.qualityFile, &why))
        LogEvent("the QC file kept in the settings was not used: " + why);
    // A folder removed since (a card taken out, a temporary folder) is no place to propose.
    std::error_code error;
    if (std::filesystem::is_directory(keptPorts_.recordFolder, error))
        recordFolder_ = keptPorts_.recordFolder;
}

void Session::SavePortSettings() {
    if (!seams_.restoreLastSettings) return;  // a tool's options are no operator's choice
    keptPorts_.recordFolder = recordFolder_;
    const PortSettings& settings = keptPorts_;
    const std::string path = SettingsPath(kPortSettingsName);
    // As with last.rbs: a pipe, a device or a symbolic link in its place is left alone.
    OwnFile file = OpenOwnFile(path, false);
    if (file.refusal.empty()) {
        WriteOwnFile(file, FormatPortSettings(settings));
    } else if (!portSettingsRefusalTold_) {
        portSettingsRefusalTold_ = true;
        seams_.prompts.ShowWarning("Settings Not Saved",
                                   "The ports and the record folder were not saved: '" + path +
                                       "' " + file.refusal + " and was left as it is.");
    }
}

// Told once, at start: an adapter kept for a COM port that is not plugged in now.
void Session::TellMissingMappedPorts() {
    for (const int n : mappedFromFile_) {
        const std::string device = seams_.ports.PathOf(n);
        if (Exists(device)) continue;
        seams_.prompts.ShowMessage(
            "Port Missing", "COM" + std::to_string(n) + " stands for " + device +
                                ", which is not there now.\nPlug the adapter in and choose COM" +
                                std::to_string(n) + " again, or choose another port.");
    }
    mappedFromFile_.clear();
}

void Session::MapPort(int portNumber, const std::string& devicePath) {
    if (portNumber < 1 || portNumber > ComPortMap::kPorts || devicePath.empty()) return;
    seams_.ports.Map(portNumber, devicePath);
    keptPorts_.devices[static_cast<std::size_t>(portNumber - 1)] = devicePath;
    LogEvent("COM" + std::to_string(portNumber) + " stands for " + devicePath);
    SavePortSettings();
}

void Session::UseRecordFolder(const std::string& recordPath) {
    // Standard output or a device is no folder to keep files in.
    if (recordPath.rfind("/dev/", 0) == 0) return;
    std::error_code error;
    std::string folder = std::filesystem::path(recordPath).parent_path().string();
    if (folder.empty()) folder = std::filesystem::current_path(error).string();
    if (folder.empty()) return;
    SetEventLogFolder(folder);
    if (folder == recordFolder_) return;
    recordFolder_ = folder;
    SavePortSettings();
}

std::string Session::ProposedPath(const std::string& extension) const {
    // The engineering units beside a running raw recording share its name.
    if (extension != "raw" && recording_.RawActive() && !recording_.RawPath().empty()) {
        std::filesystem::path same(recording_.RawPath());
        same.replace_extension(extension);
        if (!Exists(same.string())) return same.string();
    }
    const std::string stem = state_.DevicePath.empty() ? "kivo" : FileStem(state_.DevicePath);
    const std::string folder = recordFolder_.empty() ? seams_.settingsDirectory : recordFolder_;
    return ProposeRecordPath(folder, stem, clock_.UtcMilliseconds(), extension, Exists);
}

}  // namespace kivo
