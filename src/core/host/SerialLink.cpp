#include "core/host/SerialLink.h"

namespace kivo {

SerialLink::SerialLink(SerialPort& port, const ComPortMap& ports, Prompts& prompts,
                       SharedState& state)
    : port_(port), ports_(ports), prompts_(prompts), state_(state) {}

int SerialLink::BaudOfIndex(int baudIndex) {
    switch (baudIndex) {
        case 0:
            return 4800;
        case 1:
            return 9600;
        case 3:
            return 38400;
        default:
            return 19200;
    }
}

void SerialLink::SerialOpen(int portNumber, const std::string& /*name*/) {
    if (port_.IsOpen()) port_.Close();
    const std::string path = ports_.PathOf(portNumber);
    if (path.empty() || !port_.Open(path, BaudOfIndex(state_.BaudIndex))) {
        state_.PortNumber = 0;
        prompts_.ShowMessage("Comm Error",
                             "Could Not Open Comm Port " + std::to_string(portNumber));
        return;
    }
    state_.PortNumber = portNumber;
}

bool SerialLink::Reopen(int portNumber) {
    if (port_.IsOpen()) port_.Close();
    const std::string path = ports_.PathOf(portNumber);
    if (path.empty() || !port_.Open(path, BaudOfIndex(state_.BaudIndex))) return false;
    state_.PortNumber = portNumber;
    return true;
}

void SerialLink::SerialClose() {
    const bool wasOpen = port_.IsOpen();
    const bool released = wasOpen ? port_.Close() : true;
    if (!released && state_.PortNumber != 0)
        prompts_.ShowMessage("Comm Error", "Could Not Close Comm  Port");
    state_.PortNumber = 0;
}

void SerialLink::SerialSetSpeed(int baud) {
    switch (baud) {
        case 4800:
            state_.BaudIndex = 0;
            break;
        case 9600:
            state_.BaudIndex = 1;
            break;
        case 19200:
            state_.BaudIndex = 2;
            break;
        case 38400:
            state_.BaudIndex = 3;
            break;
        default:
            break;
    }
}

bool SerialLink::SerialWrite(const char* data, std::size_t count) {
    if (!port_.IsOpen()) return false;
    return port_.Write(data, count);
}

long SerialLink::SerialRead(char* buffer, std::size_t max) {
    if (!port_.IsOpen()) return -1;
    return port_.Read(buffer, max);
}

void SerialLink::SendCommand(const std::string& text) {
    // One write of the whole line: the meter sees the same bytes as from two writes,
    // and a half-written command cannot be left behind.
    SerialWrite(text + "\r\n");
}

}  // namespace kivo
