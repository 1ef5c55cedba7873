#include "core/export/NetcdfExporter.h"

#include <fcntl.h>
#include <hdf5.h>
#include <netcdf.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <optional>

#include "core/data/DataLine.h"
#include "core/export/ExportFacts.h"
#include "core/text/CFormat.h"

namespace kivo {

namespace {

constexpr double kFill = NC_FILL_DOUBLE;
constexpr int kDeflateLevel = 4;

bool HasDateColumn(const DeviceCalibration& cal) {
    const int columns = std::clamp(static_cast<int>(cal.definitionCount), 0, kSlots);
    return std::any_of(cal.columnType.begin(), cal.columnType.begin() + columns,
                       [](int type) { return type == column::kDate; });
}

std::string EpochText(double seconds) { return UtcText(static_cast<std::time_t>(seconds)); }

int PutText(int ncid, int varid, const char* name, const std::string& text) {
    return nc_put_att_text(ncid, varid, name, text.size(), text.c_str());
}

// The library's handles on the file created at `path`: one, or none when it is gone.
std::vector<hid_t> Hdf5FilesAt(const std::string& path) {
    std::vector<hid_t> files(static_cast<std::size_t>(
        std::max<ssize_t>(H5Fget_obj_count(H5F_OBJ_ALL, H5F_OBJ_FILE), 0)));
    const ssize_t open = H5Fget_obj_ids(H5F_OBJ_ALL, H5F_OBJ_FILE, files.size(), files.data());
    files.resize(static_cast<std::size_t>(std::max<ssize_t>(open, 0)));
    const auto elsewhere = [&path](hid_t file) {
        std::string name(path.size() + 1, '\0');
        const ssize_t length = H5Fget_name(file, name.data(), name.size());
        return length != static_cast<ssize_t>(path.size()) ||
               name.compare(0, path.size(), path) != 0;
    };
    files.erase(std::remove_if(files.begin(), files.end(), elsewhere), files.end());
    return files;
}

// Points the file's descriptor at /dev/null, so that what the library still writes
// succeeds and goes nowhere.
void DiscardWrites(hid_t file) {
    const hid_t access = H5Fget_access_plist(file);
    if (access < 0) return;
    int* descriptor = nullptr;
    if (H5Pget_driver(access) == H5FD_SEC2 &&
        H5Fget_vfd_handle(file, access, reinterpret_cast<void**>(&descriptor)) >= 0 &&
        descriptor != nullptr) {
        const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (nowhere >= 0) {
            ::dup3(nowhere, *descriptor, O_CLOEXEC);
            ::close(nowhere);
        }
    }
    H5Pclose(access);
}

// A file whose write failed (a full disk) does not close: HDF5 flushes its caches first,
// the flush fails again, and the half-closed file it keeps crashes the library's own
// clean-up at the end of the process. The file is given up anyway, so its writes go to
// /dev/null, where the last flush succeeds, and whatever the library still holds of it is
// closed, the objects before the file.
void CloseFailedFile(int ncid, const std::string& path) {
    const std::vector<hid_t> files = Hdf5FilesAt(path);
    for (const hid_t file : files) DiscardWrites(file);
    if (ncid >= 0) nc_close(ncid);
    H5E_BEGIN_TRY {
        for (const hid_t file : files) {
            if (H5Iis_valid(file) <= 0) continue;
            const ssize_t count =
                H5Fget_obj_count(file, H5F_OBJ_LOCAL | H5F_OBJ_DATASET | H5F_OBJ_GROUP |
                                           H5F_OBJ_DATATYPE | H5F_OBJ_ATTR);
            std::vector<hid_t> objects(static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
            const ssize_t listed = H5Fget_obj_ids(
                file,
                H5F_OBJ_LOCAL | H5F_OBJ_DATASET | H5F_OBJ_GROUP | H5F_OBJ_DATATYPE | H5F_OBJ_ATTR,
                objects.size(), objects.data());
            for (ssize_t i = 0; i < listed; ++i) {
                const hid_t object = objects[static_cast<std::size_t>(i)];
                if (H5Iget_type(object) == H5I_ATTR) {
                    H5Aclose(object);
                } else {
                    H5Oclose(object);
                }
            }
            H5Fclose(file);
        }
    }
    H5E_END_TRY
}

}  // namespace

NetcdfExporter::~NetcdfExporter() {
    if (ncid_ >= 0) nc_close(ncid_);
}

bool NetcdfExporter::Check(int status) {
    if (status == NC_NOERR) return true;
    if (ncid_ >= 0) {
        CloseFailedFile(ncid_, path_);
        ncid_ = -1;
        Report("Cannot write the NetCDF file '" + path_ + "': " + nc_strerror(status));
    }
    return false;
}

bool NetcdfExporter::Start(const std::string& path, const DeviceCalibration& calibration,
                           const std::string& deviceName, const ExportOptions& options) {
    Finish();
    path_ = path;
    written_ = 0;
    anyTime_ = false;
    axis_ = TimeAxis{};
    time_ = meterTime_ = hostReceived_ = Variable{};
    alternateMode_ = options.alternateMode;
    meterClock_ = options.meterClock;
    hostTime_ = options.hostUtcMilliseconds;
    position_ = options.position;
    if (!position_.at) position_.kind = PositionKind::None;
    lat_ = lon_ = Variable{};
    anyPosition_ = false;
    int ncid = -1;
    const int status = nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &ncid);
    if (status != NC_NOERR) {
        Report("Cannot create the NetCDF file '" + path + "': " + nc_strerror(status));
        return false;
    }
    ncid_ = ncid;
    return Define(calibration, deviceName, options);
}

bool NetcdfExporter::Define(const DeviceCalibration& cal, const std::string& deviceName,
                            const ExportOptions& options) {
    columns_ = EngineeringColumns(cal);
    counts_ = CountColumns(cal, columns_);
    timeAxis_ = HasDateColumn(cal);
    int dimension = -1;
    if (!Check(nc_def_dim(ncid_, timeAxis_ ? "time" : "obs", NC_UNLIMITED, &dimension)))
        return false;

    const std::size_t chunk = kBatch;
    const auto define = [&](const std::string& name, Variable& variable, nc_type type = NC_DOUBLE) {
        variable.pending.clear();
        variable.pending.reserve(kBatch);
        return Check(nc_def_var(ncid_, name.c_str(), type, 1, &dimension, &variable.id)) &&
               Check(nc_def_var_chunking(ncid_, variable.id, NC_CHUNKED, &chunk)) &&
               Check(nc_def_var_deflate(ncid_, variable.id, 1, 1, kDeflateLevel)) &&
               (type != NC_DOUBLE || Check(nc_def_var_fill(ncid_, variable.id, 0, &kFill)));
    };
    const auto text = [&](int varid, const char* name, const std::string& value) {
        return value.empty() || Check(PutText(ncid_, varid, name, value));
    };
    const auto facts = [&](int varid, const std::vector<Fact>& list) {
        for (const Fact& fact : list) {
            const char* name = fact.name.c_str();
            const std::size_t count = fact.numbers.size();
            int status = NC_NOERR;
            if (fact.type == Fact::Type::Text) {
                status = PutText(ncid_, varid, name, fact.text);
            } else if (fact.type == Fact::Type::Integers) {
                const std::vector<int> values(fact.numbers.begin(), fact.numbers.end());
                status = nc_put_att_int(ncid_, varid, name, NC_INT, count, values.data());
            } else if (fact.type == Fact::Type::Float) {
                const std::vector<float> values(fact.numbers.begin(), fact.numbers.end());
                status = nc_put_att_float(ncid_, varid, name, NC_FLOAT, count, values.data());
            } else {
                status =
                    nc_put_att_double(ncid_, varid, name, NC_DOUBLE, count, fact.numbers.data());
            }
            if (!Check(status)) return false;
        }
        return true;
    };
    const auto timeVariable = [&](const char* name, Variable& v, const std::string& longName,
                                  const std::string& comment) {
        return define(name, v) && text(v.id, "long_name", longName) &&
               text(v.id, "units", "seconds since 1970-01-01 00:00:00") &&
               text(v.id, "calendar", "standard") && text(v.id, "comment", comment);
    };

    if (!facts(NC_GLOBAL,
               GlobalFacts(cal, deviceName, options, columns_, UtcText(std::time(nullptr)))))
        return false;

    const std::string zone = meterClock_.Description();
    const std::string timeComment =
        timeAxis_
            ? "The meter's clock, set in " + zone +
                  ", converted to UTC. The meter prints whole seconds: the n records in a row "
                  "that share a second are spread evenly within it, at second + k/n (k = 0 .. "
                  "n-1), so that the axis is unique and increasing; meter_time keeps the "
                  "meter's own whole second. A record whose time would not come after the one "
                  "before (the meter's clock went back, or more than 1024 records share a "
                  "second) or that has no valid date is put 1 ms after the record before; "
                  "records before the first valid date are put 1 ms apart before it."
            : "The meter's clock, set in " + zone +
                  ", converted to UTC: the time of its last date and time reply (the device "
                  "file has no date column). Missing while none has come.";
    if (!timeVariable("time", time_, "time of the record", timeComment) ||
        !text(time_.id, "standard_name", "time") || (timeAxis_ && !text(time_.id, "axis", "T"))) {
        return false;
    }
    if (timeAxis_ &&
        !timeVariable("meter_time", meterTime_, "the meter's own date and time, whole seconds",
                      "As the data line carried it, set in " + zone +
                          " and converted to UTC. Missing where the line carried no valid date.")) {
        return false;
    }
    if (hostTime_ &&
        (!timeVariable("host_time", hostReceived_, "the computer's time when the line arrived",
                       "The computer's clock, UTC, with milliseconds: meter_time - host_time is "
                       "the meter's clock offset (within the second the meter rounds to).") ||
         (!timeAxis_ && !text(hostReceived_.id, "coordinates", "time")))) {
        return false;
    }

    // Where each record was made: CF's latitude and longitude, on the same axis.
    const bool placed = position_.kind != PositionKind::None;
    const std::string where = placed ? "time lat lon" : "time";
    if (placed) {
        const std::string how = "Interpolated linearly in time at each record's time from " +
                                position_.source + "; missing where no fix was near enough.";
        if (!define("lat", lat_) || !text(lat_.id, "long_name", "latitude") ||
            !text(lat_.id, "standard_name", "latitude") ||
            !text(lat_.id, "units", "degrees_north") || !text(lat_.id, "axis", "Y") ||
            !text(lat_.id, "comment", how) || !define("lon", lon_) ||
            !text(lon_.id, "long_name", "longitude") ||
            !text(lon_.id, "standard_name", "longitude") ||
            !text(lon_.id, "units", "degrees_east") || !text(lon_.id, "axis", "X") ||
            !text(lon_.id, "comment", how)) {
            return false;
        }
    }
    values_.assign(columns_.size() + counts_.size(), Variable{});
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const ExportColumn& c = columns_[i];
        Variable& v = values_[i];
        if (!define(c.name, v) || !text(v.id, "long_name", c.longName) ||
            !text(v.id, "units", c.units) || !text(v.id, "standard_name", c.standardName) ||
            !text(v.id, "eng_heading", c.heading) ||
            ((!timeAxis_ || placed) && !text(v.id, "coordinates", where))) {
            return false;
        }
        if (c.wavelength > 0) {
            const int wavelength = c.wavelength;
            if (!Check(
                    nc_put_att_int(ncid_, v.id, "radiation_wavelength", NC_INT, 1, &wavelength)) ||
                !text(v.id, "radiation_wavelength_units", "nm")) {
                return false;
            }
        }
        const int column = c.deviceColumn;
        if (!Check(nc_put_att_int(ncid_, v.id, "device_column", NC_INT, 1, &column))) return false;
    }
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        const CountColumn& c = counts_[i];
        Variable& v = values_[columns_.size() + i];
        if (!define(c.name, v) || !text(v.id, "long_name", c.longName) ||
            !text(v.id, "units", "1") || (!timeAxis_ && !text(v.id, "coordinates", "time")) ||
            !facts(v.id, CalibrationFacts(cal, c.deviceColumn))) {
            return false;
        }
    }
    casts_ = options.casts;
    castValues_.assign(casts_ ? 3 : 0, Variable{});
    if (casts_) {
        const signed char phases[] = {0, 1, 2, 3, 4};
        const signed char marks[] = {0, 1};
        Variable& cast = castValues_[0];
        Variable& phase = castValues_[1];
        Variable& loop = castValues_[2];
        if (!define("cast", cast, NC_INT) ||
            !text(cast.id, "long_name", "the cast's number, 1, 2 ...; 0 on deck") ||
            !define("phase", phase, NC_BYTE) ||
            !text(phase.id, "long_name", "where in its cast the record was taken") ||
            !Check(nc_put_att_schar(ncid_, phase.id, "flag_values", NC_BYTE, 5, phases)) ||
            !text(phase.id, "flag_meanings", "deck soak down bottom up") ||
            !define("loop", loop, NC_BYTE) ||
            !text(loop.id, "long_name",
                  "in a down trace not deeper than every record before it (in an up trace not "
                  "shallower), as ship heave makes them; left out of bin averages") ||
            !Check(nc_put_att_schar(ncid_, loop.id, "flag_values", NC_BYTE, 2, marks)) ||
            !text(loop.id, "flag_meanings", "no_loop loop")) {
            return false;
        }
        if (!timeAxis_) {
            for (Variable& v : castValues_)
                if (!text(v.id, "coordinates", "time")) return false;
        }
    }
    records_ = 0;
    return DefineQuality(cal, options, dimension) && Check(nc_enddef(ncid_));
}

bool NetcdfExporter::DefineQuality(const DeviceCalibration& cal, const ExportOptions& options,
                                   int dimension) {
    quality_.reset();
    flags_.clear();
    qualityDetail_ = options.qualityDetail;
    if (!options.quality) return true;
    quality_.emplace(cal, options.alternateMode, *options.quality);

    const std::size_t chunk = kBatch;
    const signed char values[] = {1, 2, 3, 4, 9};
    const std::string meanings = "pass not_evaluated suspect fail missing";
    const auto text = [&](int varid, const char* name, const std::string& value) {
        return Check(PutText(ncid_, varid, name, value));
    };
    const auto define = [&](const std::string& name, const std::string& longName,
                            const std::string& standardName) {
        Variable v;
        v.pending.reserve(kBatch);
        const bool ok = Check(nc_def_var(ncid_, name.c_str(), NC_BYTE, 1, &dimension, &v.id)) &&
                        Check(nc_def_var_chunking(ncid_, v.id, NC_CHUNKED, &chunk)) &&
                        Check(nc_def_var_deflate(ncid_, v.id, 1, 1, kDeflateLevel)) &&
                        text(v.id, "long_name", longName) &&
                        text(v.id, "standard_name", standardName) &&
                        Check(nc_put_att_schar(ncid_, v.id, "flag_values", NC_BYTE, 5, values)) &&
                        text(v.id, "flag_meanings", meanings) &&
                        text(v.id, "references", "https://ioos.noaa.gov/project/qartod/") &&
                        (timeAxis_ || text(v.id, "coordinates", "time"));
        flags_.push_back(std::move(v));
        return ok;
    };
    struct Test {
        const char* suffix;
        const char* words;
        const char* standardName;
    };
    const Test tests[] = {
        {"_qc_saturation", "saturation test", "quality_flag"},
        {"_qc_flat_line", "flat line test", "flat_line_test_quality_flag"},
        {"_qc_spike", "spike test", "spike_test_quality_flag"},
        {"_qc_rate_of_change", "rate of change test", "rate_of_change_test_quality_flag"},
        {"_qc_gross_range", "gross range test", "gross_range_test_quality_flag"},
    };
    std::vector<std::string> names;
    for (const ExportColumn& c : columns_) names.push_back(c.name);
    for (const CountColumn& c : counts_) names.push_back(c.name);
    for (const std::string& name : names) {
        if (!define(name + "_qc", "quality flag of " + name + ", the worst of its tests",
                    "aggregate_quality_flag"))
            return false;
    }
    for (std::size_t i = 0; qualityDetail_ && i < names.size(); ++i) {
        for (const Test& test : tests) {
            if (!define(names[i] + test.suffix, std::string(test.words) + " flag of " + names[i],
                        test.standardName))
                return false;
        }
    }
    if (!define("record_qc", "the worst quality flag of the record's values",
                "aggregate_quality_flag"))
        return false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string ancillary = names[i] + "_qc";
        for (const Test& test : tests) {
            if (qualityDetail_) ancillary += " " + names[i] + test.suffix;
        }
        if (!text(values_[i].id, "ancillary_variables", ancillary)) return false;
    }
    return true;
}

void NetcdfExporter::KeepFlags() {
    const std::size_t values = columns_.size() + counts_.size();
    const auto flagsOf = [&](std::size_t i) -> const ValueFlags& {
        return i < columns_.size() ? quality_->Engineering(i)
                                   : quality_->Counts(i - columns_.size());
    };
    for (std::size_t i = 0; i < values; ++i)
        flags_[i].pending.push_back(static_cast<double>(flagsOf(i).aggregate));
    if (qualityDetail_) {
        for (std::size_t i = 0; i < values; ++i) {
            const ValueFlags& f = flagsOf(i);
            const QualityFlag each[] = {f.saturation, f.flatLine, f.spike, f.rateOfChange,
                                        f.grossRange};
            for (std::size_t t = 0; t < 5; ++t)
                flags_[values + i * 5 + t].pending.push_back(static_cast<double>(each[t]));
        }
    }
    flags_.back().pending.push_back(static_cast<double>(quality_->Record()));
}

void NetcdfExporter::OnSample(const Sample& sample) {
    if (ncid_ < 0) return;
    std::optional<std::int64_t> second;
    if (const std::optional<CalendarTime> time = MeterCalendarTime(sample.meterClock))
        second = meterClock_.UtcSeconds(*time);
    if (second) {
        const auto seconds = static_cast<double>(*second);
        firstTime_ = anyTime_ ? std::min(firstTime_, seconds) : seconds;
        lastTime_ = anyTime_ ? std::max(lastTime_, seconds) : seconds;
        anyTime_ = true;
    }
    const double meterSeconds = second ? static_cast<double>(*second) : kFill;
    if (timeAxis_) {
        meterTime_.pending.push_back(meterSeconds);
        axis_.Add(second);
    } else {
        time_.pending.push_back(meterSeconds);
    }
    if (hostTime_) hostReceived_.pending.push_back(static_cast<double>(hostTime_()) / 1000.0);
    const auto keep = [](Variable& v, double value) {
        v.pending.push_back(std::isfinite(value) ? value : kFill);
    };
    for (std::size_t i = 0; i < columns_.size(); ++i)
        keep(values_[i], EngineeringValue(columns_[i], sample.engineering));
    if (!counts_.empty()) {
        SplitLine fields;
        SplitDataLine(sample.line, alternateMode_, fields);
        for (std::size_t i = 0; i < counts_.size(); ++i) {
            const auto index = static_cast<std::size_t>(counts_[i].deviceColumn - 1);
            keep(values_[columns_.size() + i], fields.values[index]);
        }
    }
    if (casts_) {
        const CastMark mark = records_ < casts_->size() ? (*casts_)[records_] : CastMark{};
        castValues_[0].pending.push_back(mark.cast);
        castValues_[1].pending.push_back(static_cast<double>(mark.phase));
        castValues_[2].pending.push_back(mark.loop ? 1.0 : 0.0);
    }
    if (quality_ && quality_->Push(sample)) KeepFlags();
    ++records_;
    if ((timeAxis_ ? meterTime_ : time_).pending.size() >= kBatch) WritePending(false);
}

bool NetcdfExporter::WritePending(bool all) {
    if (all && quality_ && quality_->Finish()) KeepFlags();
    if (timeAxis_) {
        if (all) axis_.Close();
        for (const double time : axis_.TakeDecided())
            time_.pending.push_back(std::isnan(time) ? kFill : time);
    }
    std::size_t rows = time_.pending.size();
    // A record waits for its flags, decided by the record after it.
    if (!flags_.empty()) rows = std::min(rows, flags_.front().pending.size());
    if (rows == 0) return true;
    if (position_.kind != PositionKind::None) {
        for (std::size_t i = lat_.pending.size(); i < rows; ++i) {
            const double time = time_.pending[i];
            const std::optional<PositionFix> fix =
                position_.at(time == kFill ? PositionFix::kUnknown : time);
            const bool known = fix && fix->HasPosition();
            lat_.pending.push_back(known ? fix->lat : kFill);
            lon_.pending.push_back(known ? fix->lon : kFill);
            if (!known) continue;
            latMin_ = anyPosition_ ? std::min(latMin_, fix->lat) : fix->lat;
            latMax_ = anyPosition_ ? std::max(latMax_, fix->lat) : fix->lat;
            lonMin_ = anyPosition_ ? std::min(lonMin_, fix->lon) : fix->lon;
            lonMax_ = anyPosition_ ? std::max(lonMax_, fix->lon) : fix->lon;
            anyPosition_ = true;
        }
    }
    const std::size_t start = written_;
    // The first `rows` records held; the rest wait for their time.
    const auto put = [&](Variable& v) {
        if (v.id < 0) return true;
        const bool ok = Check(nc_put_vara_double(ncid_, v.id, &start, &rows, v.pending.data()));
        v.pending.erase(v.pending.begin(), v.pending.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                   rows, v.pending.size())));
        return ok;
    };
    if (!put(time_) || (timeAxis_ && !put(meterTime_)) || !put(hostReceived_) || !put(lat_) ||
        !put(lon_))
        return false;
    for (Variable& v : values_) {
        if (!put(v)) return false;
    }
    for (Variable& v : castValues_) {
        if (!put(v)) return false;
    }
    for (Variable& v : flags_) {
        if (!put(v)) return false;
    }
    written_ += rows;
    return true;
}

bool NetcdfExporter::Sync() { return Flush() && Check(nc_sync(ncid_)); }

bool NetcdfExporter::Finish() {
    if (ncid_ < 0) return false;
    if (!WritePending(true)) return false;
    if (anyTime_) {
        if (!Check(nc_redef(ncid_)) ||
            !Check(PutText(ncid_, NC_GLOBAL, "time_coverage_start", EpochText(firstTime_))) ||
            !Check(PutText(ncid_, NC_GLOBAL, "time_coverage_end", EpochText(lastTime_))) ||
            !Check(nc_enddef(ncid_))) {
            return false;
        }
    }
    // The area the positions cover (ACDD): the plain least and greatest of the records that
    // have one.
    if (anyPosition_) {
        const double bounds[] = {latMin_, latMax_, lonMin_, lonMax_};
        const char* names[] = {"geospatial_lat_min", "geospatial_lat_max", "geospatial_lon_min",
                               "geospatial_lon_max"};
        if (!Check(nc_redef(ncid_))) return false;
        for (int i = 0; i < 4; ++i) {
            if (!Check(nc_put_att_double(ncid_, NC_GLOBAL, names[i], NC_DOUBLE, 1, &bounds[i])))
                return false;
        }
        if (!Check(PutText(ncid_, NC_GLOBAL, "geospatial_lat_units", "degrees_north")) ||
            !Check(PutText(ncid_, NC_GLOBAL, "geospatial_lon_units", "degrees_east")) ||
            !Check(nc_enddef(ncid_))) {
            return false;
        }
    }
    const int ncid = ncid_;
    ncid_ = -1;
    const int status = nc_close(ncid);
    if (status != NC_NOERR) {
        CloseFailedFile(-1, path_);
        Report("Cannot write the NetCDF file '" + path_ + "': " + nc_strerror(status));
        return false;
    }
    return true;
}

}  // namespace kivo
