#pragma once

// A whole Session as the window runs it, on an in-memory port, without a display. The pump
// targets keep one per process (or one per device file) and feed it input after input, the
// way a long unattended run would; it is rebuilt now and then so its files stay small.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "MemorySerialPort.h"
#include "core/host/Session.h"

namespace kivo::fuzz {

inline constexpr const char* kMeterPortPath = "/dev/kivo-fuzz-meter";

class PumpSession {
public:
    // `deviceFile`: the device file to load, or empty for none.
    explicit PumpSession(const std::string& deviceFile)
        : session_(Seams{port_, prompts_, clock_, Ports(), [](int) {}, folder_.Path()}) {
        port_.openable = {kMeterPortPath};
        session_.Timer55msTimer();     // the first-tick start-up work
        session_.Timer1SecondTimer();  // the restore: there is no last.rbs in the folder
        if (!deviceFile.empty() && !session_.LoadDeviceFile(deviceFile)) {
            std::fprintf(stderr, "kivo fuzz: %s does not load\n", deviceFile.c_str());
            std::abort();
        }
        session_.Port().SelectHostPort(1, 2);  // COM1 at 19200 baud
        FUZZ_CHECK(port_.IsOpen());
        // Let the automatic "$mnu" go out now, so inputs find the port's output empty.
        while (session_.State().autoMenuCountdown != 0) session_.Timer55msTimer();
        port_.written.clear();
    }

    Session& session() { return session_; }
    MemorySerialPort& port() { return port_; }
    CountingPrompts& prompts() { return prompts_; }
    FixedClock& clock() { return clock_; }
    const ScratchFolder& folder() const { return folder_; }

    // Shows the alternate-command layout or the normal one, through the menu's handler.
    void SetAlternateCommands(bool on) {
        if (session_.State().alternateCommands != on) session_.Meter().ToggleAlternateCommands();
    }

private:
    static ComPortMap Ports() {
        ComPortMap ports;
        ports.Map(1, kMeterPortPath);
        return ports;
    }

    ScratchFolder folder_;
    MemorySerialPort port_;
    CountingPrompts prompts_;
    FixedClock clock_;
    Session session_;
};

}  // namespace kivo::fuzz
