#include "core/host/LineAssembler.h"

namespace kivo {

void LineAssembler::Feed(const char* data, std::size_t count, LineSink& sink) {
    for (std::size_t i = 0; i < count; ++i) {
        const char b = data[i];
        if (b == '\n') {
            length_ = 0;
            // Hand over a copy: the sink may run for a while and the buffer is reused.
            const std::string complete = std::move(line_);
            line_.clear();
            overflowWarned_ = false;
            sink.OnLine(complete);
            continue;
        }
        if (b == '\r') continue;
        ++length_;
        if (length_ > kMaxLineLength) {
            // The text so far is lost; the byte that overflowed begins the new line.
            length_ = 0;
            line_.clear();
            if (!overflowWarned_) {
                overflowWarned_ = true;
                sink.OnOverflow();
            }
        }
        if (b != '\0') line_.push_back(b);
    }
}

}  // namespace kivo
