#include "gps/GpsdSource.h"

#include <gps.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace kivo {

struct GpsdSource::Link {
    std::mutex mutex;
    std::condition_variable stopped;
    bool stop = false;
    std::vector<PositionReport> reports;  // at most kKept; the oldest dropped

    static constexpr std::size_t kKept = 1000;

    void Push(PositionReport report) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (reports.size() >= kKept) reports.erase(reports.begin());
        reports.push_back(std::move(report));
    }
    bool Stopping() {
        const std::lock_guard<std::mutex> lock(mutex);
        return stop;
    }
    // Waits the time given or until closed; true when closed.
    bool WaitForStop(std::chrono::seconds time) {
        std::unique_lock<std::mutex> lock(mutex);
        return stopped.wait_for(lock, time, [this] { return stop; });
    }
};

namespace {

PositionFix FixOf(const gps_data_t& data) {
    PositionFix fix;
    const gps_fix_t& f = data.fix;
    if (data.set & TIME_SET)
        fix.time = static_cast<double>(f.time.tv_sec) + static_cast<double>(f.time.tv_nsec) * 1e-9;
    fix.mode = f.mode == MODE_3D   ? FixMode::ThreeD
               : f.mode == MODE_2D ? FixMode::TwoD
                                   : FixMode::None;
    if (fix.mode != FixMode::None && (data.set & LATLON_SET) && std::isfinite(f.latitude) &&
        std::isfinite(f.longitude)) {
        fix.lat = f.latitude;
        fix.lon = f.longitude;
    } else {
        fix.mode = FixMode::None;
    }
    if (std::isfinite(f.speed)) fix.speed = f.speed;
    if (std::isfinite(f.track)) fix.course = f.track;
    return fix;
}

void Run(const std::shared_ptr<GpsdSource::Link>& link, const std::string& host,
         const std::string& port) {
    while (!link->Stopping()) {
        gps_data_t data{};
        if (gps_open(host.c_str(), port.c_str(), &data) != 0) {
            link->Push({PositionReport::Kind::Unreachable, {}, gps_errstr(errno)});
            if (link->WaitForStop(std::chrono::seconds(GpsdSource::kRetrySeconds))) return;
            continue;
        }
        gps_stream(&data, WATCH_ENABLE | WATCH_JSON, nullptr);
        link->Push({PositionReport::Kind::Connected, {}, {}});
        while (!link->Stopping()) {
            // A quarter of a second at most, so that a Close is seen soon.
            if (!gps_waiting(&data, 250000)) {
                if (errno != 0 && errno != EINTR) break;
                continue;
            }
            errno = 0;
            data.set = 0;
            if (gps_read(&data, nullptr, 0) <= 0) break;
            // TPV reports carry the mode; sky views and device lists do not.
            if (data.set & MODE_SET) link->Push({PositionReport::Kind::Fix, FixOf(data), {}});
        }
        gps_close(&data);
        if (link->Stopping()) return;
        link->Push({PositionReport::Kind::Gone, {}, {}});
        if (link->WaitForStop(std::chrono::seconds(GpsdSource::kRetrySeconds))) return;
    }
}

}  // namespace

GpsdSource::~GpsdSource() { Close(); }

void GpsdSource::Open(const std::string& host, int port) {
    Close();
    link_ = std::make_shared<Link>();
    // Signals are for the program's own loop (kivo-log stops cleanly on SIGTERM): the thread
    // starts with all of them blocked. Detached, it holds its own share of the link and ends
    // once it sees the stop.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    std::thread(Run, link_, host, std::to_string(port)).detach();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

void GpsdSource::Close() {
    if (!link_) return;
    {
        const std::lock_guard<std::mutex> lock(link_->mutex);
        link_->stop = true;
    }
    link_->stopped.notify_all();
    link_.reset();
}

std::vector<PositionReport> GpsdSource::Take() {
    if (!link_) return {};
    const std::lock_guard<std::mutex> lock(link_->mutex);
    return std::exchange(link_->reports, {});
}

std::optional<PositionFix> FixOfGpsdJson(const std::string& json) {
    if (json.find("\"TPV\"") == std::string::npos) return std::nullopt;
    gps_data_t data{};
    std::vector<char> text(json.begin(), json.end());
    text.push_back('\0');
    if (gps_unpack(text.data(), &data) != 0 || !(data.set & MODE_SET)) return std::nullopt;
    return FixOf(data);
}

}  // namespace kivo
