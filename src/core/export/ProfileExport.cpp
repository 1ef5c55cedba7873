#include "core/export/ProfileExport.h"

#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>
#include <utility>

#include "core/export/CsvExporter.h"
#include "core/export/ExportFacts.h"
#include "core/files/EventLog.h"
#include "core/recording/RecordFile.h"

namespace kivo {

bool HasPressureColumn(const DeviceCalibration& calibration) {
    const int columns = std::clamp(static_cast<int>(calibration.definitionCount), 0, kSlots);
    return std::any_of(calibration.columnType.begin(), calibration.columnType.begin() + columns,
                       [](int type) { return type == column::kPres; });
}

void CastTimeline::OnSample(const Sample& sample) {
    std::optional<std::int64_t> second;
    if (const std::optional<CalendarTime> time = MeterCalendarTime(sample.meterClock))
        second = meterClock_.UtcSeconds(*time);
    anyDate_ = anyDate_ || second.has_value();
    axis_.Add(second);
    pressure_.push_back(sample.engineering.pressure);
}

const std::vector<double>& CastTimeline::Seconds() {
    axis_.Close();
    for (const double time : axis_.TakeDecided()) seconds_.push_back(time);
    if (!anyDate_) {
        for (std::size_t i = 0; i < seconds_.size(); ++i) seconds_[i] = static_cast<double>(i);
    }
    return seconds_;
}

std::vector<CastMark> CastTimeline::Marks(const CastThresholds& thresholds) {
    return FindCasts(Seconds(), pressure_, thresholds);
}

CastBinning::CastBinning(const DeviceCalibration& calibration, std::vector<CastMark> marks,
                         std::vector<double> seconds, double binSize)
    : columns_(EngineeringColumns(calibration)),
      marks_(std::move(marks)),
      seconds_(std::move(seconds)),
      binner_(binSize, columns_.size()) {}

void CastBinning::UseQuality(const DeviceCalibration& calibration, bool alternateMode,
                             const QualitySettings& settings) {
    quality_.emplace(calibration, alternateMode, settings);
}

void CastBinning::OnSample(const Sample& sample) {
    const bool decided = quality_ && quality_->Push(sample);
    if (decided) Add(newest_);
    newest_.record = next_++;
    newest_.pressure = sample.engineering.pressure;
    newest_.values.clear();
    for (const ExportColumn& column : columns_)
        newest_.values.push_back(EngineeringValue(column, sample.engineering));
    if (!quality_) Add(newest_);
}

std::vector<Profile> CastBinning::Profiles() {
    if (quality_ && quality_->Finish()) Add(newest_);
    return binner_.Profiles();
}

void CastBinning::Add(Held& held) {
    const std::size_t i = held.record;
    if (i >= marks_.size() || i >= seconds_.size()) return;
    // A value that did not pass is left out of its bin's mean, as a missing one is.
    for (std::size_t v = 0; quality_ && v < held.values.size(); ++v) {
        if (quality_->Engineering(v).aggregate != QualityFlag::Pass) held.values[v] = NAN;
    }
    binner_.Add(marks_[i], seconds_[i], held.pressure, held.values);
}

std::string CastProcessingText(const CastThresholds& t) {
    return "casts and phases from the pressure alone: on deck shallower than " +
           ShortestText(t.surface) + " dbar (rises shorter than " + ShortestText(t.minDeck) +
           " s do not end a cast), a cast reaches " + ShortestText(t.minDepth) +
           " dbar; lowered or hauled at " + ShortestText(t.minSpeed) +
           " dbar/s or faster, the speed taken across " + ShortestText(t.window) +
           " s centred on each record; the down trace is the last lowering up to the deepest "
           "record, the up trace begins at the first hauling after it; loops (in a down trace "
           "not deeper than every record before, in an up trace not shallower) are marked";
}

std::string BinProcessingText(double binSize, bool passedOnly) {
    return "per profile (one cast's down or up trace) and bin of " + ShortestText(binSize) +
           " dbar (bin k holds pressures in [k*B - B/2, k*B + B/2), labelled k*B), the mean of "
           "each engineering-units value over the records of the trace, loops left out" +
           (passedOnly ? ", and only values whose quality flag is 1 (pass); n_samples counts "
                         "every record of the bin"
                       : "") +
           "; never an average of counts";
}

namespace {

std::vector<Fact> ProfileFacts(const DeviceCalibration& calibration, const ProfileFile& file,
                               const std::vector<ExportColumn>& columns) {
    std::vector<Fact> facts = GlobalFacts(calibration, file.deviceName, file.options, columns,
                                          UtcText(std::time(nullptr)));
    for (Fact& fact : facts) {
        if (fact.name == "summary")
            fact.text = "Bin-averaged profiles of the meter \"" +
                        (file.deviceName.empty() ? std::string("KIVO meter") : file.deviceName) +
                        "\": one profile per cast and direction, the engineering-units values "
                        "averaged in pressure bins, with the calibration that made them.";
    }
    facts.push_back(Fact::Words("featureType", "profile"));
    facts.push_back(Fact::Words("cdm_data_type", "Profile"));
    facts.push_back(Fact::Words("cast_detection", CastProcessingText(file.thresholds)));
    facts.push_back(Fact::Words("bin_averaging",
                                BinProcessingText(file.binSize, file.options.quality.has_value())));
    facts.push_back(Fact::Number("bin_size", file.binSize));
    return facts;
}

// The pressure axis: every bin centre from the shallowest to the deepest of any profile.
std::vector<long> BinAxis(const std::vector<Profile>& profiles, double binSize) {
    long low = std::numeric_limits<long>::max();
    long high = std::numeric_limits<long>::min();
    for (const Profile& p : profiles) {
        for (const ProfileBin& b : p.bins) {
            const long k = PressureBin(b.centre, binSize);
            low = std::min(low, k);
            high = std::max(high, k);
        }
    }
    std::vector<long> axis;
    for (long k = low; k <= high && low <= high; ++k) axis.push_back(k);
    return axis;
}

// The engineering-units fields as a profile file names them: a field that has the name of
// one of the file's own coordinates (the pressure, whose bin centre is the coordinate) is
// its mean, "pressure_mean".
std::vector<ExportColumn> ProfileColumns(const DeviceCalibration& calibration) {
    std::vector<ExportColumn> columns = EngineeringColumns(calibration);
    for (ExportColumn& c : columns) {
        for (const char* taken : {"pressure", "time", "profile", "profile_time", "cast",
                                  "cast_number", "direction", "n_samples"}) {
            if (c.name == taken) {
                c.name += "_mean";
                c.longName = "mean " + c.longName + " of the records in the bin";
            }
        }
    }
    return columns;
}

std::string TimeText(double seconds) {
    if (!std::isfinite(seconds)) return "";
    return UtcIsoText(std::llround(seconds * 1000.0));
}

// A profile's one position: where the ship was at the trace's first record.
std::optional<PositionFix> ProfilePosition(const ProfileFile& file, const Profile& profile) {
    if (file.options.position.kind == PositionKind::None || !file.options.position.at)
        return std::nullopt;
    std::optional<PositionFix> fix = file.options.position.at(profile.startSeconds);
    if (fix && !fix->HasPosition()) fix.reset();
    return fix;
}

}  // namespace

bool WriteProfileCsv(const std::string& path, const DeviceCalibration& calibration,
                     const ProfileFile& file, const Exporter::Reporter& report) {
    std::optional<RecordFile> out = RecordFile::Create(path, report);
    if (!out) return false;
    const std::vector<ExportColumn> columns = ProfileColumns(calibration);
    std::string text;
    for (const Fact& fact : ProfileFacts(calibration, file, columns)) {
        if (fact.name != "Conventions") text += CsvHeaderLine(fact.name, FactText(fact));
    }
    text += CsvHeaderLine("profile_time", "the first record of the trace, UTC");
    text += CsvHeaderLine("pressure", "the bin's centre [dbar], increasing downward");
    text += CsvHeaderLine("n_samples", "the records averaged in the bin");
    const bool placed = file.options.position.kind != PositionKind::None;
    if (placed) {
        text += CsvHeaderLine("lat", "latitude [degrees_north] at profile_time, from " +
                                         file.options.position.source);
        text += CsvHeaderLine("lon", "longitude [degrees_east] at profile_time");
    }
    text += CsvColumnLines(calibration, columns);
    text += placed ? "cast,direction,profile_time,lat,lon,pressure,n_samples"
                   : "cast,direction,profile_time,pressure,n_samples";
    for (const ExportColumn& c : columns) text += "," + c.name;
    text += "\r\n";
    bool ok = out->Write(text);
    for (const Profile& profile : file.profiles) {
        std::string where;
        if (placed) {
            const std::optional<PositionFix> fix = ProfilePosition(file, profile);
            where = fix ? ShortestText(fix->lat) + ',' + ShortestText(fix->lon) + ',' : ",,";
        }
        for (const ProfileBin& bin : profile.bins) {
            text = std::to_string(profile.cast) + ',' + CastPhaseName(profile.direction) + ',' +
                   TimeText(profile.startSeconds) + ',' + where + ShortestText(bin.centre) + ',' +
                   std::to_string(bin.samples);
            for (const double mean : bin.means) text += ',' + ShortestText(mean);
            text += "\r\n";
            ok = ok && out->Write(text);
        }
    }
    return out->Close() && ok;
}

namespace {

// One NetCDF file being written; the first failure is told and ends it.
class ProfileNetcdf {
public:
    ProfileNetcdf(std::string path, Exporter::Reporter report)
        : path_(std::move(path)), report_(std::move(report)) {}
    ~ProfileNetcdf() {
        if (ncid_ >= 0) nc_close(ncid_);
    }
    ProfileNetcdf(const ProfileNetcdf&) = delete;
    ProfileNetcdf& operator=(const ProfileNetcdf&) = delete;

    bool Check(int status) {
        if (status == NC_NOERR) return true;
        if (report_)
            report_("Cannot write the NetCDF file '" + path_ + "': " + nc_strerror(status));
        if (ncid_ >= 0) nc_close(ncid_);
        ncid_ = -1;
        return false;
    }
    bool Create() { return Check(nc_create(path_.c_str(), NC_NETCDF4 | NC_CLOBBER, &ncid_)); }
    bool Text(int varid, const char* name, const std::string& value) {
        return value.empty() ||
               Check(nc_put_att_text(ncid_, varid, name, value.size(), value.c_str()));
    }
    bool Facts(const std::vector<Fact>& facts) {
        for (const Fact& fact : facts) {
            const std::size_t count = fact.numbers.size();
            int status = NC_NOERR;
            if (fact.type == Fact::Type::Text) {
                if (!Text(NC_GLOBAL, fact.name.c_str(), fact.text)) return false;
                continue;
            }
            if (fact.type == Fact::Type::Integers) {
                const std::vector<int> values(fact.numbers.begin(), fact.numbers.end());
                status = nc_put_att_int(ncid_, NC_GLOBAL, fact.name.c_str(), NC_INT, count,
                                        values.data());
            } else if (fact.type == Fact::Type::Float) {
                const std::vector<float> values(fact.numbers.begin(), fact.numbers.end());
                status = nc_put_att_float(ncid_, NC_GLOBAL, fact.name.c_str(), NC_FLOAT, count,
                                          values.data());
            } else {
                status = nc_put_att_double(ncid_, NC_GLOBAL, fact.name.c_str(), NC_DOUBLE, count,
                                           fact.numbers.data());
            }
            if (!Check(status)) return false;
        }
        return true;
    }
    bool Variable(const char* name, nc_type type, std::vector<int> dims, int& varid) {
        return Check(
            nc_def_var(ncid_, name, type, static_cast<int>(dims.size()), dims.data(), &varid));
    }
    int Id() const { return ncid_; }
    bool Close() {
        const int ncid = ncid_;
        ncid_ = -1;
        const int status = nc_close(ncid);
        if (status == NC_NOERR) return true;
        if (report_)
            report_("Cannot write the NetCDF file '" + path_ + "': " + nc_strerror(status));
        return false;
    }

private:
    std::string path_;
    Exporter::Reporter report_;
    int ncid_ = -1;
};

}  // namespace

bool WriteProfileNetcdf(const std::string& path, const DeviceCalibration& calibration,
                        const ProfileFile& file, const Exporter::Reporter& report) {
    const std::vector<ExportColumn> columns = ProfileColumns(calibration);
    const std::vector<long> axis = BinAxis(file.profiles, file.binSize);
    const std::size_t profiles = file.profiles.size();
    // Every trace has a bin: an empty list is the only way to have no axis.
    if (profiles == 0) {
        if (report) report("No profile to write to '" + path + "': no cast was found");
        return false;
    }
    ProfileNetcdf nc(path, report);
    if (!nc.Create() || !nc.Facts(ProfileFacts(calibration, file, columns))) return false;
    const int ncid = nc.Id();
    int profileDim = -1;
    int pressureDim = -1;
    if (!nc.Check(nc_def_dim(ncid, "profile", profiles, &profileDim)) ||
        !nc.Check(nc_def_dim(ncid, "pressure", axis.size(), &pressureDim))) {
        return false;
    }
    constexpr double kFill = NC_FILL_DOUBLE;
    int pressure = -1;
    int profileId = -1;
    int castNumber = -1;
    int direction = -1;
    int time = -1;
    int samples = -1;
    int lat = -1;
    int lon = -1;
    const bool placed = file.options.position.kind != PositionKind::None;
    if (!nc.Variable("pressure", NC_DOUBLE, {pressureDim}, pressure) ||
        !nc.Text(pressure, "long_name", "sea water pressure at the bin's centre") ||
        !nc.Text(pressure, "standard_name", "sea_water_pressure") ||
        !nc.Text(pressure, "units", "dbar") || !nc.Text(pressure, "positive", "down") ||
        !nc.Text(pressure, "axis", "Z") ||
        !nc.Text(pressure, "comment",
                 BinProcessingText(file.binSize, file.options.quality.has_value())) ||
        !nc.Variable("profile", NC_INT, {profileDim}, profileId) ||
        !nc.Text(profileId, "long_name", "profile number, one per cast and direction") ||
        !nc.Text(profileId, "cf_role", "profile_id") ||
        !nc.Variable("cast_number", NC_INT, {profileDim}, castNumber) ||
        !nc.Text(castNumber, "long_name", "the cast's number in the recording") ||
        !nc.Variable("direction", NC_STRING, {profileDim}, direction) ||
        !nc.Text(direction, "long_name", "down or up trace of the cast") ||
        !nc.Variable("time", NC_DOUBLE, {profileDim}, time) ||
        !nc.Text(time, "long_name", "time of the trace's first record") ||
        !nc.Text(time, "standard_name", "time") ||
        !nc.Text(time, "units", "seconds since 1970-01-01 00:00:00") ||
        !nc.Text(time, "calendar", "standard") || !nc.Text(time, "axis", "T") ||
        !nc.Check(nc_def_var_fill(ncid, time, 0, &kFill)) ||
        !nc.Variable("n_samples", NC_INT, {profileDim, pressureDim}, samples) ||
        !nc.Text(samples, "long_name", "records averaged in the bin") ||
        !nc.Text(samples, "units", "1")) {
        return false;
    }
    if (placed &&
        (!nc.Variable("lat", NC_DOUBLE, {profileDim}, lat) ||
         !nc.Check(nc_def_var_fill(ncid, lat, 0, &kFill)) ||
         !nc.Text(lat, "long_name", "latitude at the trace's first record") ||
         !nc.Text(lat, "standard_name", "latitude") || !nc.Text(lat, "units", "degrees_north") ||
         !nc.Text(lat, "axis", "Y") || !nc.Text(lat, "comment", file.options.position.source) ||
         !nc.Variable("lon", NC_DOUBLE, {profileDim}, lon) ||
         !nc.Check(nc_def_var_fill(ncid, lon, 0, &kFill)) ||
         !nc.Text(lon, "long_name", "longitude at the trace's first record") ||
         !nc.Text(lon, "standard_name", "longitude") || !nc.Text(lon, "units", "degrees_east") ||
         !nc.Text(lon, "axis", "X"))) {
        return false;
    }
    std::vector<int> values(columns.size(), -1);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const ExportColumn& column = columns[c];
        int& v = values[c];
        if (!nc.Variable(column.name.c_str(), NC_DOUBLE, {profileDim, pressureDim}, v) ||
            !nc.Check(nc_def_var_fill(ncid, v, 0, &kFill)) ||
            !nc.Text(v, "long_name", column.longName) || !nc.Text(v, "units", column.units) ||
            !nc.Text(v, "standard_name", column.standardName) ||
            !nc.Text(v, "eng_heading", column.heading) ||
            !nc.Text(v, "cell_methods", "pressure: mean (loops excluded)") ||
            !nc.Text(
                v, "coordinates",
                placed ? "time lat lon cast_number direction" : "time cast_number direction")) {
            return false;
        }
        if (column.wavelength > 0) {
            const int wavelength = column.wavelength;
            if (!nc.Check(nc_put_att_int(ncid, v, "radiation_wavelength", NC_INT, 1, &wavelength)))
                return false;
        }
    }
    if (!nc.Check(nc_enddef(ncid))) return false;

    std::vector<double> centres;
    for (const long k : axis) centres.push_back(static_cast<double>(k) * file.binSize);
    std::vector<int> numbers;
    std::vector<int> casts;
    std::vector<const char*> directions;
    std::vector<double> times;
    std::vector<double> lats;
    std::vector<double> lons;
    for (std::size_t p = 0; p < profiles; ++p) {
        const Profile& profile = file.profiles[p];
        const std::optional<PositionFix> fix = ProfilePosition(file, profile);
        lats.push_back(fix ? fix->lat : kFill);
        lons.push_back(fix ? fix->lon : kFill);
        numbers.push_back(static_cast<int>(p + 1));
        casts.push_back(profile.cast);
        directions.push_back(CastPhaseName(profile.direction));
        times.push_back(std::isfinite(profile.startSeconds) ? profile.startSeconds : kFill);
    }
    const std::size_t cells = profiles * axis.size();
    std::vector<int> counts(cells, 0);
    std::vector<std::vector<double>> means(columns.size(), std::vector<double>(cells, kFill));
    for (std::size_t p = 0; p < profiles; ++p) {
        for (const ProfileBin& bin : file.profiles[p].bins) {
            const auto at =
                static_cast<std::size_t>(PressureBin(bin.centre, file.binSize) - axis.front());
            counts[p * axis.size() + at] = static_cast<int>(bin.samples);
            for (std::size_t c = 0; c < columns.size() && c < bin.means.size(); ++c) {
                if (std::isfinite(bin.means[c])) means[c][p * axis.size() + at] = bin.means[c];
            }
        }
    }
    if (!nc.Check(nc_put_var_double(ncid, pressure, centres.data())) ||
        !nc.Check(nc_put_var_int(ncid, profileId, numbers.data())) ||
        !nc.Check(nc_put_var_int(ncid, castNumber, casts.data())) ||
        !nc.Check(nc_put_var_string(ncid, direction, directions.data())) ||
        !nc.Check(nc_put_var_double(ncid, time, times.data())) ||
        !nc.Check(nc_put_var_int(ncid, samples, counts.data())) ||
        (placed && (!nc.Check(nc_put_var_double(ncid, lat, lats.data())) ||
                    !nc.Check(nc_put_var_double(ncid, lon, lons.data()))))) {
        return false;
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!nc.Check(nc_put_var_double(ncid, values[c], means[c].data()))) return false;
    }
    return nc.Close();
}

}  // namespace kivo
