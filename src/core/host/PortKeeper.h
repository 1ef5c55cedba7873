#pragma once

#include <functional>
#include <string>

#include "core/host/ComPortMap.h"
#include "core/host/SerialLink.h"
#include "core/host/SharedState.h"
#include "core/host/ShownState.h"
#include "core/seams/Prompts.h"
#include "core/seams/SerialPort.h"

namespace kivo {

// What the port control works with, owned by the session around it.
struct PortLinks {
    SerialPort& port;
    ComPortMap& ports;  // the device each COM number stands for
    Prompts& prompts;
    SharedState& state;  // the open COM number and speed
    std::function<ShownState&()> show;
    std::function<void(const std::string&)> log;
    // The meter is connected again: by the operator's choice (false) or a lost port back.
    std::function<void(bool back)> connected;
};

// The serial port the meter is on: opened at the speed the operator chose, and when it goes
// away (a USB adapter pulled out) told once and tried again every two seconds until it comes
// back or the operator chooses another.
class PortKeeper {
public:
    explicit PortKeeper(PortLinks links);
    PortKeeper(const PortKeeper&) = delete;
    PortKeeper& operator=(const PortKeeper&) = delete;

    // The port and baud selectors' items (-1: none chosen), from either selector or from the
    // port dialog's OK: the port is opened at that speed. An item the selector does not have
    // is none.
    void SelectHostPort(int portItem, int baudItem);
    // A read failed on the open port: it went away.
    void ReadFailed();
    // Each tick: the lost port tried again every two seconds.
    void RetryTick();

    SerialLink& Link() { return link_; }
    // The COM port that went away and is being retried; 0 when none is.
    int LostPort() const { return lostPort_; }
    // How often a port that went away came back; the logger restarts the data after each.
    int Reconnections() const { return reconnections_; }

private:
    void ApplyChoice();

    PortLinks links_;
    SerialLink link_;
    int lostPort_ = 0;
    std::string lostPortText_;  // the open box that told the loss, closed when it is back
    int retryTicks_ = 0;
    int reconnections_ = 0;
};

}  // namespace kivo
