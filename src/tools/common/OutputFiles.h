#pragma once

#include <string>

namespace kivo {

// True when `a` and `b` are the same file: the same device and inode, symbolic links
// followed; for a path that does not exist yet, the same place after resolving the links
// of the folders that do. Opens nothing, so a FIFO or a device never blocks the check.
bool SameFile(const std::string& a, const std::string& b);

// An output file that appears only when the run succeeded: the bytes go to a temporary file
// beside it, renamed over it by Commit(). A run that fails or is refused leaves a file
// already at that path as it was. Standard output (an empty path), and a device or FIFO
// that is already there, are written directly: nothing can be renamed over them.
class StagedOutput {
public:
    explicit StagedOutput(const std::string& path);
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;
    // Removes the temporary file unless it was committed.
    ~StagedOutput();

    // False when the temporary file could not be made; Error() says why.
    bool Ready() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    // Where the bytes are to be written.
    const std::string& WritePath() const { return writePath_; }
    // Puts the written file in place, with the permissions a plain fopen would have left
    // it. False (Error() says why) when that fails; the temporary file is removed then.
    bool Commit();

private:
    std::string finalPath_;  // empty when written directly
    std::string writePath_;
    std::string error_;
    unsigned mode_ = 0;  // permissions of the file once in place
};

}  // namespace kivo
