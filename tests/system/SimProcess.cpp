#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>

namespace kivo::test {
namespace {

using SteadyClock = std::chrono::steady_clock;

int RemainingMs(SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - SteadyClock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void SetNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Reads what the descriptor holds now; closes it (and sets -1) at end of file.
void ReadAvailable(int& fd, std::string& into) {
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            into.append(buffer, static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            ::close(fd);
            fd = -1;
        }
        return;
    }
}

std::optional<std::string> TakeLine(std::string& buffer) {
    const std::size_t end = buffer.find('\n');
    if (end == std::string::npos) return std::nullopt;
    std::string line = buffer.substr(0, end);
    buffer.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

int StatusCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) throw SystemError("pipe2");
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        throw SystemError("pipe2");
    }
    // Everything the child needs is built before fork: it only calls async-signal-safe code.
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();

    pid_ = ::fork();
    if (pid_ == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);  // the test died before prctl took effect
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (pid_ < 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        throw SystemError("fork");
    }
    stdoutFd_ = outPipe[0];
    stderrFd_ = errPipe[0];
    SetNonBlocking(stdoutFd_);
    SetNonBlocking(stderrFd_);
}

ChildProcess::~ChildProcess() {
    Stop();
    if (stdoutFd_ >= 0) ::close(stdoutFd_);
    if (stderrFd_ >= 0) ::close(stderrFd_);
}

void ChildProcess::Pump(milliseconds timeout) {
    pollfd watched[2];
    nfds_t count = 0;
    for (const int fd : {stdoutFd_, stderrFd_}) {
        if (fd >= 0) watched[count++] = {fd, POLLIN, 0};
    }
    if (::poll(count > 0 ? watched : nullptr, count, static_cast<int>(timeout.count())) <= 0) {
        return;
    }
    if (stdoutFd_ >= 0) ReadAvailable(stdoutFd_, stdout_);
    if (stderrFd_ >= 0) ReadAvailable(stderrFd_, stderr_);
}

std::optional<std::string> ChildProcess::ReadStdoutLine(milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        if (std::optional<std::string> line = TakeLine(stdout_)) return line;
        const int left = RemainingMs(deadline);
        if (stdoutFd_ < 0 || left == 0) return std::nullopt;
        Pump(milliseconds(left));
    }
}

const std::string& ChildProcess::Stderr() {
    Pump(milliseconds(0));
    return stderr_;
}

const std::string& ChildProcess::Stdout() {
    Pump(milliseconds(0));
    return stdout_;
}

std::optional<int> ChildProcess::WaitExit(milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (!exitCode_) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitCode_ = StatusCode(status);
        } else if (done < 0 && errno != EINTR) {
            exitCode_ = -1;
        } else {
            const int left = RemainingMs(deadline);
            if (left == 0) return std::nullopt;
            // Keep the pipes drained so that a chatty child cannot block on them.
            Pump(milliseconds(std::min(left, 10)));
        }
    }
    return exitCode_;
}

int ChildProcess::Stop(milliseconds timeout) {
    if (pid_ <= 0) return -1;
    if (!exitCode_ && Running()) {
        ::kill(pid_, SIGTERM);
        if (!WaitExit(timeout)) {
            ::kill(pid_, SIGKILL);
        }
    }
    return WaitExit(milliseconds(60000)).value_or(-1);
}

bool ChildProcess::Running() { return !WaitExit(milliseconds(0)).has_value(); }

ProcessResult RunToExit(const std::string& program, const std::vector<std::string>& arguments,
                        milliseconds timeout) {
    ChildProcess process(program, arguments);
    ProcessResult result;
    result.finished = process.WaitExit(timeout).has_value();
    result.exitCode = process.Stop();
    result.out = process.Stdout();
    result.err = process.Stderr();
    return result;
}

bool WaitFor(const std::function<bool()>& condition, milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (!condition()) {
        if (SteadyClock::now() >= deadline) return false;
        ::poll(nullptr, 0, 10);
    }
    return true;
}

SimProcess::SimProcess(const std::vector<std::string>& arguments)
    : process_(KIVO_SIM_PATH, arguments) {
    std::optional<std::string> path = process_.ReadStdoutLine(milliseconds(10000));
    if (!path || path->empty()) {
        const int code = process_.Stop();
        throw std::runtime_error("kivo-sim gave no port path (exit " + std::to_string(code) +
                                 "): " + process_.Stderr());
    }
    portPath_ = *path;
}

std::optional<std::string> SimProcess::NextStdoutLine(milliseconds timeout) {
    return process_.ReadStdoutLine(timeout);
}

PtyClient::PtyClient(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (fd_ < 0) throw SystemError("open " + path);
    termios settings{};
    if (::tcgetattr(fd_, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd_, TCSANOW, &settings);  // TCSANOW: keep what the meter sent already
    }
}

PtyClient::~PtyClient() {
    if (fd_ >= 0) ::close(fd_);
}

bool PtyClient::Write(const std::string& bytes) {
    const auto deadline = SteadyClock::now() + milliseconds(5000);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) return false;
        const int left = RemainingMs(deadline);
        if (left == 0) return false;
        pollfd watched{fd_, POLLOUT, 0};
        ::poll(&watched, 1, left);
    }
    return true;
}

bool PtyClient::ReadUntil(const Predicate& done, milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        if (done(received_)) return true;
        const int left = RemainingMs(deadline);
        if (hungUp_ || left == 0) return false;
        pollfd watched{fd_, POLLIN, 0};
        if (::poll(&watched, 1, left) <= 0) continue;
        char buffer[4096];
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count > 0) {
            received_.append(buffer, static_cast<std::size_t>(count));
        } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            hungUp_ = true;  // EIO once the master has gone
        }
    }
}

bool PtyClient::ReadUntil(const std::string& substring, milliseconds timeout) {
    return ReadUntil(
        [&substring](const std::string& received) {
            return received.find(substring) != std::string::npos;
        },
        timeout);
}

std::optional<std::string> PtyClient::ReadLine(milliseconds timeout) {
    ReadUntil([](const std::string& received) { return received.find('\n') != std::string::npos; },
              timeout);
    return TakeLine(received_);
}

std::string PtyClient::TakeReceived() {
    std::string taken;
    taken.swap(received_);
    return taken;
}

}  // namespace kivo::test
