#include "core/export/CsvExporter.h"

#include <cmath>
#include <ctime>

#include "core/export/ExportFacts.h"
#include "core/files/EventLog.h"

namespace kivo {

std::string CsvHeaderLine(const std::string& name, const std::string& value) {
    // A header line never breaks: a line end in a value would start a row.
    std::string line = "# " + name + ": " + value;
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line + "\r\n";
}

namespace {

void AddHeaderLine(std::string& header, const std::string& name, const std::string& value) {
    header += CsvHeaderLine(name, value);
}

}  // namespace

std::string CsvHeading(const DeviceCalibration& calibration, const ExportOptions& options) {
    std::string heading = options.hostUtcMilliseconds ? "time,host_time" : "time";
    if (options.position.kind != PositionKind::None) heading += ",lat,lon";
    if (options.position.kind == PositionKind::Receiver) heading += ",gps_time,fix";
    const std::vector<ExportColumn> columns = EngineeringColumns(calibration);
    for (const ExportColumn& column : columns) heading += "," + column.name;
    if (options.casts) heading += ",cast,phase,loop";
    if (options.quality) {
        for (const ExportColumn& column : columns) heading += "," + column.name + "_qc";
    }
    return heading + "\r\n";
}

std::string CsvHeader(const DeviceCalibration& calibration, const std::string& deviceName,
                      const ExportOptions& options, const std::string& created) {
    const std::vector<ExportColumn> columns = EngineeringColumns(calibration);
    std::string header;
    for (const Fact& fact : GlobalFacts(calibration, deviceName, options, columns, created)) {
        // The conventions are those of the NetCDF file; the facts are the same.
        if (fact.name != "Conventions") AddHeaderLine(header, fact.name, FactText(fact));
    }
    AddHeaderLine(header, "time",
                  "the meter's date and time, set in " + options.meterClock.Description() +
                      ", converted to UTC; whole seconds as the meter prints them; empty where "
                      "the line carried no valid date");
    if (options.hostUtcMilliseconds) {
        AddHeaderLine(header, "host_time",
                      "the computer's UTC time when the line arrived; time - host_time is the "
                      "meter's clock offset (within the second the meter rounds to)");
    }
    switch (options.position.kind) {
        case PositionKind::None:
            break;
        case PositionKind::Track:
            AddHeaderLine(header, "lat",
                          "latitude [degrees_north], interpolated in time from " +
                              options.position.source + "; empty where no fix was near enough");
            AddHeaderLine(header, "lon", "longitude [degrees_east], the same way");
            break;
        case PositionKind::Receiver:
            AddHeaderLine(header, "lat",
                          "latitude [degrees_north] of the receiver's latest fix when the line "
                          "arrived, from " +
                              options.position.source + "; empty without a fix");
            AddHeaderLine(header, "lon", "longitude [degrees_east] of the same fix");
            AddHeaderLine(header, "gps_time", "the fix's own UTC time, as the receiver gave it");
            AddHeaderLine(header, "fix", "the fix's kind: 2D or 3D; empty without a fix");
            break;
    }
    header += CsvColumnLines(calibration, columns);
    if (options.quality) {
        AddHeaderLine(header, "NAME_qc",
                      "the quality flag of NAME, the worst of its tests (see quality_control): 1 "
                      "pass, 2 not evaluated, 3 suspect, 4 fail, 9 missing");
    }
    if (options.casts) {
        AddHeaderLine(header, "cast", "the cast's number, 1, 2 ...; 0 on deck");
        AddHeaderLine(header, "phase", "deck, soak, down, bottom or up");
        AddHeaderLine(header, "loop",
                      "1: in a down trace not deeper than every sample before it (in an up trace "
                      "not shallower), as ship heave makes them; left out of bin averages");
    }
    return header;
}

std::string CsvColumnLines(const DeviceCalibration& calibration,
                           const std::vector<ExportColumn>& columns) {
    std::string header;
    for (const ExportColumn& c : columns) {
        AddHeaderLine(header, c.name + ".long_name", c.longName);
        AddHeaderLine(header, c.name + ".units", c.units);
        if (!c.standardName.empty())
            AddHeaderLine(header, c.name + ".standard_name", c.standardName);
        AddHeaderLine(header, c.name + ".eng_heading", c.heading);
        if (c.wavelength > 0)
            AddHeaderLine(header, c.name + ".radiation_wavelength", std::to_string(c.wavelength));
        // Betap, bbp and bb follow from Beta: its line carries the calibration.
        const bool calibrated = c.quantity == Quantity::Beta || c.quantity == Quantity::Single;
        for (const Fact& fact : CalibrationFacts(calibration, c.deviceColumn)) {
            if (calibrated || fact.name == "device_column")
                AddHeaderLine(header, c.name + "." + fact.name, FactText(fact));
        }
    }
    return header;
}

std::optional<std::string> CsvHeadingOf(std::istream& in) {
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] != '#') return line;
    }
    return std::nullopt;
}

CsvRecordLayout CsvLayoutOf(const DeviceCalibration& calibration, const ExportOptions& options) {
    CsvRecordLayout layout{EngineeringColumns(calibration), options.meterClock, options.position};
    if (!layout.position.at) layout.position.kind = PositionKind::None;
    return layout;
}

namespace {

// The position columns of the record whose UTC time is given (NaN: none).
void AppendPosition(std::string& line, const PositionColumns& position, double recordTime) {
    const std::optional<PositionFix> fix = position.at(recordTime);
    const bool known = fix && fix->HasPosition();
    line += ',';
    if (known) line += ShortestText(fix->lat);
    line += ',';
    if (known) line += ShortestText(fix->lon);
    if (position.kind != PositionKind::Receiver) return;
    line += ',';
    if (known && std::isfinite(fix->time)) line += UtcIsoText(std::llround(fix->time * 1000.0));
    line += ',';
    if (known) line += FixModeText(fix->mode);
}

}  // namespace

void AppendCsvRecord(std::string& line, const Sample& sample, const CsvRecordLayout& layout,
                     std::optional<std::int64_t> hostUtcMilliseconds) {
    double recordTime = PositionFix::kUnknown;
    if (const std::optional<CalendarTime> time = MeterCalendarTime(sample.meterClock)) {
        if (const std::optional<std::int64_t> utc = layout.meterClock.UtcSeconds(*time)) {
            line += IsoText(UtcCalendarTime(*utc)) + "Z";
            recordTime = static_cast<double>(*utc);
        }
    }
    if (hostUtcMilliseconds) {
        line += ',';
        line += UtcIsoText(*hostUtcMilliseconds);
    }
    if (layout.position.kind != PositionKind::None)
        AppendPosition(line, layout.position, recordTime);
    for (const ExportColumn& column : layout.columns) {
        line += ',';
        line += ShortestText(EngineeringValue(column, sample.engineering));
    }
}

bool CsvExporter::Start(const std::string& path, const DeviceCalibration& calibration,
                        const std::string& deviceName, const ExportOptions& options) {
    Finish();
    return Begin(RecordFile::Create(path, [this](const std::string& message) { Report(message); }),
                 calibration, deviceName, options);
}

bool CsvExporter::Start(OutputFile output, const DeviceCalibration& calibration,
                        const std::string& deviceName, const ExportOptions& options) {
    Finish();
    return Begin(RecordFile::Create(std::move(output),
                                    [this](const std::string& message) { Report(message); }),
                 calibration, deviceName, options);
}

bool CsvExporter::Begin(std::optional<RecordFile> file, const DeviceCalibration& calibration,
                        const std::string& deviceName, const ExportOptions& options) {
    file_ = std::move(file);
    if (!file_) return false;
    layout_ = CsvLayoutOf(calibration, options);
    hostTime_ = options.hostUtcMilliseconds;
    casts_ = options.casts;
    records_ = 0;
    held_.clear();
    quality_.reset();
    if (options.quality) quality_.emplace(calibration, options.alternateMode, *options.quality);
    if (file_->ByteCount() == 0) {
        ExportOptions shown = options;
        shown.position.kind = layout_.position.kind;
        Write(CsvHeader(calibration, deviceName, shown, UtcText(std::time(nullptr))) +
              CsvHeading(calibration, shown));
    }
    return Active();
}

void CsvExporter::OnSample(const Sample& sample) {
    if (!file_) return;
    line_.clear();
    AppendCsvRecord(line_, sample, layout_,
                    hostTime_ ? std::optional<std::int64_t>(hostTime_()) : std::nullopt);
    if (casts_) {
        const CastMark mark = records_ < casts_->size() ? (*casts_)[records_] : CastMark{};
        line_ += ',' + std::to_string(mark.cast) + ',' + CastPhaseName(mark.phase) +
                 (mark.loop ? ",1" : ",0");
    }
    ++records_;
    if (!quality_) {
        line_ += "\r\n";
        Write(line_);
        return;
    }
    if (quality_->Push(sample)) WriteHeld();
    held_.swap(line_);
}

void CsvExporter::WriteHeld() {
    for (std::size_t i = 0; i < layout_.columns.size(); ++i) {
        held_ += ',';
        held_ += std::to_string(static_cast<int>(quality_->Engineering(i).aggregate));
    }
    held_ += "\r\n";
    Write(held_);
}

bool CsvExporter::Finish() {
    if (!file_) return false;
    if (quality_ && quality_->Finish()) WriteHeld();
    if (!file_) return false;
    const bool ok = file_->Close();
    file_.reset();
    return ok;
}

void CsvExporter::Write(const std::string& line) {
    if (file_) Check(file_->Write(line));
}

bool CsvExporter::Check(bool ok) {
    if (!ok && file_) {
        file_->Close();
        file_.reset();
    }
    return ok;
}

}  // namespace kivo
