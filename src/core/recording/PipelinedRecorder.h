#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/chain/Sample.h"
#include "core/data/DeviceCalibration.h"
#include "core/recording/EngrRecording.h"
#include "core/recording/RecordFile.h"

namespace kivo {

// The engineering-units file written on a second core: the chain's thread copies what a
// record needs (its Count, the meter's clock, the engineering values) into batches, and a
// worker formats and writes them in order. For converting recordings, where formatting is
// half the work; the window keeps the plain EngrRecorder, whose sizes its labels show at once.
//
// The bytes are those of EngrRecorder for any batch size. At most kBatchesInFlight batches
// wait, so memory stays the same however long the input. A failed write is told (through
// the reporter, on the caller's thread) by Stop(), or by Active() once it is known; nothing is
// written after it.
class PipelinedEngrRecorder final : public SampleSink {
public:
    static constexpr std::size_t kBatchesInFlight = 4;

    PipelinedEngrRecorder(const DeviceCalibration& calibration, RecordFile::Reporter report,
                          std::size_t batchSize = 1024);
    ~PipelinedEngrRecorder() override;
    PipelinedEngrRecorder(const PipelinedEngrRecorder&) = delete;
    PipelinedEngrRecorder& operator=(const PipelinedEngrRecorder&) = delete;

    // Creates the file, writes the heading and starts the worker. False when the file could
    // not be made (told); when the heading failed it was made but Active() is false.
    bool Start(const std::string& path, RecordMode mode = RecordMode::Truncate);
    void OnSample(const Sample& sample) override;
    // Writes what is queued, closes the file and ends the worker. False when anything failed.
    bool Stop();
    bool Active();

private:
    struct Record {
        double x;
        MeterClock meterClock;
    };
    // The records of a batch and their numbers, `fieldsPerRecord` a record.
    struct Batch {
        std::vector<Record> records;
        std::vector<EngrField> fields;
    };

    void Hand(Batch batch);
    void Work();
    void TellFailure();

    const DeviceCalibration& calibration_;
    RecordFile::Reporter report_;
    const std::size_t batchSize_;
    std::optional<RecordFile> file_;  // the worker's alone once it runs
    Batch filling_;
    std::vector<EngrField> gathered_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> queue_;
    bool closing_ = false;
    bool failed_ = false;
    std::string failure_;  // the file's message, told on the caller's thread
    bool told_ = false;
    std::thread worker_;
};

}  // namespace kivo
