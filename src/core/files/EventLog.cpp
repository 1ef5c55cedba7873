#include "core/files/EventLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/files/OutputFile.h"

namespace kivo {

namespace {

std::tm UtcParts(std::int64_t utcMilliseconds, int& milliseconds) {
    std::int64_t seconds = utcMilliseconds / 1000;
    milliseconds = static_cast<int>(utcMilliseconds % 1000);
    if (milliseconds < 0) {  // before 1970: the second below, not above
        milliseconds += 1000;
        --seconds;
    }
    const std::time_t whole = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&whole, &parts);
    return parts;
}

}  // namespace

std::string UtcIsoText(std::int64_t utcMilliseconds) {
    int milliseconds = 0;
    const std::tm t = UtcParts(utcMilliseconds, milliseconds);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, milliseconds);
    return text;
}

std::string UtcFileStamp(std::int64_t utcMilliseconds) {
    int milliseconds = 0;
    const std::tm t = UtcParts(utcMilliseconds, milliseconds);
    char text[96];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

void EventLog::SetPath(const std::string& path) {
    if (path == path_) return;
    path_ = path;
    told_ = false;
}

bool EventLog::Append(std::int64_t utcMilliseconds, const std::string& text) {
    if (path_.empty()) return false;
    std::string line = UtcIsoText(utcMilliseconds) + " " + text;
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    line += '\n';
    // A pipe or device in the log's place would block or swallow the lines, and a symbolic
    // link would have them appended to whatever file it names: left alone.
    OwnFile file = OpenOwnFile(path_, true);
    const std::string refusal = file.refusal;
    const bool ok = refusal.empty() && WriteOwnFile(file, line);
    if (!ok && !told_ && report_) {
        told_ = true;
        const std::string why = refusal.empty() ? std::string(std::strerror(errno)) : refusal;
        report_("The event log '" + path_ + "' could not be written (" + why +
                "); events are no longer logged there.");
    }
    return ok;
}

}  // namespace kivo
