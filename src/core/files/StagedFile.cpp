#include "core/files/StagedFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace kivo {

namespace {

// The process's file mask, read rather than set and reset: umask() would change it for
// every thread.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

}  // namespace

std::string TemporaryBeside(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string pattern = folder + "." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) return {};
    ::close(fd);
    return buffer.data();
}

bool PutInPlace(const std::string& temporary, const std::string& path) {
    // mkstemp's permissions are the owner's only.
    ::chmod(temporary.c_str(), 0666 & ~CurrentUmask());
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace kivo
