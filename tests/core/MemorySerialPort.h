#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "core/seams/SerialPort.h"

namespace kivo {

// A serial port in memory: the test puts bytes where the meter's would arrive and reads
// back what the host wrote.
class MemorySerialPort final : public SerialPort {
public:
    bool Open(const std::string& path, int baud) override {
        opens.push_back(path + "@" + std::to_string(baud));
        if (openable.count(path) == 0) return false;
        open = true;
        openPath = path;
        openBaud = baud;
        return true;
    }
    bool Close() override {
        const bool ok = !failClose;
        open = false;
        return ok;
    }
    bool IsOpen() const override { return open; }
    bool Write(const char* data, std::size_t count) override {
        if (!open) return false;
        written.append(data, count);
        ++writeCalls;
        return true;
    }
    long Read(char* buffer, std::size_t max) override {
        if (!open || failed) return -1;
        const std::size_t n = incoming.size() < max ? incoming.size() : max;
        incoming.copy(buffer, n);
        incoming.erase(0, n);
        largestRead = n > largestRead ? n : largestRead;
        return static_cast<long>(n);
    }

    std::set<std::string> openable;
    std::vector<std::string> opens;  // "path@baud" for every attempt
    bool open = false;
    bool failClose = false;
    bool failed = false;
    std::string openPath;
    int openBaud = 0;
    std::string incoming;
    std::string written;
    int writeCalls = 0;
    std::size_t largestRead = 0;
};

}  // namespace kivo
