#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/recording/RecordFile.h"

namespace kivo {

// Raw file (*.raw): each accepted data line as it arrived, followed by CR LF; nothing else.

// One record as it goes into the file: the line and CR LF, so the file grows by the line's
// length + 2 (RawByteCount). `record` is replaced, keeping its room for the next line.
void MakeRawRecord(std::string& record, std::string_view line);

// What one replay read gave.
struct ReplayRead {
    std::size_t count = 0;  // bytes placed in the buffer
    // An earlier read had met the end of the file: the replay pauses (ReplayRunning := 0)
    // and the file is rewound to replay again from its first line.
    bool end = false;
};

// Reads a raw file back, one piece of a line per tick. Line ends read as in text mode: a CR
// right before an LF is dropped, so files ending their lines in CR LF or in LF alone replay
// the same pieces.
class ReplayReader {
public:
    static constexpr std::size_t kBufferSize = 100;     // the receive buffer handed in
    static constexpr std::size_t kMaxPieceLength = 98;  // longer lines take several ticks

    // The opened file, or nothing (with the system's reason in `reason` if given).
    static std::optional<ReplayReader> Open(const std::string& path, std::string* reason = nullptr);

    // Zeroes `size` bytes of `buffer`; after an earlier read met the end of the file, rewinds
    // and reports the end with nothing read; otherwise reads one line up to and including its
    // LF, but at most kMaxPieceLength characters (and never more than size - 1, so the
    // buffer stays NUL-terminated). Reading nothing more returns a count of 0.
    ReplayRead ReadReplayLine(char* buffer, std::size_t size);

    // For a progress bar: bytes consumed so far and the file's current size. Position()
    // never exceeds Size(), even when the file shrinks while it is replayed.
    std::int64_t Position() const;
    std::int64_t Size() const;
    const std::string& Path() const { return path_; }

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    ReplayReader(std::unique_ptr<std::FILE, Closer> file, std::string path);
    // The next character with CR LF read as LF; EOF at the end or on a read error.
    int NextCharacter();

    std::unique_ptr<std::FILE, Closer> file_;
    std::string path_;
    bool metEnd_ = false;
};

}  // namespace kivo
