#include "core/recording/RecordFile.h"

#include <sys/stat.h>
#include <unistd.h>  // fdatasync

#include <cerrno>
#include <cstring>
#include <utility>

namespace kivo {

namespace {

// A failing call that left errno alone still needs a reason to show.
int ErrorOrIo(int error) { return error != 0 ? error : EIO; }

}  // namespace

std::string CreateFailureText(const std::string& path, int error) {
    return "Cannot create the file \"" + path + "\": " + std::strerror(error) + ".";
}

std::string WriteFailureText(const std::string& path, int error) {
    return "Cannot write to the file \"" + path + "\": " + std::strerror(error) +
           ".\nNothing more is written to this file.";
}

std::optional<RecordFile> RecordFile::Create(const std::string& path, Reporter report,
                                             RecordMode mode) {
    return Create(
        OutputFile::Open(nullptr, path, roles::kOutput,
                         mode == RecordMode::Append ? OutputMode::Append : OutputMode::Truncate),
        std::move(report));
}

std::optional<RecordFile> RecordFile::Create(OutputFile output, Reporter report) {
    if (!output.Begin()) {
        if (report) report(output.Error());
        return std::nullopt;
    }
    const bool append = output.Appending();
    const int descriptor = output.ReleaseDescriptor();
    // "w" truncates nothing here, and leaves the descriptor's flags (O_APPEND or not) alone.
    std::unique_ptr<std::FILE, Closer> file(::fdopen(descriptor, "wb"));
    if (!file) {
        const int error = ErrorOrIo(errno);
        ::close(descriptor);
        if (report) report(CreateFailureText(output.Path(), error));
        return std::nullopt;
    }
    // A pipe or a device has no size to continue from.
    struct stat status {};
    const bool sized =
        append && ::fstat(fileno(file.get()), &status) == 0 && S_ISREG(status.st_mode);
    RecordFile record(std::move(file), output.Path(), std::move(report), sized ? status.st_size : 0,
                      output.TakeRegistration());
    if (output.LastLineCut()) {
        record.mendedCutLine_ = true;
        record.Write("\r\n");
    }
    return record;
}

RecordFile::RecordFile(std::unique_ptr<std::FILE, Closer> file, std::string path, Reporter report,
                       std::int64_t byteCount, FileRegistry::Registration registration)
    : file_(std::move(file)),
      path_(std::move(path)),
      report_(std::move(report)),
      byteCount_(byteCount),
      registration_(std::move(registration)) {}

bool RecordFile::Write(std::string_view bytes) {
    if (!file_ || failed_) return false;
    if (bytes.empty()) return true;
    errno = 0;
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_.get());
    byteCount_ += static_cast<std::int64_t>(written);
    unflushed_ = true;
    if (written != bytes.size()) {
        Fail(ErrorOrIo(errno));
        return false;
    }
    return true;
}

bool RecordFile::Flush() {
    if (!file_ || failed_) return !failed_;
    if (!unflushed_) return true;
    unflushed_ = false;
    unsynced_ = true;
    errno = 0;
    if (std::fflush(file_.get()) != 0) {
        Fail(ErrorOrIo(errno));
        return false;
    }
    return true;
}

bool RecordFile::Sync() {
    if (!Flush()) return false;
    if (!file_ || !unsynced_) return true;
    unsynced_ = false;
    errno = 0;
    // Devices and pipes cannot be synchronised; that loses nothing.
    if (fdatasync(fileno(file_.get())) != 0 && errno != EINVAL && errno != EROFS) {
        Fail(ErrorOrIo(errno));
        return false;
    }
    return true;
}

bool RecordFile::Close() {
    if (!file_) return !failed_;
    Sync();
    errno = 0;
    const int result = std::fclose(file_.release());
    if (result != 0 && !failed_) Fail(ErrorOrIo(errno));
    return !failed_;
}

void RecordFile::Fail(int error) {
    if (failed_) return;
    failed_ = true;
    if (report_) report_(WriteFailureText(path_, error));
}

}  // namespace kivo
