#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

// The operator picks "COM1" to "COM8"; on this platform each stands for a device path.
// By default COMn is /dev/ttyS(n-1), the kernel's names for the built-in ports; a USB
// adapter (/dev/ttyUSB0, /dev/ttyACM0) or a simulated meter is mapped with --com.
class ComPortMap {
public:
    static constexpr int kPorts = 8;

    ComPortMap();

    // Path for COMn, n from 1 to 8; empty for any other n.
    std::string PathOf(int portNumber) const;
    void Map(int portNumber, const std::string& path);
    // True when COMn was mapped (by --com or the operator), not left at its default.
    bool IsMapped(int portNumber) const;

    // Applies one "--com" argument of the form "N=PATH" (N 1-8, PATH not empty).
    // Returns an error text, or nothing when it was applied.
    std::optional<std::string> ApplyOverride(const std::string& argument);

    // Maps the ports a kept settings file (kivoview-ports.ini) names that are not mapped
    // yet: a mapping given on the command line wins. Returns the numbers it mapped; none
    // when the file is missing.
    std::vector<int> ApplySettingsFile(const std::string& path);

private:
    std::array<std::string, kPorts> paths_;
    std::array<bool, kPorts> mapped_{};
};

}  // namespace kivo
