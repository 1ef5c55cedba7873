#pragma once

#include <cstddef>
#include <string>

namespace kivo {

// Receives the lines the assembler completes.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void OnLine(const std::string& line) = 0;
    // More than kMaxLineLength characters arrived without a line end (typically a wrong
    // baud rate). Called once per overlong stretch.
    virtual void OnOverflow() = 0;
};

// Turns the byte stream from the meter into lines: LF ends a line, CR is dropped
// wherever it stands, NUL is counted but not kept. A partial line survives across reads,
// port reopens and replays: the next bytes from any source continue it.
class LineAssembler {
public:
    static constexpr int kMaxLineLength = 250;

    void Feed(const char* data, std::size_t count, LineSink& sink);
    const std::string& Pending() const { return line_; }

private:
    std::string line_;
    int length_ = 0;  // characters counted since the last line end or overflow
    bool overflowWarned_ = false;
};

}  // namespace kivo
