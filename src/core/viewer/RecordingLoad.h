#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/chain/DataChain.h"
#include "core/data/DeviceCalibration.h"
#include "core/export/ExportAttributes.h"
#include "core/profile/Casts.h"
#include "core/viewer/RecordingData.h"

namespace kivo {

// The device file a raw recording is read with, and how its lines are taken: copies, so a
// load on a worker thread shares nothing with the window's session.
struct ViewerDevice {
    DeviceCalibration calibration;
    std::string deviceName;
    ChainOptions options;
    int scatteringQuantity = 0;  // which of Beta, Betap, bbp, bb a scattering channel shows
    // What an export of the recording says of its making (the device file, the meter, the
    // zone of its clock), and the file of the operator's extra attributes.
    ExportOptions facts;
    std::string metadataPath = kMetadataFileName;
    // What tells the casts in a recording with a pressure column, in the view and its exports.
    CastThresholds casts;
};

// Shared between a worker and the window that watches it.
struct LoadProgress {
    std::atomic<std::int64_t> bytesRead{0};
    std::atomic<std::int64_t> totalBytes{0};
    std::atomic<bool> cancel{false};
};

// The lines of a file that show nothing, by reason.
struct RefusedLines {
    std::int64_t columnCount = 0;  // fields not as the device file or the heading has them
    std::int64_t notDataLine = 0;  // a reply or noise (raw files)
    std::int64_t tooLong = 0;      // longer than any meter or recorder writes; never held
    std::int64_t unfinished = 0;   // the last line, without its line end (raw files)
};

// "4 lines refused: 1 column count, 1 not a data line, 1 too long, 1 unfinished last line",
// naming only the reasons that occurred; empty when none was refused.
std::string RefusedText(const RefusedLines& refused);

// A line of an engineering-units file longer than this is refused [bytes]: the widest
// device file's record is a little over a kilobyte.
inline constexpr std::size_t kMaxEngLineLength = 16 * 1024;

struct LoadedRecording {
    std::unique_ptr<RecordingData> data;  // null when it failed or was cancelled
    std::string error;                    // why it failed, for the operator
    bool cancelled = false;
    RefusedLines refused;
};

// An engineering-units file by its name (".eng", any case); anything else is raw.
bool IsEngineeringFile(const std::string& path);

// The channels a raw line fills, one per column the live chart plots, in column order, with
// the column position each one's value comes from.
std::vector<ViewerChannel> RawChannels(const DeviceCalibration& calibration, int scatteringQuantity,
                                       std::vector<int>& positions);

// Reads a whole recording: a raw file (a recording or a memory download) through the data
// chain with `device`, or an engineering-units file by its own heading (no device needed).
// When the device file has a pressure column, each line's pressure and cast are kept too
// (the casts found over the whole recording, with the export's own times).
// Only a regular file is read, and never a line without bound: a pipe or a device is told
// as an error before anything could wait on it. Cancel is looked at between pieces of at
// most a quarter megabyte; running out of memory is told as an error.
LoadedRecording LoadRecording(const std::string& path, const std::optional<ViewerDevice>& device,
                              LoadProgress& progress);

}  // namespace kivo
