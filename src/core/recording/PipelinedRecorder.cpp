#include "core/recording/PipelinedRecorder.h"

#include <signal.h>

#include <utility>

#include "core/recording/EngrRecording.h"

namespace kivo {

PipelinedEngrRecorder::PipelinedEngrRecorder(const DeviceCalibration& calibration,
                                             RecordFile::Reporter report, std::size_t batchSize)
    : calibration_(calibration),
      report_(std::move(report)),
      batchSize_(batchSize == 0 ? 1 : batchSize) {}

PipelinedEngrRecorder::~PipelinedEngrRecorder() { Stop(); }

bool PipelinedEngrRecorder::Start(const std::string& path, RecordMode mode) {
    Stop();
    failed_ = false;
    told_ = false;
    closing_ = false;
    // Until the worker runs, the file's failures are told here, on this thread.
    file_ = RecordFile::Create(path, report_, mode);
    if (!file_) return false;
    if (file_->ByteCount() == 0)
        file_->Write(EngrHeading(calibration_, calibration_.definitionCount));
    if (!file_->Flush()) {
        file_->Close();
        file_.reset();
        failed_ = told_ = true;
        return true;
    }
    // From here the worker writes; a failure is kept for this thread to tell.
    RecordFile::Reporter keep = [this](const std::string& message) {
        const std::lock_guard<std::mutex> lock(mutex_);
        failed_ = true;
        failure_ = message;
    };
    file_->SetReporter(std::move(keep));
    filling_.records.reserve(batchSize_);
    // The worker takes none of the stop signals: they are for the thread that reads, whose
    // waiting reads they must end.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, signal);
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &stopSignals, &before);
    worker_ = std::thread([this] { Work(); });
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return true;
}

void PipelinedEngrRecorder::OnSample(const Sample& sample) {
    if (!worker_.joinable()) return;
    // Only the numbers the record prints are copied: a few hundred bytes, not the sample.
    filling_.records.push_back(Record{sample.x, sample.meterClock});
    GatherEngrFields(calibration_, calibration_.definitionCount, sample.engineering, gathered_);
    filling_.fields.insert(filling_.fields.end(), gathered_.begin(), gathered_.end());
    if (filling_.records.size() >= batchSize_) {
        Hand(std::move(filling_));
        filling_ = Batch();
        filling_.records.reserve(batchSize_);
    }
}

void PipelinedEngrRecorder::Hand(Batch batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kBatchesInFlight || failed_; });
    if (failed_) return;  // nothing after a hole
    queue_.push_back(std::move(batch));
    changed_.notify_all();
}

void PipelinedEngrRecorder::Work() {
    std::string text;
    while (true) {
        Batch batch;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty()) break;  // closing, and everything written
            batch = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
        }
        text.clear();
        const std::size_t perRecord =
            batch.records.empty() ? 0 : batch.fields.size() / batch.records.size();
        for (std::size_t i = 0; i < batch.records.size(); ++i) {
            AppendEngrFields(text, batch.records[i].x, batch.records[i].meterClock,
                             batch.fields.data() + i * perRecord, perRecord);
        }
        if (!file_->Write(text) || !file_->Flush()) {
            const std::lock_guard<std::mutex> lock(mutex_);
            failed_ = true;
            queue_.clear();
            changed_.notify_all();
            break;
        }
    }
    file_->Close();  // a failure here is kept like the others
}

bool PipelinedEngrRecorder::Stop() {
    if (worker_.joinable()) {
        if (!filling_.records.empty()) Hand(std::move(filling_));
        filling_ = Batch();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        worker_.join();
        file_.reset();
    }
    TellFailure();
    return !failed_;
}

bool PipelinedEngrRecorder::Active() {
    bool failed = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        failed = failed_;
    }
    if (failed) TellFailure();
    return worker_.joinable() && !failed;
}

void PipelinedEngrRecorder::TellFailure() {
    std::string message;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!failed_ || told_) return;
        told_ = true;
        message = failure_;
    }
    if (report_ && !message.empty()) report_(message);
}

}  // namespace kivo
