// The window's status labels: what the session's status looks like on the screen.
#include "core/host/StatusLabels.h"

#include <cstddef>
#include <string>

#include "core/host/ClockOffset.h"
#include "core/text/CFormat.h"

namespace kivo {

void PresentStatus(const SessionStatus& status, View& view) {
    if (status.powerUser) {
        view.SetText(Control::PowerUserPanel, "Power User");
        view.SetColour(Control::PowerUserPanel, Colour::Red);
        view.SetVisible(Control::StdDevCB, status.choices.PlotType == plot_type::kRawCounts);
    } else {
        view.SetText(Control::PowerUserPanel, "Normal User");
        view.SetColour(Control::PowerUserPanel, Colour::ButtonFace);
        view.SetVisible(Control::StdDevCB, false);
    }
    view.SetText(Control::LBTotalIn,
                 FormatC("Bytes Read: %llu", static_cast<unsigned long long>(status.bytesRead)));
    view.SetText(Control::LBRawFileSize,
                 FormatC("Raw File Size: %lld K", static_cast<long long>(status.rawBytes / 1024)));
    view.SetText(Control::LBEngrFileSize, FormatC("Engr Units File Size: %lld K",
                                                  static_cast<long long>(status.engBytes / 1024)));
    std::string recording = "Recording:  OFF";
    if (status.rawRecording && status.engRecording)
        recording = "Recording:  Raw + Engr Units";
    else if (status.rawRecording)
        recording = "Recording:  Raw";
    else if (status.engRecording)
        recording = "Recording:  Engr Units";
    // The CSV recording (with the host's receive time) is named after the others.
    if (status.csvRecording)
        recording =
            status.rawRecording || status.engRecording ? recording + " + CSV" : "Recording:  CSV";
    view.SetText(Control::LBRecordStatus, recording);
    if (status.clockOffsetSeconds)
        view.SetText(Control::LBClockOffset,
                     "Clock Offset: " + OffsetText(*status.clockOffsetSeconds));
    view.SetText(
        Control::LBReceiveFileSize,
        FormatC("Receive File Size: %lld K", static_cast<long long>(status.downloadBytes / 1024)));
    const Colour receiveColour =
        status.download == DownloadState::Incomplete ? Colour::Red : Colour::ButtonFace;
    view.SetColour(Control::LBReceiveFileSize, receiveColour);
    view.SetColour(Control::LBReceiveStatus, receiveColour);
    static constexpr const char* kReceiveStatus[] = {
        "Receive File Status:  ", "Receive File Status:  In Progress",
        "Receive File Status:  Complete", "Receive File Status:  Incomplete",
        "Receive File Status:  Cancelled"};
    view.SetText(Control::LBReceiveStatus,
                 kReceiveStatus[static_cast<std::size_t>(status.download)]);
}

}  // namespace kivo
