#include "core/recording/EngrRecording.h"

#include <algorithm>

#include "core/data/ColumnKinds.h"
#include "core/text/CFormat.h"

namespace kivo {

namespace {

constexpr char kTab = '\t';

// The kind of a column type that records one field; nullptr for the others.
const ColumnKind* SingleFieldOf(int type) {
    const ColumnKind* kind = ColumnKindOf(type);
    return kind != nullptr && kind->engHeading != nullptr ? kind : nullptr;
}

int ColumnsToRecord(int definitionCount) { return std::clamp(definitionCount, 0, kSlots); }

}  // namespace

std::string EngrHeading(const DeviceCalibration& cal, int definitionCount) {
    const CNumericLocale cLocale;
    std::string line;
    AppendFormat(line, "Count%cDate%cTime", kTab, kTab);
    const int columns = ColumnsToRecord(definitionCount);
    for (int i = 0; i < columns; ++i) {
        const int type = cal.columnType[i];
        if (IsScattering(type)) {
            const int lambda = cal.wavelength[type];
            AppendFormat(line, "%cBeta(%3d)%cBetap(%3d)%cbbp(%3d)%cbb(%3d))", kTab, lambda, kTab,
                         lambda, kTab, lambda, kTab, lambda);
        } else if (const ColumnKind* field = SingleFieldOf(type)) {
            line += kTab;
            line += field->engHeading;
            if (field->meterUnits) line += "(" + cal.engrUnits + ")";
        }
    }
    line += "\r\n";
    return line;
}

std::string EngrRecord(double sampleX, const MeterClock& clock, const DeviceCalibration& cal,
                       int definitionCount, const EngineeringValues& values) {
    const CNumericLocale cLocale;
    std::string line;
    AppendFormat(line, "%1.0lf%c%02d%02d%02d%c%02d%02d%02d", sampleX, kTab, clock.month, clock.day,
                 clock.year, kTab, clock.hour, clock.minute, clock.second);
    const int columns = ColumnsToRecord(definitionCount);
    for (int i = 0; i < columns; ++i) {
        const int type = cal.columnType[i];
        if (IsScattering(type)) {
            AppendFormat(line, "%c%8.6lf%c%8.6lf%c%8.6lf%c%8.6lf", kTab, values.beta[type], kTab,
                         values.betap[type], kTab, values.bbp[type], kTab, values.bb[type]);
        } else if (const ColumnKind* field = SingleFieldOf(type)) {
            const double* value = EngineeringSlotOf(*field, type, values);
            AppendFormat(line, "%c%*.*lf", kTab, field->engField.width, field->engField.precision,
                         value != nullptr ? *value : 0.0);
        }
    }
    line += "\r\n";
    return line;
}

bool WriteEngrHeader(RecordFile& file, const DeviceCalibration& cal, int definitionCount) {
    return file.Write(EngrHeading(cal, definitionCount));
}

bool WriteEngrRecord(RecordFile& file, double sampleX, const MeterClock& clock,
                     const DeviceCalibration& cal, int definitionCount,
                     const EngineeringValues& values) {
    return file.Write(EngrRecord(sampleX, clock, cal, definitionCount, values));
}

}  // namespace kivo
