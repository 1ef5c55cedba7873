#include "core/chain/LineAssembler.h"

#include <cstring>

namespace kivo {

void LineAssembler::Feed(const char* data, std::size_t count, LineSink& sink) {
    std::size_t at = 0;
    while (at < count) {
        const auto* lineEnd = static_cast<const char*>(std::memchr(data + at, '\n', count - at));
        const std::size_t end =
            lineEnd != nullptr ? static_cast<std::size_t>(lineEnd - data) : count;
        Take(data + at, end - at, sink);
        if (lineEnd == nullptr) break;
        EndLine(sink);
        at = end + 1;
    }
}

// Bytes without a line end among them.
void LineAssembler::Take(const char* bytes, std::size_t count, LineSink& sink) {
    if (overflowed_ || count == 0) return;
    // The usual piece of a meter's line: it fits and holds neither CR nor NUL.
    if (length_ + count <= static_cast<std::size_t>(kMaxLineLength) &&
        std::memchr(bytes, '\r', count) == nullptr && std::memchr(bytes, '\0', count) == nullptr) {
        line_.append(bytes, count);
        length_ += count;
        return;
    }
    for (std::size_t i = 0; i < count && !overflowed_; ++i) {
        const char b = bytes[i];
        if (b == '\r') continue;
        if (++length_ > static_cast<std::size_t>(kMaxLineLength)) {
            overflowed_ = true;
            line_.clear();
            sink.OnOverflow();
            return;
        }
        if (b != '\0') line_.push_back(b);
    }
}

void LineAssembler::EndLine(LineSink& sink) {
    length_ = 0;
    overflowed_ = false;
    // The sink gets a buffer of its own for the call, and the next line keeps the capacity.
    delivered_.swap(line_);
    line_.clear();
    sink.OnLine(delivered_);
}

void LineAssembler::DropPending() {
    line_.clear();
    length_ = 0;
    overflowed_ = false;
}

}  // namespace kivo
