// Loading the meter's device file and fitting the plot choices to it.
#include <fstream>

#include "core/data/DeviceFile.h"
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

bool Session::LoadDeviceFile(const std::string& path) {
    state_.DevicePath = path;
    std::ifstream file(path);
    if (!file) {
        state_.DevicePath.clear();
        return false;
    }
    if (!ReadDeviceFile(file, calibration_, state_.DeviceName, seams_.prompts)) {
        seams_.prompts.ShowWarning("Device File Error",
                                   "Missing or Invalid device file '" + path + "'");
        state_.DevicePath.clear();
        return false;
    }
    state_.PlotSetupPending = true;
    seams_.view.SetText(Control::LBDeviceFile, "Device File:  " + path);
    seams_.view.SetVisible(Control::PMeterType, false);
    seams_.view.SetActivePage(PagePlot);
    ApplyDeviceFile(calibration_.definitionCount);
    return true;
}

void Session::ApplyDeviceFile(int columns) {
    CountKinds(calibration_, columns);
    const bool engrUnits = seams_.view.ItemIndex(Control::PlotTypeCB) == 1;
    const PlotSelectorVisibility visible = VisiblePlotSelectors(calibration_, engrUnits);
    View& view = seams_.view;
    view.SetVisible(Control::PlotTypeCB, visible.plotType);
    view.SetVisible(Control::iTempCB, visible.iTemp);
    view.SetVisible(Control::xTempCB, visible.xTemp);
    view.SetVisible(Control::PresCB, visible.pressure);
    view.SetVisible(Control::BBPlotCB, visible.scattering);
    if (visible.hideFlSetup) view.SetPageVisible(PageFLSetup, false);
}

}  // namespace kivo
