#pragma once

#include <cstdint>
#include <string>

namespace kivo {

// Which file a path names, for telling two names of one file apart from two files: the
// device and inode when it is there (symbolic links followed), and always the absolute
// place it is or would be created at, with the folders' links and a dangling last link (a
// chain of them too) resolved. Never opens anything, so a FIFO or a device cannot block it.
struct FileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string place;
};

FileIdentity IdentityOf(const std::string& path);
// The identity of an open file, the path it was opened by giving its place.
FileIdentity IdentityOf(int descriptor, const std::string& path);

// The same file by device and inode, or by place when either is not there (yet).
bool SameFile(const FileIdentity& a, const FileIdentity& b);
bool SameFile(const std::string& a, const std::string& b);

// Where writing to `path` lands: its links followed, a dangling one to the file it would
// create. Absolute and without "." or "..".
std::string ResolvedPlace(const std::string& path);

}  // namespace kivo
