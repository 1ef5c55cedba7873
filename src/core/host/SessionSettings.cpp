// Coming back as the operator left it: last.rbs, written by Exit, read on the first
// one-second tick.
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "core/files/RegularFile.h"
#include "core/host/Session.h"
#include "core/settings/LastRbs.h"

namespace kivo {

namespace {
constexpr const char* kChartPropertiesName = "kivoiocomp.rbs";

// A settings file is written where none is yet, or over a regular file. A folder, pipe or
// device in its place is left alone: opening a pipe to write would wait for a reader for
// ever, and a device is not ours to overwrite.
bool CanWriteSettingsFile(const std::string& path) {
    std::error_code error;
    return !std::filesystem::exists(path, error) || IsRegularFile(path);
}

std::string NotSavedText(const std::string& what, const std::string& path) {
    return "Exit did not save " + what + ": '" + path +
           "' is not a regular file (a folder, a pipe or a device) and was left as it is.\n"
           "Remove or rename it to save " +
           what + " at the next Exit.";
}
}  // namespace

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
    // The device file is named without its directory: it is found beside last.rbs.
    if (!ReadDeviceFileAt(saved->deviceFile, SettingsPath(saved->deviceFile))) return;

    View& view = seams_.view;
    const auto& v = saved->values;
    view.SetText(Control::LBDeviceFile, "Device File:  " + saved->deviceFile);
    view.SetItemIndex(Control::CBHostPort, v[LastRbs::HostPortItem]);
    view.SetItemIndex(Control::CBBaudRate, v[LastRbs::BaudRateItem]);
    state_.powerUser = v[LastRbs::PowerUser];
    state_.StatsMode = v[LastRbs::StatsMode];
    switch (state_.StatsMode) {
        case stats_mode::kRawCounts:
            view.SetItemIndex(Control::StdDevCB, 0);
            break;
        case stats_mode::kMean:
            view.SetItemIndex(Control::StdDevCB, 1);
            break;
        case stats_mode::kStdDev15:
            view.SetItemIndex(Control::StdDevCB, 2);
            break;
        case stats_mode::kStdDev60:
            view.SetItemIndex(Control::StdDevCB, 3);
            break;
        default:
            break;  // kept, though the list has no item for it
    }
    state_.PlotType = v[LastRbs::PlotType];
    state_.BBPlotChoice = v[LastRbs::BBPlotChoice];
    state_.ITempPlot = v[LastRbs::ITempPlot];
    state_.XTempPlot = v[LastRbs::XTempPlot];
    state_.PresPlot = v[LastRbs::PresPlot];
    view.SetItemIndex(Control::PlotTypeCB, state_.PlotType);
    view.SetItemIndex(Control::BBPlotCB, state_.BBPlotChoice);
    view.SetItemIndex(Control::iTempCB, state_.ITempPlot);
    view.SetItemIndex(Control::xTempCB, state_.XTempPlot);
    view.SetItemIndex(Control::PresCB, state_.PresPlot);
    state_.RefChannelCorrection = v[LastRbs::RefChannelCorrection];
    state_.TempCorrection = v[LastRbs::TempCorrection];
    // Set, invert, and let the handler invert it back while it applies the mode.
    state_.alternateCommands = !(v[LastRbs::AlternateCommands] != 0);
    EarlyCommandsClick();
    CBHostPortChange();
    StdDevCBChange();
    view.SetActivePage(PagePlot);
    view.SetVisible(Control::PMeterType, false);
    // A missing or damaged file leaves the chart's own look.
    chart_.LoadPropertiesFromFile(SettingsPath(kChartPropertiesName));
}

void Session::SaveLastSettings() {
    const int portItem = seams_.view.ItemIndex(Control::CBHostPort);
    if (portItem < 0 || state_.DevicePath.empty()) return;
    LastRbs settings;
    auto& v = settings.values;
    v[LastRbs::HostPortItem] = portItem;
    v[LastRbs::BaudRateItem] = seams_.view.ItemIndex(Control::CBBaudRate);
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
    if (!CanWriteSettingsFile(path)) {
        seams_.prompts.ShowWarning("Settings Not Saved", NotSavedText("the settings", path));
        return;
    }
    std::ofstream file(path, std::ios::trunc);
    if (!file) return;
    file << FormatLastRbs(settings);
    const std::string chartPath = SettingsPath(kChartPropertiesName);
    if (!CanWriteSettingsFile(chartPath)) {
        seams_.prompts.ShowWarning("Settings Not Saved",
                                   NotSavedText("the chart's look", chartPath));
        return;
    }
    chart_.SavePropertiesToFile(chartPath);
}

void Session::StdDevCBChange() {
    if (!state_.powerUser) return;
    static constexpr int kModes[] = {0, 1, 15, 60};
    const int item = seams_.view.ItemIndex(Control::StdDevCB);
    if (item >= 0 && item <= 3) state_.StatsMode = kModes[item];
    chart_.ClearAllData();
}

}  // namespace kivo
