#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/files/OutputFile.h"

namespace kivo {

// How a record file meets an existing file of its name: the window always starts afresh;
// kivo-log may continue an earlier recording.
enum class RecordMode { Truncate, Append };

// A file the program records into (raw, engineering units, memory download): created for
// binary writing, an existing file truncated or, on request, appended to; standard output
// is written as it is. It never fails
// silently: the first failed
// write, flush or close is told to the operator once, with the system's reason and the
// path, and from then on every write is refused, so an unattended recording on a full disk
// is noticed instead of producing a file with holes.
class RecordFile {
public:
    // Tells the operator about a failure; called at most once per file after it opened.
    using Reporter = std::function<void(const std::string& message)>;

    // The program's standard output, written through the descriptor it already has.
    static constexpr const char* kStandardOutput = OutputFile::kStandardOutput;

    // The created file, or nothing when it cannot be created (`report` is told why).
    static std::optional<RecordFile> Create(const std::string& path, Reporter report,
                                            RecordMode mode = RecordMode::Truncate);
    // A file the guarded opener opened, begun now (emptied or its end looked at); it stays
    // registered while the record file is open. An appended file whose last line was cut
    // gets a line end first, so the first new record stands on a line of its own.
    static std::optional<RecordFile> Create(OutputFile output, Reporter report);

    RecordFile(RecordFile&&) noexcept = default;
    RecordFile& operator=(RecordFile&&) noexcept = default;
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    // Closes without reporting: Close() first to hear of a failure.
    ~RecordFile() = default;

    // Buffers the bytes; false once the file has failed or is closed.
    bool Write(std::string_view bytes);
    // Hands what was written since the last flush to the operating system, so that a crash
    // of the program loses nothing written before. Does nothing when nothing was written.
    bool Flush();
    // Flushes and asks the disk to keep what was written (fdatasync), so a power cut loses
    // at most what came since. Costly on slow media: once a second is enough.
    bool Sync();
    // Flushes and closes; false when anything written was lost. Later calls do nothing.
    bool Close();

    // Who hears of a failure from now on (a file handed to another thread tells it there).
    void SetReporter(Reporter report) { report_ = std::move(report); }

    bool IsOpen() const { return file_ != nullptr; }
    bool Failed() const { return failed_; }
    // The file's size as far as it is ours: bytes accepted by Write since the file was
    // created, plus the size an appended file had when opened.
    std::int64_t ByteCount() const { return byteCount_; }
    const std::string& Path() const { return path_; }
    // The appended file ended in a cut line, and a line end was written after it.
    bool MendedCutLine() const { return mendedCutLine_; }

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    RecordFile(std::unique_ptr<std::FILE, Closer> file, std::string path, Reporter report,
               std::int64_t byteCount, FileRegistry::Registration registration);
    void Fail(int error);

    std::unique_ptr<std::FILE, Closer> file_;
    std::string path_;
    Reporter report_;
    std::int64_t byteCount_ = 0;
    bool unflushed_ = false;
    bool unsynced_ = false;
    bool failed_ = false;
    bool mendedCutLine_ = false;
    FileRegistry::Registration registration_;  // after file_: left once the file is closed
};

// The texts the operator reads.
std::string CreateFailureText(const std::string& path, int error);
std::string WriteFailureText(const std::string& path, int error);

}  // namespace kivo
