#pragma once

#include <cstddef>
#include <string>

#include "core/seams/SerialPort.h"

namespace kivo {

// For a tool that reads recorded files only: there is no port to open.
class NoSerialPort final : public SerialPort {
public:
    bool Open(const std::string&, int) override { return false; }
    bool Close() override { return true; }
    bool IsOpen() const override { return false; }
    bool Write(const char*, std::size_t) override { return false; }
    long Read(char*, std::size_t) override { return -1; }
};

}  // namespace kivo
