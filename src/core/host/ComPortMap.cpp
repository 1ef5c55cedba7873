#include "core/host/ComPortMap.h"

#include <cstdlib>
#include <fstream>

#include "core/files/RegularFile.h"
#include "core/settings/PortSettings.h"

namespace kivo {

ComPortMap::ComPortMap() {
    for (int n = 1; n <= kPorts; ++n) paths_[n - 1] = "/dev/ttyS" + std::to_string(n - 1);
}

std::string ComPortMap::PathOf(int portNumber) const {
    if (portNumber < 1 || portNumber > kPorts) return {};
    return paths_[portNumber - 1];
}

void ComPortMap::Map(int portNumber, const std::string& path) {
    if (portNumber < 1 || portNumber > kPorts) return;
    paths_[portNumber - 1] = path;
    mapped_[portNumber - 1] = true;
}

bool ComPortMap::IsMapped(int portNumber) const {
    return portNumber >= 1 && portNumber <= kPorts && mapped_[portNumber - 1];
}

std::optional<std::string> ComPortMap::ApplyOverride(const std::string& argument) {
    const auto equals = argument.find('=');
    if (equals == std::string::npos)
        return "expected N=PATH with N from 1 to 8, got '" + argument + "'";
    const std::string number = argument.substr(0, equals);
    const std::string path = argument.substr(equals + 1);
    if (number.size() != 1 || number[0] < '1' || number[0] > '8')
        return "port number must be 1 to 8, got '" + number + "'";
    if (path.empty()) return "no device path given for COM" + number;
    Map(number[0] - '0', path);
    return std::nullopt;
}

std::vector<int> ComPortMap::ApplySettingsFile(const std::string& path) {
    std::vector<int> mapped;
    if (!IsRegularFile(path)) return mapped;  // a pipe in its place would hold the start
    std::ifstream file(path);
    const PortSettings settings = ReadPortSettings(file);
    for (int n = 1; n <= kPorts; ++n) {
        const std::string& device = settings.devices[static_cast<std::size_t>(n - 1)];
        if (device.empty() || IsMapped(n)) continue;
        Map(n, device);
        mapped.push_back(n);
    }
    return mapped;
}

}  // namespace kivo
