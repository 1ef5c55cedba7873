#pragma once

#include <QSerialPort>
#include <cstddef>
#include <string>

#include "core/seams/SerialPort.h"

namespace kivo {

// The serial link over QSerialPort: 8N1, no flow control, reads that never wait,
// writes that return once the bytes have been handed to the driver.
class QtSerialPort final : public SerialPort {
public:
    QtSerialPort();

    bool Open(const std::string& path, int baud) override;
    bool Close() override;
    bool IsOpen() const override;
    bool Write(const char* data, std::size_t count) override;
    long Read(char* buffer, std::size_t max) override;

    // Bytes received and not yet read: those the driver holds and those already in
    // QSerialPort's buffer. A pump that keeps up keeps this small.
    long Waiting() const;

private:
    QSerialPort port_;
};

}  // namespace kivo
