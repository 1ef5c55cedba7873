#include "core/host/PortKeeper.h"

#include <cstddef>
#include <string>
#include <utility>

#include "core/seams/BaudRates.h"

namespace kivo {

namespace {
constexpr int kRetryTicks = 36;  // about 2 s of 55 ms ticks
constexpr const char* kLostPortCaption = "Comm Error";

// An item the selector has, or -1: it keeps no selection for any other.
int ItemOf(int item, std::size_t count) {
    return item >= 0 && static_cast<std::size_t>(item) < count ? item : -1;
}
}  // namespace

PortKeeper::PortKeeper(PortLinks links)
    : links_(std::move(links)), link_(links_.port, links_.ports, links_.prompts, links_.state) {}

void PortKeeper::SelectHostPort(int portItem, int baudItem) {
    ShownState& shown = links_.show();
    shown.portItem = ItemOf(portItem, static_cast<std::size_t>(ComPortMap::kPorts) + 1);
    shown.baudItem = ItemOf(baudItem, kBaudRates.size());
    ApplyChoice();
}

void PortKeeper::ApplyChoice() {
    ShownState& shown = links_.show();
    SharedState& state = links_.state;
    lostPort_ = 0;  // the operator's choice ends any retrying
    link_.SerialClose();
    const int baudItem = shown.baudItem.value_or(-1);
    if (baudItem >= 0 && baudItem < static_cast<int>(kBaudRates.size())) {
        link_.SerialSetSpeed(kBaudRates[static_cast<std::size_t>(baudItem)]);
    } else {
        shown.baudItem = kDefaultBaudItem;
        link_.SerialSetSpeed(kBaudRates[kDefaultBaudItem]);
    }
    const int portItem = shown.portItem.value_or(-1);
    if (portItem == 0) {
        shown.choosePortPrompt = true;
    } else if (portItem >= 1 && portItem <= ComPortMap::kPorts) {
        link_.SerialOpen(portItem, "COM" + std::to_string(portItem));
        shown.choosePortPrompt = false;
        if (state.PortNumber != 0) {
            links_.connected(false);
            links_.log("port opened COM" + std::to_string(portItem) + " " +
                       links_.ports.PathOf(portItem) + " at " +
                       std::to_string(SerialLink::BaudOfIndex(state.BaudIndex)) + " baud");
        }
    }
    state.autoMenuCountdown = 10;
}

void PortKeeper::ReadFailed() {
    lostPort_ = links_.state.PortNumber;
    links_.log("port lost COM" + std::to_string(lostPort_) + " " + links_.ports.PathOf(lostPort_));
    link_.SerialClose();
    retryTicks_ = kRetryTicks;
    const std::string port = "COM" + std::to_string(lostPort_);
    lostPortText_ = "Lost Comm Port " + std::to_string(lostPort_) + " (" +
                    links_.ports.PathOf(lostPort_) + ").\nTrying " + port +
                    " again every 2 seconds; choose another port at any time.";
    links_.prompts.ShowMessage(kLostPortCaption, lostPortText_);
}

void PortKeeper::RetryTick() {
    if (lostPort_ == 0 || --retryTicks_ > 0) return;
    retryTicks_ = kRetryTicks;
    if (!link_.Reopen(lostPort_)) return;
    links_.log("port back COM" + std::to_string(lostPort_) + " " + links_.ports.PathOf(lostPort_));
    // The box saying it was lost would now tell the operator something untrue.
    links_.prompts.CloseMessage(kLostPortCaption, lostPortText_);
    lostPort_ = 0;
    ++reconnections_;
    // As after any opening of the port, the meter's setup is asked for.
    links_.state.autoMenuCountdown = 10;
    links_.connected(true);
}

}  // namespace kivo
