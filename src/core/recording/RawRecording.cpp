#include "core/recording/RawRecording.h"

#include <sys/stat.h>  // fstat

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kivo {

void MakeRawRecord(std::string& record, std::string_view line) {
    record.assign(line);
    record.append("\r\n");
}

std::optional<ReplayReader> ReplayReader::Open(const std::string& path, std::string* reason) {
    errno = 0;
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        if (reason) *reason = std::strerror(errno != 0 ? errno : EIO);
        return std::nullopt;
    }
    return ReplayReader(std::move(file), path);
}

ReplayReader::ReplayReader(std::unique_ptr<std::FILE, Closer> file, std::string path)
    : file_(std::move(file)), path_(std::move(path)) {}

int ReplayReader::NextCharacter() {
    const int c = std::fgetc(file_.get());
    if (c != '\r') return c;
    const int next = std::fgetc(file_.get());
    if (next == '\n') return '\n';
    if (next != EOF) std::ungetc(next, file_.get());
    return '\r';
}

ReplayRead ReplayReader::ReadReplayLine(char* buffer, std::size_t size) {
    if (size == 0) return {};
    std::memset(buffer, 0, size);
    if (metEnd_) {
        std::rewind(file_.get());  // also clears the end-of-file and error flags
        metEnd_ = false;
        return {0, true};
    }
    const std::size_t limit = std::min(kMaxPieceLength, size - 1);
    std::size_t count = 0;
    while (count < limit) {
        const int c = NextCharacter();
        if (c == EOF) {
            // A read error, or a file cut short under us, ends the replay like its end does.
            metEnd_ = true;
            break;
        }
        buffer[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return {count, false};
}

std::int64_t ReplayReader::Size() const {
    struct stat status {};
    if (fstat(fileno(file_.get()), &status) != 0) return 0;
    return static_cast<std::int64_t>(status.st_size);
}

std::int64_t ReplayReader::Position() const {
    const auto position = static_cast<std::int64_t>(ftello(file_.get()));
    return std::clamp<std::int64_t>(position, 0, Size());
}

}  // namespace kivo
