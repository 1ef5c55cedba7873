#pragma once

#include <cstddef>
#include <string>

namespace kivo {

// One serial device at 8 data bits, no parity, 1 stop bit, no flow control.
// The window uses QSerialPort; tests use an in-memory pair or a pty.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens the device at `path` exclusively at `baud`; false when it cannot be opened.
    virtual bool Open(const std::string& path, int baud) = 0;
    // Releases the device; false when the release itself failed.
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;
    // Returns once every byte has left the host; false on failure or when closed.
    virtual bool Write(const char* data, std::size_t count) = 0;
    // Never waits: the bytes already received, up to `max`. 0 when none waited,
    // -1 when the device failed (unplugged adapter) or is closed.
    virtual long Read(char* buffer, std::size_t max) = 0;
};

}  // namespace kivo
