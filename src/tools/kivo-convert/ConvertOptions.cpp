#include "tools/kivo-convert/ConvertOptions.h"

#include <cmath>
#include <cstddef>
#include <optional>

#include "core/export/ExportAttributes.h"
#include "core/text/ScanNumbers.h"

namespace kivo {

namespace {

// A finite number above 0, the whole text of it, with a decimal point whatever the locale.
std::optional<double> PositiveNumber(const std::string& text) {
    std::size_t pos = 0;
    const std::optional<double> number = ScanDouble(text, pos);
    if (!number || pos != text.size() || !std::isfinite(*number) || !(*number > 0))
        return std::nullopt;
    return number;
}

}  // namespace

std::string ConvertUsage() {
    return "Usage: kivo-convert --dev METER.dev [--alt] [--refcorr] [--tempcorr]\n"
           "                    [--settings last.rbs] [--format eng|csv|netcdf] [-o OUT]\n"
           "                    [--meter-clock utc|local|+HH:MM] [--attr KEY=VALUE]...\n"
           "                    [--attrs FILE] [--casts [--bin DBAR] [--surface DBAR]\n"
           "                    [--min-speed DBAR/S] [--speed-window S] [--min-depth DBAR]]\n"
           "                    [--track FILE]... [--track-gap SECONDS]\n"
           "                    [--qc FILE|none] [--qc-detail] RAW...\n"
           "Converts recorded raw files (*.raw) with the meter's device file. The default\n"
           "output is an engineering-units file (*.eng): the same bytes KIVO View records\n"
           "for the same lines after a fresh start with engineering-units recording on from\n"
           "the first line. The raw files are read one after another as one stream.\n"
           "\n"
           "  --dev FILE         the meter's device file (required)\n"
           "  --alt              alternate-command mode: six-digit date and time fields\n"
           "  --refcorr          correct scattering counts by their reference channel\n"
           "  --tempcorr         correct scattering counts for the internal temperature\n"
           "  --settings FILE    take the three switches above from a last.rbs file\n"
           "  --format FORMAT    eng: the engineering-units file (the default);\n"
           "                     csv: the same values at full precision, comma-separated,\n"
           "                     with an ISO 8601 time column, for pandas, MATLAB, R and\n"
           "                     spreadsheets; netcdf: a CF-1.8 NetCDF-4 file with units,\n"
           "                     names and raw counts, for xarray and data archives\n"
           "  -o, --output FILE  write the output here (default: stdout; netcdf needs a file)\n"
           "  --meter-clock ZONE the zone the meter's clock was set in: utc (the default),\n"
           "                     local (this computer's zone, its summer time included) or\n"
           "                     a fixed offset such as -04:00; csv and netcdf times are\n"
           "                     converted from it to UTC, and the zone is recorded\n"
           "  --attr KEY=VALUE   a global attribute of the csv or netcdf file (institution,\n"
           "                     project, cruise, station, license ...); repeatable\n"
           "  --attrs FILE       attributes from a file of \"key = value\" lines (# comments);\n"
           "                     --attr given as well wins\n"
           "  --casts            find the casts in the pressure column (PRES=): csv and\n"
           "                     netcdf get the columns cast (1, 2 ...; 0 on deck), phase\n"
           "                     (deck, soak, down, bottom, up) and loop (1: in a down\n"
           "                     trace not deeper than every sample before it, in an up\n"
           "                     trace not shallower, as ship heave makes them)\n"
           "  --bin DBAR         with --casts: bin averages instead, one row (csv) or one\n"
           "                     profile (netcdf, CF featureType profile) per cast and\n"
           "                     direction; bin k holds [k*DBAR - DBAR/2, k*DBAR + DBAR/2);\n"
           "                     loops are left out\n"
           "  --surface DBAR     shallower is on deck (default 0.5)\n"
           "  --min-speed DBAR/S lowered or hauled at least this fast (default 0.25)\n"
           "  --speed-window S   the speed is taken across this span (default 10)\n"
           "  --min-depth DBAR   a stay in the water that never gets deeper is no cast\n"
           "                     (default 2)\n"
           "  --track FILE       positions for csv and netcdf: lat and lon at each record's\n"
           "                     time, interpolated linearly between the fixes around it;\n"
           "                     FILE is a track KIVO View wrote (NAME.track.csv), an NMEA\n"
           "                     0183 log (GGA and RMC sentences, read by gpsd's gpsdecode)\n"
           "                     or a CSV file with time (ISO 8601, UTC without a zone),\n"
           "                     lat and lon columns; repeatable, the fixes merged\n"
           "  --track-gap S      no position where the nearest fix is more than S seconds\n"
           "                     from the record (default 10)\n"
           "  --qc FILE          quality-test thresholds for csv and netcdf (see the README,\n"
           "                     \"Quality flags\"); without it saturation and flat line run\n"
           "                     with their defaults; 'none': no flags at all\n"
           "  --qc-detail        netcdf: each test's flags too (NAME_qc_spike ...)\n"
           "  -h, --help         show this text\n"
           "  --version          show the version\n"
           "\n"
           "The .eng file prints values with a fixed number of decimals (Beta, bbp: 6,\n"
           "most others: 4), so small values keep few significant digits; csv and netcdf\n"
           "keep every digit of the computed value.\n"
           "\n"
           "The output never replaces an input or the device file, and appears only when\n"
           "the run succeeded: it is written beside its name and renamed into place, so a\n"
           "failed run leaves a file already there as it was. Standard error ends with one\n"
           "line: the records written and the lines refused, by reason.\n"
           "\n"
           "Exit status: 0 done, 1 a file could not be read or written or the device file\n"
           "does not load, 2 a usage error or an output that is an input, 3 no record\n"
           "written (no line of the raw files is a data line of this device file),\n"
           "128+N stopped by signal N (SIGINT, SIGTERM, SIGHUP; nothing written to -o FILE).\n";
}

ParsedConvertLine ParseConvertOptions(const std::vector<std::string>& arguments) {
    ParsedConvertLine parsed;
    ConvertOptions& o = parsed.options;
    CastThresholds thresholds;
    bool thresholdsGiven = false;
    const auto fail = [&parsed](const std::string& why) {
        parsed.kind = ParsedConvertLine::Kind::Error;
        parsed.error = why;
        return parsed;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        const auto value = [&](std::string& into) {
            if (i + 1 >= arguments.size()) return false;
            into = arguments[++i];
            return true;
        };
        if (a == "-h" || a == "--help") {
            parsed.kind = ParsedConvertLine::Kind::Help;
            return parsed;
        } else if (a == "--version") {
            parsed.kind = ParsedConvertLine::Kind::Version;
            return parsed;
        } else if (a == "--dev") {
            if (!value(o.devicePath)) return fail("--dev needs a device file");
        } else if (a == "--settings") {
            if (!value(o.settingsPath)) return fail("--settings needs a last.rbs file");
        } else if (a == "-o" || a == "--output") {
            if (!value(o.outputPath)) return fail(a + " needs a file name");
        } else if (a == "--format") {
            std::string format;
            if (!value(format)) return fail("--format needs eng, csv or netcdf");
            if (format == "eng") {
                o.format = ExportFormat::Eng;
            } else if (format == "csv") {
                o.format = ExportFormat::Csv;
            } else if (format == "netcdf") {
                o.format = ExportFormat::Netcdf;
            } else {
                return fail("unknown format '" + format + "' (eng, csv or netcdf)");
            }
        } else if (a == "--meter-clock") {
            std::string zone;
            if (!value(zone)) return fail("--meter-clock needs utc, local or +HH:MM");
            const std::optional<MeterClockZone> parsedZone = MeterClockZone::Parse(zone);
            if (!parsedZone)
                return fail("--meter-clock takes utc, local or an offset such as -04:00, not '" +
                            zone + "'");
            o.meterClock = *parsedZone;
        } else if (a == "--attr") {
            std::string assignment;
            if (!value(assignment)) return fail("--attr needs KEY=VALUE");
            if (const std::optional<std::string> why = AddAttribute(o.attributes, assignment))
                return fail("--attr: " + *why);
        } else if (a == "--attrs") {
            std::string file;
            if (!value(file)) return fail("--attrs needs a file");
            o.attributeFiles.push_back(file);
        } else if (a == "--casts") {
            if (!o.casts) o.casts = CastThresholds{};
        } else if (a == "--bin" || a == "--surface" || a == "--min-speed" ||
                   a == "--speed-window" || a == "--min-depth") {
            std::string text;
            if (!value(text)) return fail(a + " needs a number");
            const std::optional<double> number = PositiveNumber(text);
            if (!number) return fail(a + " takes a number above 0, not '" + text + "'");
            if (a == "--bin") {
                o.binSize = *number;
            } else {
                thresholdsGiven = true;
                if (a == "--surface") thresholds.surface = *number;
                if (a == "--min-speed") thresholds.minSpeed = *number;
                if (a == "--speed-window") thresholds.window = *number;
                if (a == "--min-depth") thresholds.minDepth = *number;
            }
        } else if (a == "--track") {
            std::string file;
            if (!value(file) || file.empty()) return fail("--track needs a file");
            o.trackFiles.push_back(file);
        } else if (a == "--track-gap") {
            std::string text;
            if (!value(text)) return fail("--track-gap needs a number of seconds");
            const std::optional<double> number = PositiveNumber(text);
            if (!number) return fail("--track-gap takes a number above 0, not '" + text + "'");
            o.trackGapSeconds = *number;
        } else if (a == "--qc") {
            std::string file;
            if (!value(file) || file.empty()) return fail("--qc needs a file, or none");
            o.qcOff = file == "none";
            o.qcPath = o.qcOff ? std::string() : file;
        } else if (a == "--qc-detail") {
            o.qcDetail = true;
        } else if (a == "--alt") {
            o.alternate = true;
        } else if (a == "--refcorr") {
            o.refCorrection = true;
        } else if (a == "--tempcorr") {
            o.tempCorrection = true;
        } else if (a == "--") {
            o.rawFiles.insert(o.rawFiles.end(), arguments.begin() + static_cast<long>(i) + 1,
                              arguments.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            return fail("unknown option '" + a + "'");
        } else {
            o.rawFiles.push_back(a);
        }
    }
    if (o.devicePath.empty()) return fail("no device file given (--dev METER.dev)");
    if (!o.casts && (o.binSize > 0 || thresholdsGiven))
        return fail("--bin, --surface, --min-speed, --speed-window and --min-depth need --casts");
    if (o.casts) {
        o.casts = thresholds;
        if (o.format == ExportFormat::Eng) return fail("--casts needs --format csv or netcdf");
    }
    if (o.rawFiles.empty()) return fail("no raw file given");
    // The .eng file has its fixed heading and the meter's time as it came: nothing to put them.
    const bool told = o.meterClock != MeterClockZone::Utc() || !o.attributes.empty() ||
                      !o.attributeFiles.empty() || !o.trackFiles.empty() || !o.qcPath.empty() ||
                      o.qcOff || o.qcDetail;
    if (o.format == ExportFormat::Eng && told)
        return fail("--meter-clock, --attr, --attrs, --track and --qc need --format csv or netcdf");
    if (o.qcDetail && o.qcOff) return fail("--qc-detail with --qc none: there are no flags");
    // A NetCDF file is written by seeking back into it; a pipe cannot hold one.
    if (o.format == ExportFormat::Netcdf && o.outputPath.empty())
        return fail("--format netcdf needs an output file (-o FILE)");
    return parsed;
}

}  // namespace kivo
