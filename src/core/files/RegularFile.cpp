#include "core/files/RegularFile.h"

#include <sys/stat.h>

namespace kivo {

bool IsRegularFile(const std::string& path) {
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace kivo
