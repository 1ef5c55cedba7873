#include "core/files/FileIdentity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

namespace kivo {

namespace fs = std::filesystem;

namespace {

// As many links as the system itself follows before giving up (ELOOP).
constexpr int kMaxLinks = 40;

std::string LinkTarget(const std::string& link) {
    std::vector<char> buffer(256);
    while (true) {
        const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string ResolvedPlace(const std::string& path) {
    if (path.empty()) return {};
    std::error_code error;
    fs::path place = fs::absolute(path, error);
    if (error) return {};
    for (int followed = 0; followed < kMaxLinks; ++followed) {
        struct stat status {};
        if (::lstat(place.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
        const std::string target = LinkTarget(place.string());
        if (target.empty()) break;
        const fs::path next(target);
        place = next.is_absolute() ? next : place.parent_path() / next;
    }
    const fs::path canonical = fs::weakly_canonical(place, error);
    return (error ? place.lexically_normal() : canonical).string();
}

FileIdentity IdentityOf(const std::string& path) {
    FileIdentity identity;
    identity.place = ResolvedPlace(path);
    struct stat status {};
    if (!path.empty() && ::stat(path.c_str(), &status) == 0) {
        identity.exists = true;
        identity.device = status.st_dev;
        identity.inode = status.st_ino;
    }
    return identity;
}

FileIdentity IdentityOf(int descriptor, const std::string& path) {
    FileIdentity identity;
    identity.place = ResolvedPlace(path);
    struct stat status {};
    if (::fstat(descriptor, &status) == 0) {
        identity.exists = true;
        identity.device = status.st_dev;
        identity.inode = status.st_ino;
    }
    return identity;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists && a.device == b.device && a.inode == b.inode) return true;
    return !a.place.empty() && a.place == b.place;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    return SameFile(IdentityOf(a), IdentityOf(b));
}

}  // namespace kivo
