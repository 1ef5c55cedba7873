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

std::string UtcText(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    const CNumericLocale cLocale;
    return FormatC("%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                   utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

std::string EpochText(double seconds) {
    const auto whole = static_cast<std::time_t>(seconds);
    return UtcText(whole);
}

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
    alternateMode_ = options.alternateMode;
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
    const bool timeAxis = HasDateColumn(cal);
    const char* dimensionName = timeAxis ? "time" : "obs";
    int dimension = -1;
    if (!Check(nc_def_dim(ncid_, dimensionName, NC_UNLIMITED, &dimension))) return false;

    const std::size_t chunk = kBatch;
    const auto define = [&](const std::string& name, Variable& variable) {
        variable.pending.clear();
        variable.pending.reserve(kBatch);
        return Check(nc_def_var(ncid_, name.c_str(), NC_DOUBLE, 1, &dimension, &variable.id)) &&
               Check(nc_def_var_chunking(ncid_, variable.id, NC_CHUNKED, &chunk)) &&
               Check(nc_def_var_deflate(ncid_, variable.id, 1, 1, kDeflateLevel)) &&
               Check(nc_def_var_fill(ncid_, variable.id, 0, &kFill));
    };
    const auto text = [&](int varid, const char* name, const std::string& value) {
        return value.empty() || Check(PutText(ncid_, varid, name, value));
    };

    const std::string created = UtcText(std::time(nullptr));
    const std::string history = created + " " + options.software +
                                (options.arguments.empty() ? "" : " " + options.arguments);
    const std::string title = deviceName.empty() ? std::string("KIVO meter recording") : deviceName;
    if (!text(NC_GLOBAL, "Conventions", "CF-1.8, ACDD-1.3") || !text(NC_GLOBAL, "title", title) ||
        !text(NC_GLOBAL, "summary",
              "Engineering-unit values and raw counts of the meter \"" + title +
                  "\", one record per data line, as the .eng file holds them but at full "
                  "precision.") ||
        !text(NC_GLOBAL, "source", options.software) || !text(NC_GLOBAL, "history", history) ||
        !text(NC_GLOBAL, "date_created", created) ||
        !text(NC_GLOBAL, "standard_name_vocabulary", "CF Standard Name Table")) {
        return false;
    }

    if (!define("time", time_) || !text(time_.id, "standard_name", "time") ||
        !text(time_.id, "long_name", "time of the meter's clock") ||
        !text(time_.id, "units", "seconds since 1970-01-01 00:00:00") ||
        !text(time_.id, "calendar", "standard") || (timeAxis && !text(time_.id, "axis", "T")) ||
        !text(time_.id, "comment",
              "The meter's own clock, taken as UTC: the meter keeps no time zone. Missing "
              "where the line carried no valid date.")) {
        return false;
    }

    values_.assign(columns_.size() + counts_.size(), Variable{});
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const ExportColumn& c = columns_[i];
        Variable& v = values_[i];
        if (!define(c.name, v) || !text(v.id, "long_name", c.longName) ||
            !text(v.id, "units", c.units) || !text(v.id, "standard_name", c.standardName) ||
            !text(v.id, "eng_heading", c.heading) ||
            (!timeAxis && !text(v.id, "coordinates", "time"))) {
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
        const int column = c.deviceColumn;
        if (!define(c.name, v) || !text(v.id, "long_name", c.longName) ||
            !text(v.id, "units", "1") || (!timeAxis && !text(v.id, "coordinates", "time")) ||
            !Check(nc_put_att_int(ncid_, v.id, "device_column", NC_INT, 1, &column))) {
            return false;
        }
    }
    return Check(nc_enddef(ncid_));
}

void NetcdfExporter::OnSample(const Sample& sample) {
    if (ncid_ < 0) return;
    const std::optional<CalendarTime> time = MeterCalendarTime(sample.meterClock);
    if (time) {
        const double seconds = SecondsSinceEpoch(*time);
        firstTime_ = anyTime_ ? std::min(firstTime_, seconds) : seconds;
        lastTime_ = anyTime_ ? std::max(lastTime_, seconds) : seconds;
        anyTime_ = true;
        time_.pending.push_back(seconds);
    } else {
        time_.pending.push_back(kFill);
    }
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
    if (time_.pending.size() >= kBatch) WritePending();
}

bool NetcdfExporter::WritePending() {
    const std::size_t rows = time_.pending.size();
    if (rows == 0) return true;
    const std::size_t start = written_;
    const auto put = [&](Variable& v) {
        const bool ok = Check(nc_put_vara_double(ncid_, v.id, &start, &rows, v.pending.data()));
        v.pending.clear();
        return ok;
    };
    if (!put(time_)) return false;
    for (Variable& v : values_) {
        if (!put(v)) return false;
    }
    written_ += rows;
    return true;
}

bool NetcdfExporter::Sync() { return Flush() && Check(nc_sync(ncid_)); }

bool NetcdfExporter::Finish() {
    if (ncid_ < 0) return false;
    if (!WritePending()) return false;
    if (anyTime_) {
        if (!Check(nc_redef(ncid_)) ||
            !Check(PutText(ncid_, NC_GLOBAL, "time_coverage_start", EpochText(firstTime_))) ||
            !Check(PutText(ncid_, NC_GLOBAL, "time_coverage_end", EpochText(lastTime_))) ||
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
