#include "core/export/ShipFeed.h"

#include <optional>
#include <utility>

namespace kivo {

namespace {
std::string NotSentText(std::int64_t count) {
    return std::to_string(count) + (count == 1 ? " line" : " lines") + " not sent so far";
}
}  // namespace

ShipFeed::ShipFeed(DatagramSender* sender, std::function<std::int64_t()> hostTime, Reporter tell)
    : sender_(sender), hostTime_(std::move(hostTime)), tell_(std::move(tell)) {}

bool ShipFeed::Start(const std::string& host, int port, const std::string& tag,
                     CsvRecordLayout layout, std::string& error) {
    Stop();
    if (sender_ == nullptr) {
        error = "no network feed in this build";
        return false;
    }
    if (!sender_->Open(host, port, error)) return false;
    destination_ = sender_->Description();
    layout_ = std::move(layout);
    SetTag(tag);
    active_ = true;
    failing_ = false;
    sentSinceFailure_ = 0;
    sent_ = 0;
    notSent_ = 0;
    return true;
}

void ShipFeed::Stop() {
    if (!active_) return;
    active_ = false;
    sender_->Close();
}

void ShipFeed::OnSample(const Sample& sample) {
    if (!active_) return;
    datagram_ = prefix_;
    AppendCsvRecord(datagram_, sample, layout_, hostTime_());
    datagram_ += "\r\n";
    if (sender_->Send(datagram_, reason_)) {
        ++sent_;
        if (failing_ && ++sentSinceFailure_ >= kRecoveredAfter) {
            failing_ = false;
            tell_(Name() + ": sending again; " + NotSentText(notSent_));
        }
        return;
    }
    ++notSent_;
    sentSinceFailure_ = 0;
    if (failing_) return;
    failing_ = true;
    tell_(Name() + ": cannot send (" + reason_ + "); " + NotSentText(notSent_));
}

}  // namespace kivo
