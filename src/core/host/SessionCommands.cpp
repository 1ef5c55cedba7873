// The operator's buttons that talk to the meter. Each sends its command and returns; the
// meter's answer arrives later as a reply line and only then changes the setup state.
#include <functional>
#include <optional>
#include <string>

#include "core/host/Session.h"
#include "core/protocol/ReplyParser.h"

namespace kivo {

// ---- data stream ----------------------------------------------------------------------

void Session::BTStartClick() {
    state_.RateLineCount = -1;
    if (state_.ReplayMode) {
        state_.ReplayRunning = true;
        Show().startButton = "Resume Replay";
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

}  // namespace kivo
