#include "core/export/CsvExporter.h"

#include "core/files/EventLog.h"

namespace kivo {

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string CsvHeading(const DeviceCalibration& calibration, bool hostTime) {
    std::string heading = hostTime ? "time,host_time" : "time";
    for (const ExportColumn& column : EngineeringColumns(calibration))
        heading += "," + CsvField(column.heading);
    return heading + "\r\n";
}

bool CsvExporter::Start(const std::string& path, const DeviceCalibration& calibration,
                        const std::string& /*deviceName*/, const ExportOptions& options) {
    Finish();
    return Begin(RecordFile::Create(path, [this](const std::string& message) { Report(message); }),
                 calibration, options);
}

bool CsvExporter::Start(OutputFile output, const DeviceCalibration& calibration,
                        const ExportOptions& options) {
    Finish();
    return Begin(RecordFile::Create(std::move(output),
                                    [this](const std::string& message) { Report(message); }),
                 calibration, options);
}

bool CsvExporter::Begin(std::optional<RecordFile> file, const DeviceCalibration& calibration,
                        const ExportOptions& options) {
    file_ = std::move(file);
    if (!file_) return false;
    columns_ = EngineeringColumns(calibration);
    hostTime_ = options.hostUtcMilliseconds;
    Write(CsvHeading(calibration, static_cast<bool>(hostTime_)));
    return Active();
}

void CsvExporter::OnSample(const Sample& sample) {
    if (!file_) return;
    line_.clear();
    if (const std::optional<CalendarTime> time = MeterCalendarTime(sample.meterClock))
        line_ = IsoText(*time);
    if (hostTime_) {
        line_ += ',';
        line_ += UtcIsoText(hostTime_());
    }
    for (const ExportColumn& column : columns_) {
        line_ += ',';
        line_ += ShortestText(EngineeringValue(column, sample.engineering));
    }
    line_ += "\r\n";
    Write(line_);
}

bool CsvExporter::Finish() {
    if (!file_) return false;
    const bool ok = file_->Close();
    file_.reset();
    return ok;
}

void CsvExporter::Write(const std::string& line) { Check(file_->Write(line)); }

bool CsvExporter::Check(bool ok) {
    if (!ok && file_) {
        file_->Close();
        file_.reset();
    }
    return ok;
}

}  // namespace kivo
