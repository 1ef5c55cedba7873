#include "core/host/RecordNames.h"

#include <filesystem>

#include "core/files/EventLog.h"

namespace kivo {

std::string FileStem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

std::string ProposeRecordPath(const std::string& folder, const std::string& stem,
                              std::int64_t utcMilliseconds, const std::string& extension,
                              const std::function<bool(const std::string&)>& exists) {
    const std::string start = folder.empty() ? std::string() : folder + "/";
    // A day of names taken in a row is no folder anyone records into; the last is given.
    std::string path;
    for (int step = 0; step < 86400; ++step) {
        path = start + stem + "_" + UtcFileStamp(utcMilliseconds + step * 1000LL) + "." + extension;
        if (!exists(path)) break;
    }
    return path;
}

}  // namespace kivo
