#include "core/host/SerialLink.h"

#include <optional>

#include "core/seams/BaudRates.h"

namespace kivo {

SerialLink::SerialLink(SerialPort& port, const ComPortMap& ports, Prompts& prompts,
                       SharedState& state)
    : port_(port), ports_(ports), prompts_(prompts), state_(state) {}

int SerialLink::BaudOfIndex(int baudIndex) {
    const bool known = baudIndex >= 0 && baudIndex < static_cast<int>(kBaudRates.size());
    return kBaudRates[known ? static_cast<std::size_t>(baudIndex) : kDefaultBaudItem];
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
    // A speed the meters do not have changes nothing.
    if (const std::optional<int> item = BaudItemOf(baud)) state_.BaudIndex = *item;
}

bool SerialLink::SerialWrite(const char* data, std::size_t count) {
    if (!port_.IsOpen()) return false;
    const bool ok = port_.Write(data, count);
    if (observer_) {
        std::string sent(data, count);
        while (!sent.empty() && (sent.back() == '\n' || sent.back() == '\r')) sent.pop_back();
        observer_(sent, ok);
    }
    return ok;
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
