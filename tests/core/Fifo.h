#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace kivo::test {

// A FIFO in the place of a file, for code that must never open one. Opening it would wait
// for the other end for ever; so once `grace` has passed, the guard opens the other end
// itself, again and again, and remembers that it found someone there. A fault then ends as
// a failed check of Released() instead of a hung test run. Code that leaves the FIFO alone
// is never disturbed, however slowly it runs.
class FifoGuard {
public:
    explicit FifoGuard(std::string path,
                       std::chrono::milliseconds grace = std::chrono::milliseconds(500))
        : path_(std::move(path)),
          made_(mkfifo(path_.c_str(), 0600) == 0),
          watchdog_([this, grace] { Watch(grace); }) {}
    ~FifoGuard() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        watchdog_.join();
    }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    bool Made() const { return made_; }
    // True when something had the FIFO open or was waiting to.
    bool Released() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return released_;
    }
    bool StillAFifo() const {
        struct stat status {};
        return ::lstat(path_.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
    }

private:
    void Watch(std::chrono::milliseconds grace) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, grace, [this] { return done_; })) return;
        while (!done_) {
            if (ReleaseWaiting()) released_ = true;
            wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; });
        }
    }

    // A reader waiting in its open goes on when a writer end opens (and reads an end of
    // file once it closes); a writer goes on when a reader end opens, and what it writes is
    // drained until it closes its end.
    bool ReleaseWaiting() const {
        bool found = false;
        const int writeEnd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);  // only with a reader
        if (writeEnd >= 0) {
            found = true;
            ::close(writeEnd);
        }
        const int readEnd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        if (readEnd < 0) return found;
        ::usleep(20000);  // a writer let through takes its end before the first read
        for (int round = 0; round < 100; ++round) {
            char buffer[4096];
            const ssize_t got = ::read(readEnd, buffer, sizeof buffer);
            if (got == 0 || (got < 0 && errno != EAGAIN)) break;  // no writer (left)
            found = true;
            if (got < 0) ::usleep(10000);
        }
        ::close(readEnd);
        return found;
    }

    const std::string path_;
    const bool made_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    bool released_ = false;
    std::thread watchdog_;
};

}  // namespace kivo::test
