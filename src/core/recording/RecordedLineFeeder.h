#pragma once

#include <string>

#include "core/chain/DataChain.h"
#include "core/chain/LineAssembler.h"
#include "core/protocol/ReplyParser.h"
#include "core/seams/Clock.h"

namespace kivo {

// The lines of a recorded file through the chain, with a device file loaded. A line that
// is no data line may be the meter's date or time reply, which sets the clock of the lines
// after it, as in the window. The host's time goes into nothing made from a file, so the
// clock is read once.
class RecordedLineFeeder final : public LineSink {
public:
    RecordedLineFeeder(DataChain& chain, const ChainOptions& options)
        : chain_(chain), options_(options) {}
    void OnLine(const std::string& line) override {
        const LineOutcome outcome = chain_.Accept(line, true, options_, clock_);
        if (!outcome.dataLine) TakeClockReply(line, chain_.MeterTime(), chain_.HostTime(), clock_);
    }
    void OnOverflow() override {}

private:
    DataChain& chain_;
    const ChainOptions options_;
    FrozenClock clock_;
};

}  // namespace kivo
