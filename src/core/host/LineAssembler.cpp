#include "core/host/LineAssembler.h"

namespace kivo {

void LineAssembler::Feed(const char* data, std::size_t count, LineSink& sink) {
    for (std::size_t i = 0; i < count; ++i) {
        const char b = data[i];
        if (b == '\n') {
            length_ = 0;
            overflowed_ = false;
            // Hand over a copy: the sink may run for a while and the buffer is reused.
            const std::string complete = std::move(line_);
            line_.clear();
            sink.OnLine(complete);
            continue;
        }
        if (b == '\r' || overflowed_) continue;
        if (++length_ > kMaxLineLength) {
            overflowed_ = true;
            line_.clear();
            sink.OnOverflow();
            continue;
        }
        if (b != '\0') line_.push_back(b);
    }
}

void LineAssembler::DropPending() {
    line_.clear();
    length_ = 0;
    overflowed_ = false;
}

}  // namespace kivo
