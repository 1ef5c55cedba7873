#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

#include "core/host/ComPortMap.h"
#include "core/host/SharedState.h"
#include "core/seams/Prompts.h"
#include "core/seams/SerialPort.h"

namespace kivo {

// The one serial link to the meter: which COM port is open, at which speed, and the
// operator's messages when the port will not open or close.
class SerialLink {
public:
    SerialLink(SerialPort& port, const ComPortMap& ports, Prompts& prompts, SharedState& state);

    // Opens COMn (n 1-8) at the speed of BaudIndex. `name` is the operator's name for it.
    void SerialOpen(int portNumber, const std::string& name);
    void SerialClose();
    // 4800, 9600, 19200 or 38400 select the speed of the next open; other rates are ignored.
    void SerialSetSpeed(int baud);
    // True when every byte has left the host.
    bool SerialWrite(const char* data, std::size_t count);
    bool SerialWrite(const std::string& text) { return SerialWrite(text.data(), text.size()); }
    // Never waits. The count of bytes stored, 0 when none waited; -1 when the port failed
    // (an adapter pulled out) or no port is open.
    long SerialRead(char* buffer, std::size_t max);

    // Opens COMn again after it went away, without telling the operator when it still
    // cannot be opened. True when it is open.
    bool Reopen(int portNumber);

    // A command line: the text, then CR LF. Nothing waits for a reply.
    void SendCommand(const std::string& text);

    // Told of every write to an open port: the bytes as sent, without a closing CR LF, and
    // whether they all left. The event log keeps every command this way.
    using WriteObserver = std::function<void(const std::string& sent, bool ok)>;
    void SetWriteObserver(WriteObserver observer) { observer_ = std::move(observer); }

    static int BaudOfIndex(int baudIndex);
    const ComPortMap& Ports() const { return ports_; }

private:
    SerialPort& port_;
    const ComPortMap& ports_;
    Prompts& prompts_;
    SharedState& state_;
    WriteObserver observer_;
};

}  // namespace kivo
