#include "tools/common/OutputFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/recording/RecordFile.h"

namespace kivo {

namespace fs = std::filesystem;

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    // Not both there: two names of one future file still meet after resolving the links.
    const fs::path left = fs::weakly_canonical(fs::absolute(a, error), error);
    if (error) return false;
    const fs::path right = fs::weakly_canonical(fs::absolute(b, error), error);
    return !error && left == right;
}

namespace {

std::string SystemText(int error) { return std::strerror(error); }

// What fopen(path, "w") gives a new file: 0666 less the umask. The umask can only be read
// by setting it, so it is put straight back.
unsigned NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

}  // namespace

StagedOutput::StagedOutput(const std::string& path) {
    if (path.empty()) {
        writePath_ = RecordFile::kStandardOutput;
        return;
    }
    std::string target = path;
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (!S_ISREG(status.st_mode)) {
            writePath_ = path;
            return;
        }
        // fopen would write through a link and refuse a file it may not write.
        std::error_code ignored;
        const fs::path resolved = fs::canonical(path, ignored);
        if (!resolved.empty()) target = resolved.string();
        if (::access(target.c_str(), W_OK) != 0) {
            error_ = "cannot write to '" + path + "': " + SystemText(errno);
            return;
        }
        mode_ = status.st_mode & 07777u;
    } else {
        mode_ = NewFileMode();
    }
    const fs::path place(target);
    std::string pattern =
        (place.parent_path() / ("." + place.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error_ = "cannot make a temporary file beside '" + path + "': " + SystemText(errno);
        return;
    }
    ::close(fd);
    finalPath_ = target;
    writePath_ = name.data();
}

StagedOutput::~StagedOutput() {
    if (!finalPath_.empty()) ::unlink(writePath_.c_str());
}

bool StagedOutput::Commit() {
    if (finalPath_.empty()) return Ready();
    const std::string temporary = writePath_;
    const std::string target = finalPath_;
    finalPath_.clear();
    if (::chmod(temporary.c_str(), static_cast<mode_t>(mode_)) != 0 ||
        ::rename(temporary.c_str(), target.c_str()) != 0) {
        error_ = "cannot put the result in place as '" + target + "': " + SystemText(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    writePath_ = target;
    return true;
}

}  // namespace kivo
