#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace kivo {

// The log of a deployment, kept beside its recordings.
inline constexpr const char* kEventLogName = "kivoview-events.log";

// "2026-12-08T16:02:03.123Z": a UTC time in ISO 8601 with milliseconds.
std::string UtcIsoText(std::int64_t utcMilliseconds);
// "20261208T160203Z": the same time to the second, as a file name's part.
std::string UtcFileStamp(std::int64_t utcMilliseconds);

// A plain-text log of what happened while the program ran (the port lost and back, stalls,
// recordings, downloads, commands sent), one line per event: the UTC time, a space, the
// text. Each line is appended and handed to the system at once, and the file closed again:
// a crash or a pulled power cord loses no line, and another program may read or rotate the
// file at any time.
class EventLog {
public:
    using Reporter = std::function<void(const std::string& message)>;

    explicit EventLog(Reporter report = nullptr) : report_(std::move(report)) {}

    // Where lines go from now on; empty: nowhere.
    void SetPath(const std::string& path);
    const std::string& Path() const { return path_; }

    // Appends one line; line breaks in `text` become spaces so one event stays one line.
    // False when it could not be written; the first failure for a path is told once.
    bool Append(std::int64_t utcMilliseconds, const std::string& text);

private:
    Reporter report_;
    std::string path_;
    bool told_ = false;
};

}  // namespace kivo
