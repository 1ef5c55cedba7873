#include "core/recording/EngrRecording.h"

#include <algorithm>
#include <optional>

#include "core/data/ColumnTypes.h"
#include "core/text/CFormat.h"

namespace kivo {

namespace {

constexpr char kTab = '\t';

// Heading and value of a column type that records one field; nothing for the others.
struct SingleField {
    const char* heading;  // the iEngr heading adds the device file's units
    double value;
    bool oneDecimal;  // "%5.1lf" (pressure), else "%6.4lf"
};

std::optional<SingleField> SingleFieldOf(int type, const EngineeringValues& v) {
    switch (type) {
        case column::kVsf100:
            return SingleField{"B(100)", v.vsf[type], false};
        case column::kVsf125:
            return SingleField{"B(125)", v.vsf[type], false};
        case column::kVsf150:
            return SingleField{"B(150)", v.vsf[type], false};
        case column::kChl:
            return SingleField{"CHL(ug/l)", v.chl, false};
        case column::kIEngr:
            return SingleField{"iEngr", v.meterEngr, false};
        case column::kPhycocyanin:
            return SingleField{"pcyan(raw)", v.phycocyanin, false};
        case column::kPhycoerythrin:
            return SingleField{"peryth(raw)", v.phycoerythrin, false};
        case column::kUranine:
            return SingleField{"ur(raw)", v.uranine, false};
        case column::kRhodamine:
            return SingleField{"rhod(raw)", v.rhodamine, false};
        case column::kCdom:
            return SingleField{"CDOM(raw)", v.cdom, false};
        case column::kLss:  // headed "NTU" like the NTU column, as files always were
            return SingleField{"NTU", v.lss, false};
        case column::kNtu:
            return SingleField{"NTU", v.ntu, false};
        case column::kITemp:
            return SingleField{"iTemp(C)", v.iTemp, false};
        case column::kXTemp:
            return SingleField{"xTemp(C)", v.xTemp, false};
        case column::kPres:
            return SingleField{"Pres(dbar)", v.pressure, true};
        default:
            return std::nullopt;
    }
}

int ColumnsToRecord(int definitionCount) { return std::clamp(definitionCount, 0, kSlots); }

}  // namespace

std::string EngrHeading(const DeviceCalibration& cal, int definitionCount) {
    const CNumericLocale cLocale;
    std::string line;
    AppendFormat(line, "Count%cDate%cTime", kTab, kTab);
    const EngineeringValues noValues{};  // the heading needs only the texts
    const int columns = ColumnsToRecord(definitionCount);
    for (int i = 0; i < columns; ++i) {
        const int type = cal.columnType[i];
        if (IsScattering(type)) {
            const int lambda = cal.wavelength[type];
            AppendFormat(line, "%cBeta(%3d)%cBetap(%3d)%cbbp(%3d)%cbb(%3d))", kTab, lambda, kTab,
                         lambda, kTab, lambda, kTab, lambda);
        } else if (const auto field = SingleFieldOf(type, noValues)) {
            line += kTab;
            line += field->heading;
            if (type == column::kIEngr) line += "(" + cal.engrUnits + ")";
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
        } else if (const auto field = SingleFieldOf(type, values)) {
            if (field->oneDecimal) {
                AppendFormat(line, "%c%5.1lf", kTab, field->value);
            } else {
                AppendFormat(line, "%c%6.4lf", kTab, field->value);
            }
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
