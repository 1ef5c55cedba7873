#pragma once

#include <string>
#include <vector>

#include "core/position/PositionFix.h"

namespace kivo {

// What a position source has to say: a fix, or news of its link to the server.
struct PositionReport {
    enum class Kind {
        Fix,          // `fix` holds the report (a mode of None: the receiver has lost its fix)
        Connected,    // the server answered
        Unreachable,  // it could not be reached; `detail` says why; tried again later
        Gone,         // it went away; tried again later
    };
    Kind kind = Kind::Fix;
    PositionFix fix;
    std::string detail;
};

// Where positions come from (gpsd in the program, a script in tests). Never blocks: the link
// is made and kept elsewhere, and what arrived is taken on the caller's thread.
class PositionSource {
public:
    virtual ~PositionSource() = default;
    // Starts trying to reach the server, dropping any earlier link.
    virtual void Open(const std::string& host, int port) = 0;
    virtual void Close() = 0;
    // What arrived since the last call, in order.
    virtual std::vector<PositionReport> Take() = 0;
};

}  // namespace kivo
