// Loading the meter's device file and fitting the plot choices to it.
#include <fstream>
#include <optional>
#include <string>

#include "core/data/DeviceFile.h"
#include "core/files/FileDigest.h"
#include "core/files/RegularFile.h"
#include "core/host/Session.h"

namespace kivo {

namespace {
const FileDialogSpec kDeviceFileDialog{"Open Device File",
                                       "Device File (*.dev)|*.dev|All files (*.*)|*.*", "dev"};
}  // namespace

void Session::LoadDeviceFileClick() {
    const std::optional<std::string> path = seams_.prompts.OpenFileName(kDeviceFileDialog);
    if (!path) return;
    LoadDeviceFile(*path);
}

bool Session::ReadDeviceFileAt(const std::string& path, const std::string& openPath) {
    state_.DevicePath = path;
    // Only a regular file is a device file: /dev/zero, a pipe or a terminal never ends and
    // would hang the loader (a hand-edited last.rbs can name one at every start).
    if (!IsRegularFile(openPath)) {
        state_.DevicePath.clear();
        return false;
    }
    std::ifstream file(openPath);
    if (file) recording_.StopEngrForNewDeviceFile();
    // Every read starts from a cleared calibration, so the reference capture starts again too.
    if (file) chain_.DeviceFileLoaded();
    if (!file || !ReadDeviceFile(file, calibration_, state_.DeviceName, seams_.prompts)) {
        state_.DevicePath.clear();
        if (file) deviceFile_.Reset();  // its calibration is gone
        return false;
    }
    deviceFile_ = files_.Register(openPath, roles::kDeviceFile);
    quality_.Restart();
    RefreshShipFeed();
    state_.PlotSetupPending = true;
    // Which calibration the data were converted with is part of their story.
    const std::optional<std::string> digest = Sha256HexOfFile(openPath);
    LogEvent("device file loaded " + path + ", SHA-256 " + digest.value_or("unreadable") +
             ", first line \"" + state_.DeviceName + "\"" +
             (meter_.Setup().meterIdentified ? ", meter " + meter_.Setup().identification
                                             : std::string()));
    CheckDeviceAgainstMeter();
    return true;
}

bool Session::LoadDeviceFile(const std::string& path) {
    if (!ReadDeviceFileAt(path, path)) {
        // A file that would not even open gets no message; one that failed to load does.
        // Anything but a regular file counts as missing and is never opened to find out:
        // opening a pipe waits for a writer.
        if (IsRegularFile(path) && std::ifstream(path)) {
            seams_.prompts.ShowWarning("Device File Error",
                                       "Missing or Invalid device file '" + path + "'");
        }
        return false;
    }
    ShownState& shown = Show();
    shown.deviceFile = "Device File:  " + path;
    shown.chooseDeviceFilePrompt = false;
    RequestPage(PagePlot);
    ApplyDeviceFile(calibration_.definitionCount);
    return true;
}

void Session::ApplyDeviceFile(int columns) {
    ChartModel& chart = plot_.Model();
    if (chart.Title() != state_.DeviceName) chart.SetTitle(state_.DeviceName);
    CountKinds(calibration_, columns);
    const bool engrUnits = state_.PlotType == plot_type::kEngineeringUnits;
    const PlotSelectorVisibility visible = VisiblePlotSelectors(calibration_, engrUnits);
    ShownState& shown = Show();
    shown.selectors.plotType = visible.plotType;
    shown.selectors.iTemp = visible.iTemp;
    shown.selectors.xTemp = visible.xTemp;
    shown.selectors.pressure = visible.pressure;
    shown.selectors.scattering = visible.scattering;
    if (visible.hideFlSetup) shown.setup.flSetupPage = false;
}

}  // namespace kivo
