// The window's status labels: what the session's status looks like on the screen.
#include "core/host/StatusLabels.h"

#include <cstddef>
#include <string>

#include "core/host/ClockOffset.h"
#include "core/text/CFormat.h"

namespace kivo {

void PresentStatus(const SessionStatus& status, ShownState& shown) {
    shown.powerUser = status.powerUser;
    // The statistics of raw counts are the power user's.
    shown.selectors.statistics =
        status.powerUser && status.choices.PlotType == plot_type::kRawCounts;
    shown.bytesRead =
        FormatC("Bytes Read: %llu", static_cast<unsigned long long>(status.bytesRead));
    shown.rawFileSize =
        FormatC("Raw File Size: %lld K", static_cast<long long>(status.rawBytes / 1024));
    shown.engrFileSize =
        FormatC("Engr Units File Size: %lld K", static_cast<long long>(status.engBytes / 1024));
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
    shown.recordStatus = recording;
    if (status.clockOffsetSeconds)
        shown.clockOffset = "Clock Offset: " + OffsetText(*status.clockOffsetSeconds);
    shown.receiveFileSize =
        FormatC("Receive File Size: %lld K", static_cast<long long>(status.downloadBytes / 1024));
    shown.receiveFailed = status.download == DownloadState::Incomplete;
    static constexpr const char* kReceiveStatus[] = {
        "Receive File Status:  ", "Receive File Status:  In Progress",
        "Receive File Status:  Complete", "Receive File Status:  Incomplete",
        "Receive File Status:  Cancelled"};
    shown.receiveStatus = kReceiveStatus[static_cast<std::size_t>(status.download)];
}

}  // namespace kivo
