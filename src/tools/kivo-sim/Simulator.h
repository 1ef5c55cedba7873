#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "CommandFramer.h"
#include "LineLayout.h"
#include "MeterCommands.h"
#include "MeterMemory.h"
#include "PseudoTerminal.h"
#include "SimClock.h"
#include "SimOptions.h"

namespace kivo::sim {

// A value given on the command line that cannot be used (a log file that cannot be opened,
// a link that cannot be made): reported like a bad option.
struct StartupRefusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Appends each command the meter received to a file, one a line, flushed at once so that a
// test reading the file sees it as soon as the meter has acted on it.
class CommandLog {
public:
    explicit CommandLog(const std::string& path);
    void Write(const std::string& command);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

// The meter: one poll loop over the pseudo-terminal and the signals that end it.
class Simulator {
public:
    using Clock = std::chrono::steady_clock;

    // Opens the port and prints its path as the first line of standard output.
    // `signalFd` reports SIGTERM and SIGINT.
    Simulator(const SimOptions& options, UniqueFd signalFd);

    // Runs until a signal arrives; returns the exit status.
    int Run();

private:
    struct Download {
        std::string bytes;       // what will be sent: the image and "etx", or a cut image
        std::size_t queued = 0;  // bytes handed to the port so far
        Clock::time_point start;
    };

    void Emit(const std::string& line);
    void HandleInput();
    void Act(const FramedInput& input);
    void StartStream(Clock::time_point now);
    void SendDataLine();
    void StreamDue(Clock::time_point now);
    Clock::time_point LineDue(long index) const;
    void DownloadDue(Clock::time_point now);
    void FinishDownload();
    void WriteOutbox();
    bool ReopenDue(Clock::time_point now);
    bool CloseDue(Clock::time_point now) const;
    bool Frozen(Clock::time_point now);
    void Reopen();
    int PollTimeout(Clock::time_point now) const;
    void AnnouncePort() const;

    const SimOptions options_;
    SimClock clock_;
    std::optional<DeviceCalibration> device_;  // the --dev file
    MeterMemory memory_;
    MeterCommands commands_;
    std::unique_ptr<LineLayout> layout_;
    SeededRandom faultRandom_;
    std::optional<CommandLog> log_;
    std::optional<CommandLog> sent_;  // the data lines streamed, for tests that count them
    PseudoTerminal pty_;
    std::optional<PortLink> link_;
    UniqueFd signals_;
    CommandFramer framer_;

    std::string outbox_;  // bytes waiting for the port
    std::string held_;    // lines that wait for a running download to end
    std::optional<Download> download_;

    bool streaming_ = false;
    bool runStartPending_ = false;  // the faults that come before a run's first line
    Clock::time_point streamStart_;
    long streamScheduled_ = 0;
    std::optional<CycleRhythm> rhythm_;  // the setup's cycles the schedule follows
    long dataLines_ = 0;
    bool reopened_ = false;
    std::optional<Clock::time_point> reopenSince_;
    Clock::time_point lastWrite_;
    bool froze_ = false;                            // the freeze happens once
    std::optional<Clock::time_point> frozenUntil_;  // max(): for ever
    std::optional<Clock::time_point> closeSince_;
};

}  // namespace kivo::sim
