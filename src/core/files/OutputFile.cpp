#include "core/files/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace kivo {

namespace fs = std::filesystem;

namespace {

std::string OpenFailureText(const std::string& path, int error) {
    struct stat status {};
    // A FIFO opened without a reader: the system's "No such device or address" says nothing.
    if (error == ENXIO && ::stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode))
        return "Cannot create the file \"" + path + "\": it is a FIFO that no program reads.";
    return "Cannot create the file \"" + path + "\": " + std::strerror(error) + ".";
}

// The process's file mask, read rather than set and reset: umask() would change it for
// every thread, and the exports open their files on threads of their own.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

void ClearNonBlocking(int descriptor) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0) ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
}

}  // namespace

OutputFile OutputFile::Open(FileRegistry* registry, const std::string& path, FileRole role,
                            OutputMode mode) {
    OutputFile file;
    file.path_ = path;
    file.mode_ = mode;
    if (registry != nullptr && path != kStandardOutput) {
        // Refused before anything is opened or made, a dangling link's target included.
        if (const std::optional<FileRole> holder = registry->Holder(IdentityOf(path))) {
            file.Refuse(role, *holder);
            return file;
        }
    }
    struct stat status {};
    const bool special = ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
    if (mode == OutputMode::Staged && path != kStandardOutput && !special) {
        file.OpenStaged(registry, role);
    } else {
        file.OpenDirect(registry, role, mode == OutputMode::Append);
    }
    return file;
}

void OutputFile::OpenDirect(FileRegistry* registry, FileRole role, bool append) {
    if (path_ == kStandardOutput) {
        standardOutput_ = true;
        descriptor_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        if (descriptor_ < 0) {
            Fail(OpenFailureText(path_, errno));
            return;
        }
    } else {
        // Opened without truncating, and without waiting for a FIFO's reader.
        const int flags = O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (append ? O_APPEND : 0);
        descriptor_ = ::open(path_.c_str(), flags);
        if (descriptor_ < 0 && errno == ENOENT) {
            // Made where a dangling link points, never through it: O_EXCL refuses a link.
            const std::string place = ResolvedPlace(path_);
            descriptor_ = ::open(place.c_str(), flags | O_CREAT | O_EXCL, 0666);
            if (descriptor_ >= 0) created_ = place;
        }
        if (descriptor_ < 0) {
            Fail(OpenFailureText(path_, errno));
            return;
        }
    }
    struct stat status {};
    regular_ = ::fstat(descriptor_, &status) == 0 && S_ISREG(status.st_mode);
    if (registry != nullptr) {
        // The file actually opened, whatever name led to it.
        const FileIdentity opened = IdentityOf(descriptor_, path_);
        if (const std::optional<FileRole> holder = registry->Holder(opened)) {
            Refuse(role, *holder);
            return;
        }
        registration_ = registry->Register(path_, opened, role);
    }
    ClearNonBlocking(descriptor_);
}

void OutputFile::OpenStaged(FileRegistry* registry, FileRole role) {
    staged_ = true;
    struct stat status {};
    if (::stat(path_.c_str(), &status) == 0) {
        // Replaced through a link, as writing in place would, and keeping its permissions.
        std::error_code ignored;
        target_ = fs::canonical(path_, ignored).string();
        if (target_.empty()) target_ = path_;
        if (::access(target_.c_str(), W_OK) != 0) {
            Fail("Cannot write to the file \"" + path_ + "\": " + std::strerror(errno) + ".");
            return;
        }
        keptMode_ = status.st_mode & 07777u;
    } else {
        target_ = ResolvedPlace(path_);
        keptMode_ = 0666u & ~static_cast<unsigned>(CurrentUmask());
    }
    const fs::path place(target_);
    const std::string pattern =
        (place.parent_path() / ("." + place.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor_ < 0) {
        Fail(OpenFailureText(path_, errno));
        return;
    }
    temporary_ = name.data();
    regular_ = true;
    if (registry != nullptr) registration_ = registry->Register(path_, IdentityOf(path_), role);
}

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this == &other) return *this;
    Close();
    path_ = std::move(other.path_);
    error_ = std::move(other.error_);
    mode_ = other.mode_;
    descriptor_ = other.descriptor_;
    refused_ = other.refused_;
    holder_ = other.holder_;
    standardOutput_ = other.standardOutput_;
    regular_ = other.regular_;
    begun_ = other.begun_;
    lastLineCut_ = other.lastLineCut_;
    created_ = std::move(other.created_);
    staged_ = other.staged_;
    temporary_ = std::move(other.temporary_);
    target_ = std::move(other.target_);
    keptMode_ = other.keptMode_;
    registration_ = std::move(other.registration_);
    other.descriptor_ = -1;
    other.created_.clear();
    other.temporary_.clear();
    other.staged_ = false;
    return *this;
}

OutputFile::~OutputFile() { Close(); }

void OutputFile::Close() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
    if (staged_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    if (!begun_ && !created_.empty()) ::unlink(created_.c_str());
    created_.clear();
    registration_.Reset();
}

bool OutputFile::Fail(const std::string& message) {
    error_ = message;
    Close();
    return false;
}

void OutputFile::Refuse(FileRole writing, FileRole holder) {
    refused_ = true;
    holder_ = holder.holding;
    Fail(SameFileRefusal(writing, path_, holder));
}

bool OutputFile::Begin() {
    if (!Ok()) return false;
    if (begun_) return true;
    begun_ = true;
    if (!regular_ || standardOutput_ || staged_) return true;
    if (mode_ == OutputMode::Truncate) {
        if (::ftruncate(descriptor_, 0) != 0)
            return Fail("Cannot write to the file \"" + path_ + "\": " + std::strerror(errno) +
                        ".");
        return true;
    }
    // The descriptor is write-only: the very file it names is opened again to read its end.
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0 || status.st_size == 0) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor_);
    const int reader = ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
    char last = '\n';
    if (reader >= 0 && ::pread(reader, &last, 1, status.st_size - 1) == 1)
        lastLineCut_ = last != '\n';
    if (reader >= 0) ::close(reader);
    return true;
}

int OutputFile::ReleaseDescriptor() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    begun_ = true;  // the caller's now, kept
    return descriptor;
}

bool OutputFile::Commit() {
    if (!staged_) return Ok();
    if (!Ok() || temporary_.empty()) return false;
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
    if (::chmod(temporary_.c_str(), static_cast<mode_t>(keptMode_)) != 0 ||
        ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        error_ = "Cannot put the finished file in place as \"" + path_ +
                 "\": " + std::strerror(error) + ".";
        return false;
    }
    temporary_.clear();
    return true;
}

OwnFile OpenOwnFile(const std::string& path, bool append) {
    OwnFile file;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY |
                      (append ? O_APPEND : 0);
    file.descriptor = ::open(path.c_str(), flags, 0666);
    if (file.descriptor < 0) {
        const int error = errno;
        struct stat status {};
        if (error == ELOOP && ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode))
            file.refusal = "is a symbolic link; not followed";
        else if (error == ENXIO || error == EISDIR)
            file.refusal = "is not a regular file";
        else
            file.refusal = std::strerror(error);
        return file;
    }
    struct stat status {};
    if (::fstat(file.descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(file.descriptor);
        file.descriptor = -1;
        file.refusal = "is not a regular file";
        return file;
    }
    ClearNonBlocking(file.descriptor);
    if (!append && ::ftruncate(file.descriptor, 0) != 0) {
        file.refusal = std::strerror(errno);
        ::close(file.descriptor);
        file.descriptor = -1;
    }
    return file;
}

bool WriteOwnFile(OwnFile& file, const std::string& bytes) {
    if (file.descriptor < 0) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t written = ::write(file.descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        ok = written > 0;
        if (ok) done += static_cast<std::size_t>(written);
    }
    ok = ::close(file.descriptor) == 0 && ok;
    file.descriptor = -1;
    return ok;
}

}  // namespace kivo
