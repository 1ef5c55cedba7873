#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kivo::sim {

// One thing the host said: a command line (without its line end) or the stop sequence.
struct FramedInput {
    enum class Kind { Command, Stop };
    Kind kind = Kind::Command;
    std::string text;       // the command; "!!!!!" for a stop
    bool overlong = false;  // the line ran past kMaxCommandLength and was cut there
};

// Cuts the bytes from the host into commands. Lines end with LF (a CR before it is
// dropped); "!!!!!" is a stop wherever it appears, with no line end, and throws away the
// part of a line received before it.
class CommandFramer {
public:
    static constexpr std::size_t kMaxCommandLength = 255;

    std::vector<FramedInput> Feed(const char* data, std::size_t size);
    void Reset();

private:
    std::string line_;
    bool overlong_ = false;
    int exclamations_ = 0;
};

}  // namespace kivo::sim
