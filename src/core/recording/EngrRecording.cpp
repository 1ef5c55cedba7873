#include "core/recording/EngrRecording.h"

#include <algorithm>

#include "core/data/ColumnKinds.h"
#include "core/text/CFormat.h"
#include "core/text/FixedFormat.h"

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

void GatherEngrFields(const DeviceCalibration& cal, int definitionCount,
                      const EngineeringValues& values, std::vector<EngrField>& fields) {
    fields.clear();
    const int columns = ColumnsToRecord(definitionCount);
    for (int i = 0; i < columns; ++i) {
        const int type = cal.columnType[i];
        if (IsScattering(type)) {
            for (const double value :
                 {values.beta[type], values.betap[type], values.bbp[type], values.bb[type]}) {
                fields.push_back({value, 8, 6});
            }
        } else if (const ColumnKind* field = SingleFieldOf(type)) {
            const double* value = EngineeringSlotOf(*field, type, values);
            fields.push_back({value != nullptr ? *value : 0.0, field->engField.width,
                              field->engField.precision});
        }
    }
}

void AppendEngrFields(std::string& line, double sampleX, const MeterClock& clock,
                      const EngrField* fields, std::size_t count) {
    // printf's "%1.0lf\t%02d%02d%02d\t%02d%02d%02d" and the columns' "%W.Plf", without printf:
    // the same bytes at a fraction of the cost (see FixedFormat.h).
    AppendFixed(line, sampleX, 1, 0);
    line += kTab;
    AppendInt2(line, clock.month);
    AppendInt2(line, clock.day);
    AppendInt2(line, clock.year);
    line += kTab;
    AppendInt2(line, clock.hour);
    AppendInt2(line, clock.minute);
    AppendInt2(line, clock.second);
    for (std::size_t i = 0; i < count; ++i) {
        line += kTab;
        AppendFixed(line, fields[i].value, fields[i].width, fields[i].precision);
    }
    line += "\r\n";
}

void AppendEngrRecord(std::string& line, double sampleX, const MeterClock& clock,
                      const DeviceCalibration& cal, int definitionCount,
                      const EngineeringValues& values) {
    thread_local std::vector<EngrField> fields;
    GatherEngrFields(cal, definitionCount, values, fields);
    AppendEngrFields(line, sampleX, clock, fields.data(), fields.size());
}

std::string EngrRecord(double sampleX, const MeterClock& clock, const DeviceCalibration& cal,
                       int definitionCount, const EngineeringValues& values) {
    std::string line;
    AppendEngrRecord(line, sampleX, clock, cal, definitionCount, values);
    return line;
}

}  // namespace kivo
