#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/chain/DataChain.h"
#include "core/data/DeviceCalibration.h"
#include "core/viewer/RecordingData.h"

namespace kivo {

// The device file a raw recording is read with, and how its lines are taken: copies, so a
// load on a worker thread shares nothing with the window's session.
struct ViewerDevice {
    DeviceCalibration calibration;
    std::string deviceName;
    ChainOptions options;
    int scatteringQuantity = 0;  // which of Beta, Betap, bbp, bb a scattering channel shows
};

// Shared between a worker and the window that watches it.
struct LoadProgress {
    std::atomic<std::int64_t> bytesRead{0};
    std::atomic<std::int64_t> totalBytes{0};
    std::atomic<bool> cancel{false};
};

struct LoadedRecording {
    std::unique_ptr<RecordingData> data;  // null when it failed or was cancelled
    std::string error;                    // why it failed, for the operator
    bool cancelled = false;
};

// An engineering-units file by its name (".eng", any case); anything else is raw.
bool IsEngineeringFile(const std::string& path);

// The channels a raw line fills, one per column the live chart plots, in column order, with
// the column position each one's value comes from.
std::vector<ViewerChannel> RawChannels(const DeviceCalibration& calibration, int scatteringQuantity,
                                       std::vector<int>& positions);

// Reads a whole recording: a raw file (a recording or a memory download) through the data
// chain with `device`, or an engineering-units file by its own heading (no device needed).
LoadedRecording LoadRecording(const std::string& path, const std::optional<ViewerDevice>& device,
                              LoadProgress& progress);

}  // namespace kivo
