#include "CommandFramer.h"

namespace kivo::sim {

std::vector<FramedInput> CommandFramer::Feed(const char* data, std::size_t size) {
    std::vector<FramedInput> framed;
    for (std::size_t i = 0; i < size; ++i) {
        const char byte = data[i];
        exclamations_ = byte == '!' ? exclamations_ + 1 : 0;
        if (exclamations_ == 5) {
            framed.push_back({FramedInput::Kind::Stop, "!!!!!", false});
            Reset();
            continue;
        }
        if (byte == '\n') {
            if (!line_.empty() && line_.back() == '\r') line_.pop_back();
            if (!line_.empty()) framed.push_back({FramedInput::Kind::Command, line_, overlong_});
            line_.clear();
            overlong_ = false;
            continue;
        }
        if (line_.size() < kMaxCommandLength) {
            line_ += byte;
        } else {
            overlong_ = true;
        }
    }
    return framed;
}

void CommandFramer::Reset() {
    line_.clear();
    overlong_ = false;
    exclamations_ = 0;
}

}  // namespace kivo::sim
