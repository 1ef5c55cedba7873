#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/chain/Sample.h"
#include "core/data/DataLine.h"
#include "core/data/DeviceCalibration.h"
#include "core/export/RecordQuality.h"
#include "core/quality/QualitySettings.h"

namespace kivo {

// The quality tests on the live samples, with the thresholds every export of the session
// uses. It marks the channels whose last value failed (the readout shows them), and tells a
// saturated or flat-lined channel once when it begins and once when it ends, with the
// channel and the value, as the stall watch tells a silence.
class QualityWatch final : public SampleSink {
public:
    struct Links {
        const DeviceCalibration& calibration;
        std::function<bool()> alternateMode;
        std::function<void(const std::string&)> log;  // the event log
    };
    explicit QualityWatch(Links links) : links_(std::move(links)) {}

    // New thresholds, or a device file loaded: the tests start afresh.
    void Use(QualitySettings settings);
    void Restart();
    const QualitySettings& Settings() const { return settings_; }

    void OnSample(const Sample& sample) override;

    // The device-file columns (1-based) whose last value failed a test.
    const std::vector<int>& FailedColumns() const { return failed_; }
    // What is wrong now, a few words per channel: "470 nm saturated".
    std::vector<std::string> Problems() const;
    // The notices told since the last call (kivo-log prints them).
    std::deque<std::string> TakeNotices();

    // How a channel is named in notices: "470 nm" for a scattering channel, else its
    // readout name ("CHL"), with its column.
    static std::string ChannelName(const DeviceCalibration& calibration, int deviceColumn);

private:
    struct Episode {
        bool saturated = false;
        bool flat = false;
    };
    void Tell(const std::string& text);

    Links links_;
    QualitySettings settings_;
    std::optional<RecordQuality> quality_;
    bool alternateMode_ = false;
    std::vector<Episode> episodes_;  // per count column
    std::vector<int> failed_;
    SplitLine fields_;
    std::deque<std::string> notices_;
};

}  // namespace kivo
