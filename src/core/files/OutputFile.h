#pragma once

#include <string>

#include "core/files/FileRegistry.h"

namespace kivo {

// How an output meets a file already at its path.
//  Truncate: emptied, but only by Begin(), once every file of a start could be opened.
//  Append:   continued; Begin() finds out whether its last line was cut short.
//  Staged:   written under a hidden name beside it and put in its place by Commit(), with
//            the mode the old file had and through a symbolic link, as if written in place.
enum class OutputMode { Truncate, Append, Staged };

// The one way every output of the program is opened. Nothing is opened onto a file the
// registry holds (the same device and inode, links followed, or the same place for a file
// not there yet), and that is checked once more on the open descriptor, so a link or hard
// link made in between is caught too. A FIFO nobody reads fails at once instead of
// blocking. A file created here and then refused, or never begun, is removed again.
// While open, the output is registered under its role.
class OutputFile {
public:
    // The program's standard output, written through the descriptor it already has, never
    // truncated (a shell's `>>` must keep what it holds).
    static constexpr const char* kStandardOutput = "/dev/stdout";

    static OutputFile Open(FileRegistry* registry, const std::string& path, FileRole role,
                           OutputMode mode);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Closes what was not released; removes a staged temporary not committed, and a file
    // created here that was never begun.
    ~OutputFile();

    bool Ok() const { return error_.empty(); }
    // Why it could not be opened or begun: the system's reason, or the refusal.
    const std::string& Error() const { return error_; }
    // Not opened because the target is a file the registry holds.
    bool Refused() const { return refused_; }
    // What the target turned out to be, when refused.
    const char* Holder() const { return holder_; }
    const std::string& Path() const { return path_; }
    // Where the bytes go: the staged temporary, or the file itself.
    const std::string& WritePath() const { return staged_ ? temporary_ : path_; }
    int Descriptor() const { return descriptor_; }
    bool Appending() const { return mode_ == OutputMode::Append; }

    // Every output of the start is open: empties a Truncate file, looks at the end of an
    // Append one. False (Error() says why) when that failed.
    bool Begin();
    // An appended file whose last byte is no line end (a power cut mid-line).
    bool LastLineCut() const { return lastLineCut_; }
    // The descriptor becomes the caller's; the registration stays here.
    int ReleaseDescriptor();
    FileRegistry::Registration TakeRegistration() { return std::move(registration_); }
    // Staged: the written temporary put in place. False (Error()) when that failed; the
    // temporary is then removed. Other modes: nothing to do.
    bool Commit();
    // Done with it: what the destructor does, now.
    void Discard() { Close(); }

private:
    OutputFile() = default;
    void OpenDirect(FileRegistry* registry, FileRole role, bool append);
    void OpenStaged(FileRegistry* registry, FileRole role);
    void Close();
    bool Fail(const std::string& message);
    void Refuse(FileRole writing, FileRole holder);

    std::string path_;
    std::string error_;
    OutputMode mode_ = OutputMode::Truncate;
    int descriptor_ = -1;
    bool refused_ = false;
    const char* holder_ = "";
    bool standardOutput_ = false;
    bool regular_ = false;
    bool begun_ = false;
    bool lastLineCut_ = false;
    std::string created_;  // a file this open made, removed unless begun
    bool staged_ = false;
    std::string temporary_;
    std::string target_;     // where Commit puts it
    unsigned keptMode_ = 0;  // the permissions the staged file gets
    FileRegistry::Registration registration_;
};

// A file the program makes by itself in a folder it did not choose (the event log, the
// ports file, the settings files): opened without following a symbolic link, and only
// when it is a regular file. Appended to, or replaced (emptied once open).
struct OwnFile {
    int descriptor = -1;
    // Empty when opened; else the true reason, to be told after the path:
    // "is a symbolic link; not followed", "is not a regular file", or the system's.
    std::string refusal;
};
OwnFile OpenOwnFile(const std::string& path, bool append);
// Writes all of `bytes` and closes; false when any of it was not written.
bool WriteOwnFile(OwnFile& file, const std::string& bytes);

}  // namespace kivo
