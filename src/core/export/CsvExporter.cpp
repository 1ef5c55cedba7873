#include "core/export/CsvExporter.h"

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

bool CsvExporter::Start(const std::string& path, const DeviceCalibration& calibration,
                        const std::string& /*deviceName*/, const ExportOptions& /*options*/) {
    Finish();
    file_ = RecordFile::Create(path, [this](const std::string& message) { Report(message); });
    if (!file_) return false;
    columns_ = EngineeringColumns(calibration);
    std::string heading = "time";
    for (const ExportColumn& column : columns_) heading += "," + CsvField(column.heading);
    Write(heading + "\r\n");
    return Active();
}

void CsvExporter::OnSample(const Sample& sample) {
    if (!file_) return;
    line_.clear();
    if (const std::optional<CalendarTime> time = MeterCalendarTime(sample.meterClock))
        line_ = IsoText(*time);
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
