#include "core/export/TrackFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "core/data/MeterClockZone.h"
#include "core/export/CsvExporter.h"
#include "core/export/ExportColumns.h"
#include "core/files/EventLog.h"

namespace kivo {

std::string TrackPathFor(const std::string& recordPath) {
    const std::string::size_type slash = recordPath.rfind('/');
    const std::string::size_type dot = recordPath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? recordPath.substr(0, dot) : recordPath) + ".track.csv";
}

bool TrackRecorder::Start(OutputFile output, const std::string& source,
                          const std::string& software) {
    Stop();
    file_ = RecordFile::Create(std::move(output), report_);
    if (!file_) return false;
    held_.reset();
    if (file_->ByteCount() == 0) {
        std::string header = CsvHeaderLine("title", "GPS track") + CsvHeaderLine("source", source) +
                             CsvHeaderLine("software", software);
        header += CsvHeaderLine("time", "the fix's own time, UTC");
        header += CsvHeaderLine("lat", "latitude [degrees_north]");
        header += CsvHeaderLine("lon", "longitude [degrees_east]");
        header += CsvHeaderLine("fix", "2D or 3D");
        header += CsvHeaderLine("speed", "speed over ground [m s-1]");
        header += CsvHeaderLine("course", "course over ground [degrees from true north]");
        header += std::string(kTrackHeading) + "\r\n";
        Check(file_->Write(header));
    }
    return Active();
}

void TrackRecorder::Add(const PositionFix& fix) {
    // A fix without its time (gpsd's first, before the receiver told the date) could not be
    // placed in time afterwards.
    if (!file_ || !fix.HasPosition() || !std::isfinite(fix.time)) return;
    if (held_ && std::floor(held_->time) != std::floor(fix.time)) WriteHeld();
    held_ = fix;
}

void TrackRecorder::WriteHeld() {
    if (!file_ || !held_) return;
    const PositionFix fix = *std::exchange(held_, std::nullopt);
    const auto number = [](double value) {
        return std::isfinite(value) ? ShortestText(value) : std::string();
    };
    line_.clear();
    line_ += UtcIsoText(std::llround(fix.time * 1000.0));
    line_ += ',' + ShortestText(fix.lat) + ',' + ShortestText(fix.lon) + ',' +
             FixModeText(fix.mode) + ',' + number(fix.speed) + ',' + number(fix.course) + "\r\n";
    Check(file_->Write(line_));
}

bool TrackRecorder::Flush() { return !file_ || Check(file_->Flush()); }
bool TrackRecorder::Sync() { return !file_ || Check(file_->Sync()); }

void TrackRecorder::Stop() {
    if (!file_) return;
    WriteHeld();
    file_->Close();
    file_.reset();
}

bool TrackRecorder::Check(bool ok) {
    if (!ok && file_) {
        file_->Close();
        file_.reset();
    }
    return ok;
}

// ---- reading ----------------------------------------------------------------------------------

namespace {

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    for (std::string& f : fields) {
        const auto first = f.find_first_not_of(" \t");
        const auto last = f.find_last_not_of(" \t");
        f = first == std::string::npos ? std::string() : f.substr(first, last - first + 1);
    }
    return fields;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int FindColumn(const std::vector<std::string>& heading, std::initializer_list<const char*> names) {
    for (std::size_t i = 0; i < heading.size(); ++i) {
        for (const char* name : names) {
            if (Lower(heading[i]) == name) return static_cast<int>(i);
        }
    }
    return -1;
}

std::optional<double> Number(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

int Digits(const std::string& text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return -1;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<double> ParseIsoTime(const std::string& text) {
    // yyyy-mm-ddThh:mm:ss[.fff][Z|+hh:mm|-hh:mm]; a blank may stand for the T.
    const int year = Digits(text, 0, 4);
    const int month = Digits(text, 5, 2);
    const int day = Digits(text, 8, 2);
    const int hour = Digits(text, 11, 2);
    const int minute = Digits(text, 14, 2);
    const int second = Digits(text, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60 || text[4] != '-' ||
        text[7] != '-' || (text[10] != 'T' && text[10] != ' ') || text[13] != ':' ||
        text[16] != ':')
        return std::nullopt;
    std::size_t at = 19;
    double fraction = 0.0;
    if (at < text.size() && text[at] == '.') {
        std::size_t end = at + 1;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
        if (end == at + 1) return std::nullopt;
        fraction = std::strtod(text.substr(at, end - at).c_str(), nullptr);
        at = end;
    }
    int offsetMinutes = 0;
    if (at < text.size()) {
        const std::string zone = text.substr(at);
        if (zone == "Z" || zone == "z") {
        } else if ((zone[0] == '+' || zone[0] == '-') && zone.size() == 6 && zone[3] == ':' &&
                   Digits(zone, 1, 2) >= 0 && Digits(zone, 4, 2) >= 0) {
            offsetMinutes = Digits(zone, 1, 2) * 60 + Digits(zone, 4, 2);
            if (zone[0] == '-') offsetMinutes = -offsetMinutes;
        } else {
            return std::nullopt;
        }
    }
    const CalendarTime time{year, month, day, hour, minute, second};
    return SecondsSinceEpoch(time) + fraction - offsetMinutes * 60.0;
}

std::optional<std::vector<PositionFix>> ReadTrackCsv(std::istream& in, std::string& error) {
    std::vector<PositionFix> fixes;
    std::string line;
    int number = 0;
    int timeColumn = -1, latColumn = -1, lonColumn = -1, fixColumn = -1, speedColumn = -1,
        courseColumn = -1;
    bool headed = false;
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return std::nullopt;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> fields = SplitFields(line);
        if (!headed) {
            timeColumn = FindColumn(fields, {"time", "datetime", "utc", "timestamp"});
            latColumn = FindColumn(fields, {"lat", "latitude"});
            lonColumn = FindColumn(fields, {"lon", "long", "longitude", "lng"});
            fixColumn = FindColumn(fields, {"fix"});
            speedColumn = FindColumn(fields, {"speed"});
            courseColumn = FindColumn(fields, {"course"});
            if (timeColumn < 0 || latColumn < 0 || lonColumn < 0)
                return fail("no time, lat and lon columns in the heading \"" + line + "\"");
            headed = true;
            continue;
        }
        const auto field = [&fields](int column) {
            return column >= 0 && static_cast<std::size_t>(column) < fields.size()
                       ? fields[static_cast<std::size_t>(column)]
                       : std::string();
        };
        PositionFix fix;
        const std::optional<double> time = ParseIsoTime(field(timeColumn));
        if (!time) return fail("the time \"" + field(timeColumn) + "\" is no ISO 8601 time");
        fix.time = *time;
        const std::string latText = field(latColumn);
        const std::string lonText = field(lonColumn);
        if (!latText.empty() || !lonText.empty()) {
            const std::optional<double> lat = Number(latText);
            const std::optional<double> lon = Number(lonText);
            if (!lat || *lat < -90 || *lat > 90)
                return fail("the latitude \"" + latText + "\" is no number from -90 to 90");
            if (!lon || *lon < -180 || *lon > 360)
                return fail("the longitude \"" + lonText + "\" is no number from -180 to 360");
            fix.lat = *lat;
            fix.lon = *lon > 180 ? *lon - 360 : *lon;
            fix.mode = Lower(field(fixColumn)) == "2d" ? FixMode::TwoD : FixMode::ThreeD;
        }
        fix.speed = Number(field(speedColumn)).value_or(PositionFix::kUnknown);
        fix.course = Number(field(courseColumn)).value_or(PositionFix::kUnknown);
        fixes.push_back(fix);
    }
    if (!headed) {
        error = "no heading with time, lat and lon columns";
        return std::nullopt;
    }
    return fixes;
}

}  // namespace kivo
