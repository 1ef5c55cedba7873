#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/chain/Sample.h"
#include "core/export/CsvExporter.h"
#include "core/seams/DatagramSender.h"

namespace kivo {

// Each sample as one datagram for the ship's data system: the tag, a comma, then the row the
// live CSV recording writes for it (the meter's UTC time, the host time, the position when a
// GPS is on, every engineering value; no quality flags, which would hold the line back until
// the next sample), ending in CR LF as a CSV line does. A receiver appending the datagrams
// to a file gets a CSV file of tagged rows; one reading several instruments tells them apart
// by the first field.
//
// A datagram goes at once or not at all: the recording never waits for the network. Lines
// that could not go are counted; the first failure of a run of them is told once, and so is
// sending again once it has lasted.
class ShipFeed final : public SampleSink {
public:
    using Reporter = std::function<void(const std::string& text)>;
    // Datagrams sent in a row after failures before the feed counts as sending again: a port
    // nobody listens on refuses only every other datagram (the refusal comes back after one
    // has gone), which is no recovery.
    static constexpr int kRecoveredAfter = 10;

    // `hostTime`: the computer's UTC time of the sample being sent [ms since 1970], the same
    // reading the CSV recording's host time takes.
    // Without a sender (none built in) the feed never starts.
    ShipFeed(DatagramSender* sender, std::function<std::int64_t()> hostTime, Reporter tell);
    ShipFeed(const ShipFeed&) = delete;
    ShipFeed& operator=(const ShipFeed&) = delete;

    // Opens the sender to `host` and `port`; false, and `error` saying why, when it cannot.
    bool Start(const std::string& host, int port, const std::string& tag, CsvRecordLayout layout,
               std::string& error);
    // Other columns, another zone or positions come and go: the lines from now on.
    void SetLayout(CsvRecordLayout layout) { layout_ = std::move(layout); }
    void SetTag(const std::string& tag) { prefix_ = tag + ","; }
    void Stop();
    bool Active() const { return active_; }
    // Where the datagrams go: "192.0.2.7:5000".
    const std::string& Destination() const { return destination_; }
    // "UDP feed to 192.0.2.7:5000"
    std::string Name() const { return "UDP feed to " + destination_; }
    std::int64_t Sent() const { return sent_; }
    std::int64_t NotSent() const { return notSent_; }
    // In a run of failures that has not yet been told over.
    bool Failing() const { return failing_; }

    void OnSample(const Sample& sample) override;

private:
    DatagramSender* sender_;
    std::function<std::int64_t()> hostTime_;
    Reporter tell_;
    CsvRecordLayout layout_;
    std::string prefix_;
    std::string destination_;
    std::string datagram_;  // kept for its capacity
    std::string reason_;
    bool active_ = false;
    bool failing_ = false;
    int sentSinceFailure_ = 0;
    std::int64_t sent_ = 0;
    std::int64_t notSent_ = 0;
};

}  // namespace kivo
