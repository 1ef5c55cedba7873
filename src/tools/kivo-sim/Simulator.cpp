#include "Simulator.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kivo::sim {
namespace {

constexpr std::size_t kDownloadChunk = 256;         // bytes per poll round [bytes]
constexpr double kDownloadBytesPerSecond = 3840.0;  // 38400 baud, 10 bits a byte
constexpr std::size_t kOutboxLimit = 64 * 1024;     // data lines beyond this are dropped
constexpr std::size_t kOverlongLength = 300;
constexpr auto kReopenGrace = std::chrono::seconds(2);  // longest wait for a reader
// Bytes written to the master reach the port's input queue a moment later, so an empty
// queue right after a write does not yet mean the reader has them.
constexpr auto kPortSettle = std::chrono::milliseconds(50);

using Seconds = std::chrono::duration<double>;

int MillisecondsUntil(Simulator::Clock::time_point now, Simulator::Clock::time_point due) {
    if (due <= now) return 0;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
    return static_cast<int>(std::min<long long>(wait, 60000));
}

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
    // Written beside the target and renamed, so a reader never sees half a download.
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) == 0 && written) std::rename(temporary.c_str(), path.c_str());
}

}  // namespace

CommandLog::CommandLog(const std::string& path) : file_(std::fopen(path.c_str(), "a")) {
    if (!file_) throw StartupRefusal("cannot open log file " + path + ": " + std::strerror(errno));
}

void CommandLog::Write(const std::string& command) {
    std::fwrite(command.data(), 1, command.size(), file_.get());
    std::fputc('\n', file_.get());
    std::fflush(file_.get());
}

Simulator::Simulator(const SimOptions& options, UniqueFd signalFd)
    : options_(options),
      clock_(options.clock.value_or(HostLocalTime())),
      device_(LoadDeviceOption(options)),
      memory_(options.memorySize, options.seed, MakeMemoryLayout(options, device_).get()),
      commands_(options.id, options.alternate, clock_, memory_),
      layout_(MakeLineLayout(options, device_)),
      faultRandom_(options.seed ^ 0x6661756C74ULL),
      pty_(PseudoTerminal::Open()),
      signals_(std::move(signalFd)) {
    if (options_.cycleLines) commands_.SetCycle(*options_.cycleLines, options_.cycleInterval);
    rhythm_ = commands_.Cycle();
    if (!options_.logPath.empty()) log_.emplace(options_.logPath);
    if (!options_.sentPath.empty()) sent_.emplace(options_.sentPath);
    if (!options_.link.empty()) {
        try {
            link_.emplace(options_.link, pty_.PortPath());
        } catch (const std::runtime_error& error) {
            throw StartupRefusal(error.what());
        }
    }
    AnnouncePort();
    Emit(commands_.IdLine());
    if (options_.autorun) StartStream(Clock::now());
}

void Simulator::AnnouncePort() const {
    std::printf("%s\n", pty_.PortPath().c_str());
    std::fflush(stdout);
}

void Simulator::Emit(const std::string& line) {
    std::string& target = download_ ? held_ : outbox_;
    target += line;
    target += "\r\n";
}

int Simulator::Run() {
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (ReopenDue(now)) Reopen();
        if (CloseDue(now)) return 0;  // the port closes with the program
        StreamDue(now);
        DownloadDue(now);

        pollfd watched[2] = {{signals_.Get(), POLLIN, 0}, {pty_.Master(), POLLIN, 0}};
        if (!outbox_.empty()) watched[1].events |= POLLOUT;
        if (::poll(watched, 2, PollTimeout(Clock::now())) < 0 && errno != EINTR) return 1;

        if (watched[0].revents & POLLIN) return 0;  // SIGTERM or SIGINT: leave cleanly
        if (watched[1].revents & POLLIN) HandleInput();
        if (watched[1].revents & POLLOUT) WriteOutbox();
    }
}

int Simulator::PollTimeout(Clock::time_point now) const {
    int timeout = -1;
    const auto consider = [&timeout](int candidate) {
        timeout = timeout < 0 ? candidate : std::min(timeout, candidate);
    };
    if (frozenUntil_ && *frozenUntil_ != Clock::time_point::max())
        consider(MillisecondsUntil(now, *frozenUntil_));
    if (streaming_ && !download_ && !reopenSince_ && !closeSince_ && !frozenUntil_)
        consider(MillisecondsUntil(now, LineDue(streamScheduled_)));
    if (download_ && outbox_.empty()) {
        const double offset =
            options_.fast ? 0.0 : static_cast<double>(download_->queued) / kDownloadBytesPerSecond;
        consider(MillisecondsUntil(
            now, download_->start + std::chrono::duration_cast<Clock::duration>(Seconds(offset))));
    }
    if (reopenSince_ || closeSince_) consider(10);  // watch the reader drain the old port
    return timeout;
}

void Simulator::HandleInput() {
    char buffer[512];
    const ssize_t count = ::read(pty_.Master(), buffer, sizeof buffer);
    if (count <= 0) return;
    for (const FramedInput& input : framer_.Feed(buffer, static_cast<std::size_t>(count))) {
        if (log_) log_->Write(input.text);
        if (!input.overlong) Act(input);
    }
}

void Simulator::Act(const FramedInput& input) {
    if (input.kind == FramedInput::Kind::Stop) {
        streaming_ = false;
        // The host's Cancel sends a stop: the download ends early and no "etx" follows.
        if (download_) {
            download_->bytes.resize(download_->queued);
            FinishDownload();
        }
        return;
    }
    const CommandOutcome outcome = commands_.Handle(input.text);
    for (const std::string& reply : outcome.replies) Emit(reply);
    switch (outcome.action) {
        case CommandOutcome::Action::StartStream:
            StartStream(Clock::now());
            break;
        case CommandOutcome::Action::OneLine:
            SendDataLine();
            break;
        case CommandOutcome::Action::StartDownload:
            if (!download_) {
                Download download;
                download.bytes = memory_.Image();
                if (options_.silenceAfter) {
                    download.bytes.resize(std::min(*options_.silenceAfter, download.bytes.size()));
                } else {
                    download.bytes += MeterMemory::kEndMarker;
                }
                download.start = Clock::now();
                download_ = std::move(download);
            }
            break;
        case CommandOutcome::Action::None:
            break;
    }
}

void Simulator::StartStream(Clock::time_point now) {
    if (streaming_) return;
    streaming_ = true;
    runStartPending_ = true;
    streamStart_ = now;
    streamScheduled_ = 0;
}

void Simulator::SendDataLine() {
    std::string& target = download_ ? held_ : outbox_;
    if (target.size() > kOutboxLimit) return;  // nobody reads: a real line would be lost too
    if (runStartPending_ && streaming_) {
        runStartPending_ = false;
        for (int i = 0; i < options_.garbageBytes; ++i) {
            char byte = static_cast<char>(faultRandom_.Below(256));
            if (byte == '\n') byte = '\x0b';
            target += byte;
        }
        if (options_.overlong) target += std::string(kOverlongLength, 'Z') + "\r\n";
    }
    const std::string line = layout_->NextLine(clock_.Now());
    Emit(line);
    if (sent_) sent_->Write(line);
    ++dataLines_;
    if (options_.reopenAfter && !reopened_ && dataLines_ >= *options_.reopenAfter) {
        reopenSince_ = Clock::now();
    }
    if (options_.freezeAfter && !froze_ && dataLines_ >= *options_.freezeAfter) {
        froze_ = true;
        frozenUntil_ = options_.freezeFor > 0
                           ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                Seconds(options_.freezeFor))
                           : Clock::time_point::max();
    }
    if (options_.closeAfter && !closeSince_ && dataLines_ >= *options_.closeAfter)
        closeSince_ = Clock::now();
}

// A frozen meter sends no data line; when the freeze ends, the pace starts from then.
bool Simulator::Frozen(Clock::time_point now) {
    if (!frozenUntil_) return false;
    if (now < *frozenUntil_) return true;
    frozenUntil_.reset();
    streamStart_ = now;
    streamScheduled_ = 0;
    return false;
}

bool Simulator::CloseDue(Clock::time_point now) const {
    if (!closeSince_ || !outbox_.empty()) return false;
    // The lines sent so far reach the reader before the port goes.
    const bool drained = now - lastWrite_ >= kPortSettle && pty_.UnreadAtPort() == 0;
    return drained || now - *closeSince_ > kReopenGrace;
}

// Line `index` of the run: at the rate, or in cycle mode the cycle's lines at the rate and
// the next cycle an interval after the start of this one (later only when its lines take
// longer than that).
Simulator::Clock::time_point Simulator::LineDue(long index) const {
    double offset = index / options_.rate;
    if (rhythm_) {
        const long cycle = index / rhythm_->lines;
        const long inCycle = index % rhythm_->lines;
        const double period =
            std::max(static_cast<double>(rhythm_->seconds), rhythm_->lines / options_.rate);
        offset = static_cast<double>(cycle) * period + inCycle / options_.rate;
    }
    return streamStart_ + std::chrono::duration_cast<Clock::duration>(Seconds(offset));
}

void Simulator::StreamDue(Clock::time_point now) {
    // A new cycle setup takes effect at once, with a cycle that begins now.
    if (const std::optional<CycleRhythm> rhythm = commands_.Cycle(); !(rhythm == rhythm_)) {
        rhythm_ = rhythm;
        streamStart_ = now;
        streamScheduled_ = 0;
    }
    if (!streaming_ || download_ || reopenSince_ || closeSince_ || Frozen(now)) return;
    // After a stall (a download, a busy machine) pick up the pace from now instead of
    // sending the missed lines in a burst.
    if (now - LineDue(streamScheduled_) > std::chrono::seconds(1)) {
        streamStart_ = now;
        streamScheduled_ = 0;
    }
    while (streaming_ && !reopenSince_ && !closeSince_ && !frozenUntil_ &&
           LineDue(streamScheduled_) <= now) {
        ++streamScheduled_;
        SendDataLine();
    }
}

void Simulator::DownloadDue(Clock::time_point now) {
    if (!download_ || !outbox_.empty()) return;
    const double elapsed = Seconds(now - download_->start).count();
    const bool paced = !options_.fast &&
                       static_cast<double>(download_->queued) > elapsed * kDownloadBytesPerSecond;
    if (paced) return;
    const std::size_t chunk = std::min(kDownloadChunk, download_->bytes.size() - download_->queued);
    outbox_.append(download_->bytes, download_->queued, chunk);
    download_->queued += chunk;
    if (download_->queued == download_->bytes.size()) FinishDownload();
}

void Simulator::FinishDownload() {
    if (!options_.memoryOut.empty()) WriteFileAtomically(options_.memoryOut, download_->bytes);
    download_.reset();
    outbox_ += held_;
    held_.clear();
}

void Simulator::WriteOutbox() {
    const ssize_t written = ::write(pty_.Master(), outbox_.data(), outbox_.size());
    if (written > 0) {
        outbox_.erase(0, static_cast<std::size_t>(written));
        lastWrite_ = Clock::now();
    }
}

bool Simulator::ReopenDue(Clock::time_point now) {
    if (!reopenSince_ || !outbox_.empty()) return false;
    // Let a reader take the lines sent so far before its port goes away.
    const bool drained = now - lastWrite_ >= kPortSettle && pty_.UnreadAtPort() == 0;
    return drained || now - *reopenSince_ > kReopenGrace;
}

void Simulator::Reopen() {
    // The new port is opened before the old one closes, so its path is a new one.
    PseudoTerminal replacement = PseudoTerminal::Open();
    pty_ = std::move(replacement);
    framer_.Reset();
    reopened_ = true;
    reopenSince_.reset();
    AnnouncePort();
    if (link_) {
        try {
            link_->Repoint(pty_.PortPath());
        } catch (const std::runtime_error& error) {
            std::fprintf(stderr, "kivo-sim: %s\n", error.what());
        }
    }
    streamStart_ = Clock::now();
    streamScheduled_ = 0;
}

}  // namespace kivo::sim
