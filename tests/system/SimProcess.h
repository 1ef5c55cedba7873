#pragma once

// Helpers for system tests: a child process with its output on pipes, kivo-sim started on a
// pseudo-terminal, and a client for a pseudo-terminal port. Every wait is bounded.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kivo::test {

using std::chrono::milliseconds;

// How a process that ran to its end finished.
struct ProcessResult {
    bool finished = false;  // false: still running at the deadline, then killed
    int exitCode = -1;      // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// Runs a program with arguments to its end (killed at the deadline) and collects its output.
ProcessResult RunToExit(const std::string& program, const std::vector<std::string>& arguments,
                        milliseconds timeout = milliseconds(10000));

// A child process (fork/exec) with stdout and stderr on pipes. The child gets SIGTERM when
// the test process dies. The destructor stops it.
class ChildProcess {
public:
    // Throws std::runtime_error when the process cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    pid_t Pid() const { return pid_; }
    // The next line of standard output without its line end; nullopt at the deadline or EOF.
    std::optional<std::string> ReadStdoutLine(milliseconds timeout);
    // Standard error received so far, and standard output not yet taken as lines (both
    // read without waiting).
    const std::string& Stderr();
    const std::string& Stdout();
    // The exit status (or 128 + signal) once it has ended, nullopt if still running then.
    std::optional<int> WaitExit(milliseconds timeout);
    // SIGTERM, then SIGKILL if it has not ended within the timeout; returns WaitExit's code.
    int Stop(milliseconds timeout = milliseconds(5000));
    bool Running();

private:
    // Moves whatever the pipes hold into the buffers; waits up to `timeout` for something.
    void Pump(milliseconds timeout);

    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    int stderrFd_ = -1;
    std::string stdout_;
    std::string stderr_;
    std::optional<int> exitCode_;
};

// Polls a condition that gives no notification to wait on (a file's contents), every 10 ms
// until it holds or the timeout passes; returns whether it holds.
bool WaitFor(const std::function<bool()>& condition, milliseconds timeout = milliseconds(15000));

// kivo-sim (KIVO_SIM_PATH) started with the given arguments; ready once it told its port.
class SimProcess {
public:
    // Throws std::runtime_error, with kivo-sim's stderr, if no port path comes within 10 s.
    explicit SimProcess(const std::vector<std::string>& arguments = {});

    const std::string& PortPath() const { return portPath_; }
    // Further stdout lines, e.g. the new port path after --fault-reopen-after.
    std::optional<std::string> NextStdoutLine(milliseconds timeout);
    int Stop() { return process_.Stop(); }
    ChildProcess& Process() { return process_; }

private:
    ChildProcess process_;
    std::string portPath_;
};

// The host's end of a pseudo-terminal serial port, in raw mode.
class PtyClient {
public:
    using Predicate = std::function<bool(const std::string& received)>;

    // Throws std::runtime_error when the port cannot be opened.
    explicit PtyClient(const std::string& path);
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;
    ~PtyClient();

    // Writes all bytes; false if the port refused them within a few seconds.
    bool Write(const std::string& bytes);
    // Reads until `done` holds for everything received and not yet taken, or the timeout
    // passes, or the port hangs up; returns whether `done` holds.
    bool ReadUntil(const Predicate& done, milliseconds timeout);
    bool ReadUntil(const std::string& substring, milliseconds timeout);
    // Takes the next complete line (CR and LF removed) from what was received, reading
    // for it up to the timeout.
    std::optional<std::string> ReadLine(milliseconds timeout);

    const std::string& Received() const { return received_; }
    std::string TakeReceived();
    // The other side went away (its master was closed).
    bool HungUp() const { return hungUp_; }

private:
    int fd_ = -1;
    std::string received_;
    bool hungUp_ = false;
};

}  // namespace kivo::test
