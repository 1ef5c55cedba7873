#pragma once

#include <array>
#include <functional>
#include <string>

#include "core/host/Clock.h"
#include "core/host/ComPortMap.h"
#include "core/host/LineAssembler.h"
#include "core/host/SerialLink.h"
#include "core/host/SerialPort.h"
#include "core/host/SharedState.h"
#include "core/host/View.h"

namespace kivo {

// What the session needs from the world around it.
struct Seams {
    SerialPort& port;
    View& view;
    Prompts& prompts;
    Clock& clock;
    ComPortMap ports;
    // Ends the process with an exit status. The window quits its event loop, so every
    // destructor runs and open files are flushed; tests record the status instead.
    std::function<void(int)> exitProcess;
};

// The whole state of one run of the program and the work of its timers and handlers.
// The window owns one; the command-line tools own one too, with their own seams.
class Session : private LineSink {
public:
    static constexpr std::size_t kReceiveBufferSize = 1000;

    explicit Session(Seams seams);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() override;

    // ---- timers ----
    void Timer55msTimer();
    void Timer500msTimer();
    void Timer1SecondTimer();

    // ---- handlers: port selection ----
    void CBHostPortChange();
    // The port dialog's OK: its two selections become the main window's.
    void SelectHostPort(int portItem, int baudItem);

    // ---- handlers: application ----
    void Exit1Click();
    void BTExitClick();

    // ---- parts of a tick, callable on their own ----
    void PumpLines();

    SharedState& State() { return state_; }
    const SharedState& State() const { return state_; }
    SerialLink& Link() { return link_; }

private:
    void FirstTickWork();
    void RefreshStatusLabels();
    void HandleLine(const std::string& line);

    // LineSink
    void OnLine(const std::string& line) override;
    void OnOverflow() override;

    Seams seams_;
    SharedState state_;
    SerialLink link_;
    LineAssembler assembler_;
    std::array<char, kReceiveBufferSize> receiveBuffer_{};
    bool firstPumpTick_ = true;
    bool firstSecondTick_ = true;
};

}  // namespace kivo
