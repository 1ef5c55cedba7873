#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "FakePrompts.h"
#include "FileBytes.h"
#include "MemorySerialPort.h"
#include "core/host/Session.h"
#include "core/seams/Clock.h"

namespace kivo::test {

// A clock the test sets; its milliseconds move only when the test moves them.
class FixedClock final : public Clock {
public:
    LocalTime now;
    std::int64_t utcMs = 1796745723123;  // 2026-12-08T16:02:03.123Z
    std::int64_t steadyMs = 1000000;
    LocalTime Now() override { return now; }
    std::int64_t UtcMilliseconds() override { return utcMs; }
    std::int64_t SteadyMilliseconds() override { return steadyMs; }
    void Advance(std::int64_t ms) {
        utcMs += ms;
        steadyMs += ms;
    }
};

// A whole session on an in-memory port and scripted prompts; its settings files live in a
// scratch folder.
struct SessionFixture {
    ScratchDirectory folder;
    MemorySerialPort port;
    FakePrompts prompts;
    FixedClock clock;
    std::vector<int> exits;
    Session session;

    explicit SessionFixture(ComPortMap ports = DefaultPorts())
        : session(Seams{port, prompts, clock, std::move(ports),
                        [this](int status) { exits.push_back(status); }, folder.path, true}) {
        port.openable = {"/dev/meter1"};
    }

    static ComPortMap DefaultPorts() {
        ComPortMap ports;
        ports.Map(1, "/dev/meter1");
        return ports;
    }

    // Chooses COM1 at 19200 as the operator would.
    void OpenMeterPort() { session.Port().SelectHostPort(1, 2); }
    // What the window would show now.
    const ShownState& Shown() const { return session.Shown(); }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) session.Timer55msTimer();
    }
};

inline std::string TestDataFile(const std::string& name) {
    return std::string(KIVO_TEST_DATA) + "/" + name;
}

// A session with COM1 open, a device file loaded through the menu and the automatic "$mnu"
// already gone out: ready for the meter's lines.
struct MeterSession : SessionFixture {
    explicit MeterSession(const std::string& deviceFile = "fluoro.dev") {
        Ticks(1);
        OpenMeterPort();
        prompts.openAnswers.push_back(TestDataFile(deviceFile));
        session.LoadDeviceFileClick();
        Ticks(10);
    }
    // The bytes arrive and one tick takes them.
    void Receive(const std::string& bytes) {
        port.incoming += bytes;
        Ticks(1);
    }
};

}  // namespace kivo::test
