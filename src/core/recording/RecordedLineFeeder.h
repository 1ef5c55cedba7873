#pragma once

#include <string>

#include "core/chain/DataChain.h"
#include "core/chain/LineAssembler.h"
#include "core/protocol/ReplyParser.h"
#include "core/seams/Clock.h"
#include "core/seams/Prompts.h"

namespace kivo {

// The lines of a recorded file through the chain, with a device file loaded. A line that
// is no data line may be the meter's date or time reply, which sets the clock of the lines
// after it, as in the window. The host's time goes into nothing made from a file, and asking
// the system for it twice a line would cost more than the rest of the line: the time of the
// start stands for all.
class RecordedLineFeeder final : public LineSink {
public:
    // `prompts`, when given, is told column mismatches and overflows as the window would.
    RecordedLineFeeder(DataChain& chain, const ChainOptions& options, Prompts* prompts = nullptr)
        : chain_(chain), options_(options), prompts_(prompts) {}
    void OnLine(const std::string& line) override {
        const LineOutcome outcome = chain_.Accept(line, true, options_, clock_);
        if (outcome.mismatch && prompts_ != nullptr)
            prompts_->ShowWarning(kColumnMismatchCaption, ColumnMismatchText(*outcome.mismatch));
        if (!outcome.dataLine) TakeClockReply(line, chain_.MeterTime(), chain_.HostTime(), clock_);
    }
    void OnOverflow() override {
        ++overflows_;
        if (prompts_ != nullptr) prompts_->ShowWarning("Input Buffer Overflow", "Check Baud Rate");
    }
    long long Overflows() const { return overflows_; }

private:
    DataChain& chain_;
    const ChainOptions options_;
    Prompts* const prompts_;
    FrozenClock clock_;
    long long overflows_ = 0;
};

}  // namespace kivo
