// Coming back as the operator left it: last.rbs, written by Exit, read on the first
// one-second tick.
#include <fstream>
#include <optional>
#include <string>

#include "core/files/RegularFile.h"
#include "core/host/Session.h"
#include "core/plot/ChartProperties.h"
#include "core/settings/LastRbs.h"
#include "core/settings/PortSettings.h"

namespace kivo {

namespace {
constexpr const char* kChartPropertiesName = "kivoiocomp.rbs";

// A settings file is written where none is yet, or over a regular file. A folder, pipe or
// device in its place is left alone: opening a pipe to write would wait for a reader for
// ever, and a device is not ours to overwrite. A symbolic link is not followed: whoever
// may write the folder could otherwise have Exit overwrite another file.
std::string NotSavedText(const std::string& what, const std::string& path,
                         const std::string& refusal) {
    const std::string why = refusal == "is not a regular file"
                                ? "is not a regular file (a folder, a pipe or a device)"
                                : refusal;
    return "Exit did not save " + what + ": '" + path + "' " + why +
           " and was left as it is.\n"
           "Remove or rename it to save " +
           what + " at the next Exit.";
}
}  // namespace

void Session::RegisterSettingsFiles() {
    settingsFiles_.push_back(files_.Register(SettingsPath(kLastRbsName), roles::kLastSettings));
    settingsFiles_.push_back(
        files_.Register(SettingsPath(kChartPropertiesName), roles::kChartSettings));
    settingsFiles_.push_back(
        files_.Register(SettingsPath(kPortSettingsName), roles::kPortSettings));
}

std::string Session::SettingsPath(const std::string& name) const {
    if (seams_.settingsDirectory.empty()) return name;
    return seams_.settingsDirectory + "/" + name;
}

void Session::RestoreLastSettings() {
    const std::string path = SettingsPath(kLastRbsName);
    // A pipe in its place would hold the start until something writes to it.
    if (!IsRegularFile(path)) return;
    std::ifstream file(path);
    if (!file) return;
    const std::optional<LastRbs> saved = ReadLastRbs(file);
    if (!saved) return;
    // The device file is named without its directory: it is found beside last.rbs. Exit
    // never writes a slash, so a name with one ("../x.dev", "/elsewhere/x.dev") was put
    // there by hand or by someone else, and is not followed out of the settings folder.
    if (saved->deviceFile.find('/') != std::string::npos) {
        seams_.prompts.ShowWarning("Device File Error",
                                   "last.rbs names the device file '" + saved->deviceFile +
                                       "' with a folder; only a device file beside last.rbs "
                                       "is loaded at the start");
        return;
    }
    if (!ReadDeviceFileAt(saved->deviceFile, SettingsPath(saved->deviceFile))) return;

    const auto& v = saved->values;
    ShownState& shown = Show();
    shown.deviceFile = "Device File:  " + saved->deviceFile;
    state_.powerUser = v[LastRbs::PowerUser];
    state_.StatsMode = v[LastRbs::StatsMode];
    const int statisticItem = plot_.StatisticItemFor(state_.StatsMode);
    shown.statisticsItem = statisticItem;
    state_.PlotType = v[LastRbs::PlotType];
    state_.BBPlotChoice = v[LastRbs::BBPlotChoice];
    state_.ITempPlot = v[LastRbs::ITempPlot];
    state_.XTempPlot = v[LastRbs::XTempPlot];
    state_.PresPlot = v[LastRbs::PresPlot];
    shown.plotChoices = plot_.Choices();
    state_.RefChannelCorrection = v[LastRbs::RefChannelCorrection];
    state_.TempCorrection = v[LastRbs::TempCorrection];
    // Set, invert, and let the handler invert it back while it applies the mode.
    state_.alternateCommands = !(v[LastRbs::AlternateCommands] != 0);
    meter_.ToggleAlternateCommands();
    port_.SelectHostPort(v[LastRbs::HostPortItem], v[LastRbs::BaudRateItem]);
    plot_.ChooseStatistic(statisticItem);
    RequestPage(PagePlot);
    Show().chooseDeviceFilePrompt = false;
    // A missing or damaged file leaves the chart's own look.
    plot_.Model().LoadPropertiesFromFile(SettingsPath(kChartPropertiesName));
}

void Session::SaveLastSettings() {
    const int portItem = shown_.portItem.value_or(-1);
    if (portItem < 0 || state_.DevicePath.empty()) return;
    LastRbs settings;
    auto& v = settings.values;
    v[LastRbs::HostPortItem] = portItem;
    v[LastRbs::BaudRateItem] = shown_.baudItem.value_or(-1);
    v[LastRbs::PowerUser] = state_.powerUser;
    v[LastRbs::StatsMode] = state_.StatsMode;
    v[LastRbs::PlotType] = state_.PlotType;
    v[LastRbs::BBPlotChoice] = state_.BBPlotChoice;
    v[LastRbs::ITempPlot] = state_.ITempPlot;
    v[LastRbs::XTempPlot] = state_.XTempPlot;
    v[LastRbs::PresPlot] = state_.PresPlot;
    v[LastRbs::RefChannelCorrection] = state_.RefChannelCorrection;
    v[LastRbs::TempCorrection] = state_.TempCorrection;
    v[LastRbs::AlternateCommands] = state_.alternateCommands ? 1 : 0;
    settings.deviceFile = FileNameOf(state_.DevicePath);
    const std::string path = SettingsPath(kLastRbsName);
    OwnFile file = OpenOwnFile(path, false);
    if (!file.refusal.empty()) {
        seams_.prompts.ShowWarning("Settings Not Saved",
                                   NotSavedText("the settings", path, file.refusal));
        return;
    }
    if (!WriteOwnFile(file, FormatLastRbs(settings))) return;
    const std::string chartPath = SettingsPath(kChartPropertiesName);
    OwnFile chartFile = OpenOwnFile(chartPath, false);
    if (!chartFile.refusal.empty()) {
        seams_.prompts.ShowWarning("Settings Not Saved",
                                   NotSavedText("the chart's look", chartPath, chartFile.refusal));
        return;
    }
    WriteOwnFile(chartFile, WriteChartProperties(plot_.Model().Properties()));
}

}  // namespace kivo
