#pragma once

#include <cstddef>
#include <string>

#include "core/seams/SerialPort.h"

namespace kivo {

// The serial link for the headless tools, on the device directly: raw 8N1, no flow control,
// reads that never wait. A device that goes away (read error or hang-up) reads as -1. Only
// a character device opens: a regular file would be read again from its start at every
// reconnect.
class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;
    ~PosixSerialPort() override;

    bool Open(const std::string& path, int baud) override;
    bool Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    bool Write(const char* data, std::size_t count) override;
    long Read(char* buffer, std::size_t max) override;

private:
    int fd_ = -1;
};

// False for an existing path that is no character device (a file, a FIFO, a folder), so a
// port given by path can be refused with its reason; true when there is nothing there.
// Never blocks.
bool CouldBeAPort(const std::string& path);

}  // namespace kivo
