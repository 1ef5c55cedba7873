#include "tools/kivo-log/RecordTargets.h"

#include <sys/stat.h>

#include <cstddef>
#include <fstream>
#include <utility>
#include <vector>

#include "core/export/CsvExporter.h"
#include "core/files/FileIdentity.h"
#include "core/files/RegularFile.h"

namespace kivo {

std::optional<std::string> RefuseSharedTargets(const LogOptions& options,
                                               const std::string& portPath) {
    const std::vector<std::pair<std::string, std::string>> targets = {
        {"--raw", options.rawPath}, {"--eng", options.engPath}, {"--csv", options.csvPath}};
    for (std::size_t i = 0; i < targets.size(); ++i) {
        for (std::size_t j = i + 1; j < targets.size(); ++j) {
            const std::string& a = targets[i].second;
            const std::string& b = targets[j].second;
            if (!a.empty() && !b.empty() && SameFile(a, b))
                return targets[i].first + " and " + targets[j].first + " name the same file '" + a +
                       "'";
        }
    }
    for (const auto& [option, target] : targets) {
        if (target.empty()) continue;
        if (SameFile(target, options.devicePath))
            return "the record file '" + target + "' is the device file; refusing to write over it";
        if (SameFile(target, portPath))
            return "the record file '" + target + "' is the meter's port";
    }
    return std::nullopt;
}

std::optional<std::string> RefuseExistingTarget(const std::string& path,
                                                const LogOptions& options) {
    if (path.empty() || options.append || options.overwrite) return std::nullopt;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0)
        return std::nullopt;
    return "the record file '" + path +
           "' is already there; give --append to add to it or --overwrite to replace it";
}

std::optional<std::string> RefuseForeignHeading(const std::string& path, const std::string& heading,
                                                const std::string& kind) {
    // Only a regular file has a heading to read; an empty one gets the heading written.
    struct stat status {};
    if (!IsRegularFile(path) || ::stat(path.c_str(), &status) != 0 || status.st_size == 0)
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    // The heading ends in its line end, so a file that starts with it has it as first line.
    std::vector<char> start(heading.size());
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    if (std::string(start.data(), static_cast<std::size_t>(file.gcount())) == heading)
        return std::nullopt;
    return "the " + kind + " '" + path +
           "' has another heading than this device file gives; refusing to append to it";
}

std::optional<std::string> RefuseOtherCsvColumns(const std::string& path,
                                                 const std::string& heading) {
    struct stat status {};
    if (!IsRegularFile(path) || ::stat(path.c_str(), &status) != 0 || status.st_size == 0)
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    const std::optional<std::string> found = CsvHeadingOf(file);
    std::string wanted = heading;
    while (!wanted.empty() && (wanted.back() == '\n' || wanted.back() == '\r')) wanted.pop_back();
    if (found == wanted) return std::nullopt;
    return "the CSV file '" + path + "' has other columns than this device file gives (heading " +
           (found ? "'" + *found + "'" : std::string("none")) + ", not '" + wanted +
           "'); refusing to append to it";
}

}  // namespace kivo
