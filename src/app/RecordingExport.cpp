#include "app/RecordingExport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "core/export/CsvExporter.h"
#include "core/export/NetcdfExporter.h"
#include "core/host/LineAssembler.h"
#include "core/protocol/ReplyParser.h"
#include "core/seams/Clock.h"

namespace kivo {
namespace {

// The host's clock read once: its time goes into no exported value.
class FrozenClock final : public Clock {
public:
    LocalTime Now() override { return now_; }

private:
    LocalTime now_ = SystemClock().Now();
};

// Lines through the chain; a line that is no data line may be the meter's date or time
// reply, which sets the clock of the records after it, as in the window.
class Feeder final : public LineSink {
public:
    Feeder(DataChain& chain, const ChainOptions& options) : chain_(chain), options_(options) {}
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

// A name beside `path` that no other file has, made (empty) so that nobody else takes it.
std::string TemporaryBeside(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) return {};
    ::close(fd);
    return buffer.data();
}

mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

}  // namespace

RecordingExport::RecordingExport(ExportJob job) : job_(std::move(job)) {
    worker_ = std::thread([this] { Run(); });
}

RecordingExport::~RecordingExport() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

std::string RecordingExport::Message() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return message_;
}

void RecordingExport::Finish(State state, const std::string& message) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        message_ = message;
    }
    state_ = state;
}

void RecordingExport::Run() {
    std::ifstream in(job_.rawPath, std::ios::binary);
    if (!in) return Finish(State::Failed, "Cannot read\n" + job_.rawPath);
    struct stat status {};
    if (::stat(job_.rawPath.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        totalBytes_ = static_cast<std::int64_t>(status.st_size);
    const std::string temporary = TemporaryBeside(job_.outputPath);
    if (temporary.empty()) return Finish(State::Failed, "Cannot create\n" + job_.outputPath);

    std::string failure;
    const auto report = [&failure](const std::string& message) {
        if (failure.empty()) failure = message;
    };
    std::unique_ptr<Exporter> exporter;
    if (job_.format == ExportFormat::Csv) {
        exporter = std::make_unique<CsvExporter>(report);
    } else {
        exporter = std::make_unique<NetcdfExporter>(report);
    }
    ExportOptions options;
    options.software = job_.software;
    options.arguments = job_.rawPath;
    options.alternateMode = job_.options.alternateMode;
    DeviceCalibration calibration = job_.calibration;
    DataChain chain(calibration);
    Feeder feeder(chain, job_.options);
    LineAssembler assembler;
    bool ok = exporter->Start(temporary, calibration, job_.deviceName, options);
    if (ok) chain.AddSink(*exporter);
    std::vector<char> chunk(64 * 1024);
    while (ok && in && !cancel_) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::streamsize got = in.gcount();
        if (got > 0) assembler.Feed(chunk.data(), static_cast<std::size_t>(got), feeder);
        bytesRead_ += got;
        ok = exporter->Active();
    }
    if (in.bad()) {
        ok = false;
        report("Reading failed\n" + job_.rawPath);
    }
    if (exporter->Active() && !exporter->Finish()) ok = false;
    records_ = chain.Counts().DataLineCount;
    // A file of nothing but a heading would be taken for a result.
    if (ok && !cancel_ && records_ == 0) {
        std::remove(temporary.c_str());
        return Finish(State::Failed, "No data line of this device file in\n" + job_.rawPath +
                                         "\nso nothing was written to\n" + job_.outputPath);
    }
    if (cancel_ || !ok) {
        std::remove(temporary.c_str());
        if (cancel_) return Finish(State::Cancelled, {});
        return Finish(State::Failed,
                      failure.empty() ? "Cannot write\n" + job_.outputPath : failure);
    }
    // The permissions a plainly created file would have had (mkstemp's are the owner's only).
    // The mask is read, not set and reset: umask() would change it for every thread.
    ::chmod(temporary.c_str(), 0666 & ~CurrentUmask());
    if (std::rename(temporary.c_str(), job_.outputPath.c_str()) != 0) {
        std::remove(temporary.c_str());
        return Finish(State::Failed, "Cannot write\n" + job_.outputPath);
    }
    Finish(State::Done, {});
}

}  // namespace kivo
