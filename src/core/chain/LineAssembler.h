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
// wherever it stands, NUL is counted but not kept. A partial line survives across reads
// and the operator's port changes: the next bytes continue it.
//
// A line that grows past kMaxLineLength is dropped up to its line end, which then ends an
// empty line: keeping its tail would hand on the end of a line whose head was lost, and a
// line such as "11/20/03\t..." cut to "1/20/03\t..." still reads as a data line.
class LineAssembler {
public:
    static constexpr int kMaxLineLength = 250;

    void Feed(const char* data, std::size_t count, LineSink& sink);
    const std::string& Pending() const { return line_; }
    // Forgets a partial line: its rest will never come (a replay rewound or left, a meter
    // restarted behind a reopened port).
    void DropPending();

private:
    void Take(const char* bytes, std::size_t count, LineSink& sink);
    void EndLine(LineSink& sink);

    std::string line_;
    std::string delivered_;    // the line being handed to the sink
    std::size_t length_ = 0;   // characters counted since the last line end
    bool overflowed_ = false;  // dropping bytes up to the next line end
};

}  // namespace kivo
