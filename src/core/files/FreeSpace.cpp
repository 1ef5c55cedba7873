#include "core/files/FreeSpace.h"

#include <sys/statvfs.h>

namespace kivo {

std::optional<std::int64_t> FreeBytesAt(const std::string& path) {
    // The file's folder when the file itself is not there (yet).
    for (std::string at = path.empty() ? "." : path;;) {
        struct statvfs facts {};
        if (::statvfs(at.c_str(), &facts) == 0)
            return static_cast<std::int64_t>(facts.f_bavail) *
                   static_cast<std::int64_t>(facts.f_frsize);
        const std::size_t slash = at.find_last_of('/');
        if (slash == std::string::npos) {
            if (at == ".") return std::nullopt;
            at = ".";
        } else {
            if (slash == 0 && at == "/") return std::nullopt;
            at = slash == 0 ? "/" : at.substr(0, slash);
        }
    }
}

}  // namespace kivo
