#!/usr/bin/env python3
"""Reads kivo-convert's CSV and NetCDF files the way their users do (pandas, xarray, ncdump)
and compares them with the .eng file of the same run: every value equal to the .eng's
printed digits, every time equal to the meter's date and time in UTC, every variable with
units. The NetCDF time axis must serve xarray's sel(method="nearest") and interp, and the
file's own attributes must recompute Beta, bbp and bb from its counts, without the device
file.

Usage: check_export.py --eng RUN.eng --dev METER.dev [--csv RUN.csv] [--nc RUN.nc]
                       [--meter-clock +HH:MM] [--expect-attr KEY=VALUE]...
Exit status 0 when every check passed; otherwise each failure is printed."""

import argparse
import datetime
import hashlib
import math
import os
import re
import subprocess
import sys
import warnings

import numpy as np
import pandas as pd
import xarray as xr

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def read_eng(path, offset):
    """Heading fields after Count, Date, Time; per record the meter time (or None) and the
    printed value texts."""
    with open(path, newline="") as f:
        lines = f.read().split("\r\n")
    assert lines[-1] == "", "the .eng file ends in CR LF"
    heading = lines[0].split("\t")[3:]
    records = []
    for line in lines[1:-1]:
        fields = line.split("\t")
        date, time = fields[1], fields[2]
        records.append((meter_time(date, time, offset), fields[3:]))
    return heading, records


def meter_time(date, time, offset):
    """The .eng's date and time as UTC, the meter's clock being `offset` east of UTC."""
    # "%02d%02d%02d": a year sent with its century prints four digits.
    month, day, year = int(date[0:2]), int(date[2:4]), int(date[4:])
    hour, minute, second = int(time[0:2]), int(time[2:4]), int(time[4:])
    if month == 99:
        return None
    if year < 100:
        year += 2000 if year < 70 else 1900
    try:
        return datetime.datetime(year, month, day, hour, minute, second) - offset
    except ValueError:
        return None


def matches_printed(value, text, missing_if_not_finite):
    """True when `value` prints as the .eng printed it (same decimals, C rounding). NetCDF
    keeps a value that is not finite as missing."""
    text = text.strip()
    if missing_if_not_finite and text.lstrip("-") in ("nan", "inf"):
        return math.isnan(value)
    if text.lstrip("-") == "nan":
        return math.isnan(value)
    if text.lstrip("-") == "inf":
        return math.isinf(value) and (value < 0) == text.startswith("-")
    decimals = len(text.split(".")[1]) if "." in text else 0
    return "%.*f" % (decimals, value) == text


def compare_values(where, heading, records, columns, missing_if_not_finite=False):
    """`columns`: per .eng field, the sequence of exported values."""
    check(len(columns) == len(heading), "%s: %d value columns, the .eng has %d"
          % (where, len(columns), len(heading)))
    finer = False
    for c, values in enumerate(columns[: len(heading)]):
        check(len(values) == len(records), "%s: column %s has %d rows, the .eng %d"
              % (where, heading[c], len(values), len(records)))
        for r, value in enumerate(values[: len(records)]):
            text = records[r][1][c]
            value = float(value)
            if not check(matches_printed(value, text, missing_if_not_finite), "%s: row %d %s: %r prints unlike .eng %r"
                         % (where, r + 1, heading[c], value, text)):
                return
            if math.isfinite(value) and value != float(text):
                finer = True
    check(finer, "%s: no value holds more digits than the .eng printed" % where)


def read_csv_header(path):
    """The "# name: value" lines before the heading, as a dict."""
    facts = {}
    with open(path, newline="") as f:
        for line in f:
            if not line.startswith("#"):
                break
            check(line.endswith("\r\n"), "csv: header line %r does not end in CR LF" % line)
            name, _, value = line[2:].rstrip("\r\n").partition(": ")
            check(name not in facts, "csv: %s told twice in the header" % name)
            facts[name] = value
    return facts


def check_csv(path, heading, records, dev, expected_attributes):
    facts = read_csv_header(path)
    check_story("csv", facts, dev, expected_attributes)
    # A reader told to skip "#" lines sees a plain table.
    table = pd.read_csv(path, comment="#")
    check(table.columns[0] == "time", "csv: the first column is time")
    names = [n for n in table.columns[1:] if not n.endswith("_qc")]
    # Each value's quality flag, in the values' order, ends the row.
    flags = [n for n in table.columns[1:] if n.endswith("_qc")]
    check(flags == [n + "_qc" for n in names] and list(table.columns[-len(flags):]) == flags,
          "csv: flag columns %r do not follow the values %r" % (flags, names))
    for flag in flags:
        check(set(table[flag].unique()) <= {1, 2, 3, 4, 9},
              "csv: %s holds %s" % (flag, sorted(set(table[flag].unique()))))
    for name in names:
        check(re.fullmatch(r"[a-z][a-z0-9_]*", name), "csv: column name %r is not clean" % name)
        check(pd.api.types.is_numeric_dtype(table[name]),
              "csv: pandas reads column %s as %s, not a number" % (name, table[name].dtype))
        check(facts.get(name + ".units"), "csv: no units for %s in the header" % name)
    check([facts.get(name + ".eng_heading") for name in names] == heading,
          "csv: columns %r do not follow the .eng heading %r" % (names, heading))
    compare_values("csv", heading, records, [table[name].to_numpy() for name in names])
    check(len(table) == len(records), "csv: %d rows, .eng %d" % (len(table), len(records)))
    for r, (expected, _) in enumerate(records[: len(table)]):
        got = table["time"][r]
        if expected is None:
            check(pd.isna(got), "csv: row %d has time %r, the .eng no date" % (r + 1, got))
        else:
            check(got == expected.isoformat() + "Z",
                  "csv: row %d time %r, the .eng %sZ in UTC" % (r + 1, got, expected.isoformat()))


def check_story(where, attributes, dev, expected_attributes):
    """What every export says of its making: the device file with its checksum, the zone
    of the meter's clock, the ACDD attributes, and the operator's own."""
    with open(dev, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    check(attributes.get("device_file") == os.path.basename(dev),
          "%s: device_file %r" % (where, attributes.get("device_file")))
    check(attributes.get("device_file_sha256") == digest,
          "%s: device_file_sha256 %r is not the device file's" % (where, attributes.get("device_file_sha256")))
    for name in ("meter_clock_zone", "keywords", "date_created", "history", "source"):
        check(attributes.get(name), "%s: no %s" % (where, name))
    for name, value in expected_attributes:
        check(str(attributes.get(name)) == value,
              "%s: attribute %s is %r, not %r" % (where, name, attributes.get(name), value))


def spread_axis(meter_seconds):
    """The time axis the exporter promises, from the meter's whole seconds (NaN: no date)."""
    step = 0.001
    times = []
    last = None
    i = 0
    n = len(meter_seconds)
    first_dated = next((k for k, t in enumerate(meter_seconds) if not math.isnan(t)), None)
    while i < n:
        second = meter_seconds[i]
        if math.isnan(second):
            if first_dated is None:
                times.append(math.nan)
            elif i < first_dated:
                times.append(meter_seconds[first_dated] - (first_dated - i) * step)
                last = times[-1]
            else:
                last = last + step
                times.append(last)
            i += 1
            continue
        j = i
        while j < n and meter_seconds[j] == second and j - i < 1024:
            j += 1
        for k in range(j - i):
            t = second + k / (j - i)
            if last is not None and not t > last:
                t = last + step
            times.append(t)
            last = t
        i = j
    return times


def unfilled(variable):
    """A variable read without masking, its fill values NaN."""
    values = variable.values.astype(float)
    values[values == variable.attrs.get("_FillValue")] = math.nan
    return values


def check_time_axis(ds, raw):
    """Unique, increasing, as the comment says, and good for xarray's time tools."""
    seconds = unfilled(raw["time"])
    check(not np.isnan(seconds).any(), "nc: the time axis has missing values")
    check(np.all(np.diff(seconds) > 0), "nc: the time axis is not strictly increasing")
    expected = spread_axis(list(unfilled(raw["meter_time"])))
    check(np.allclose(seconds, expected, rtol=0, atol=1e-6, equal_nan=True),
          "nc: time %r is not the meter's seconds spread %r" % (seconds[:12], expected[:12]))
    check("k/n" in raw["time"].attrs.get("comment", ""), "nc: the time comment tells no spread")
    if len(seconds) < 2:
        return
    times = ds["time"].values
    # A moment a quarter of the way to the next record finds that record.
    gaps = np.append(np.diff(times), np.timedelta64(1, "s"))
    for r in range(len(times)):
        after = times[r] + gaps[r] / 4
        found = ds.sel(time=after, method="nearest")
        check(found["time"].values == times[r], "nc: sel(nearest) of record %d found %r"
              % (r + 1, found["time"].values))
    # Half-way between records, interp gives the mean of the two.
    name = next((n for n in ds.data_vars if "eng_heading" in ds[n].attrs
                 and np.isfinite(ds[n].values).all()), None)
    if name is None:
        return
    middle = times[:-1] + (times[1:] - times[:-1]) / 2
    got = ds[name].interp(time=middle).values
    values = ds[name].values
    check(np.allclose(got, (values[:-1] + values[1:]) / 2, rtol=1e-9, atol=0),
          "nc: interp of %s half-way is not the mean of its neighbours" % name)


def water_scattering(salinity, theta, wavelength, water_type):
    """Beta and the backscattering of the water itself, as the exporter's scattering_comment
    describes them."""
    angular = 1 + math.cos(theta) ** 2 * (1 - 0.09) / (1 + 0.09)
    ratio = 0.002 * wavelength
    beta_water = 1.38 * ratio ** -4.32 * (1 + 0.3 * salinity * (1 / 37)) * 0.0001 * angular
    if water_type == "pure water":
        scattering = 0.0022533 * ratio ** -4.23
    else:
        scattering = 0.0029308 * ratio ** -4.24
    return beta_water, 0.5 * scattering


def check_recomputed(raw):
    """The engineering values again from the counts and the file's own attributes."""
    counts = {int(raw[n].attrs["device_column"]): raw[n] for n in raw.data_vars
              if n.startswith("counts_") and "flag_values" not in raw[n].attrs}
    # Two columns of one kind share one calibration and show the last column's value (the
    # device file's per-kind slots): such a value does not come from its own column's counts.
    keys = [c.attrs.get("device_file_key") for c in counts.values()]
    shared = {key for key in keys if key and keys.count(key) > 1 and key != "Lambda="}
    corrected = raw.attrs.get("reference_correction") or raw.attrs.get("temperature_correction")
    recomputed = 0
    for name in raw.data_vars:
        variable = raw[name]
        if "eng_heading" not in variable.attrs or name.startswith(("betap_", "bbp_", "bb_")):
            continue
        if name.startswith("beta_") and corrected:
            continue  # the counts are as the line carried them, before the corrections
        column = counts.get(int(variable.attrs["device_column"]))
        if column is None or column.attrs.get("device_file_key") in shared:
            continue
        a = column.attrs
        c = column.values.astype(float)
        if "calibration_dark_counts" in a:
            value = (c - np.float64(a["calibration_dark_counts"])) * np.float64(a["calibration_scale"])
        elif "calibration_slope" in a:
            value = c * np.float64(a["calibration_slope"]) + np.float64(a["calibration_intercept"])
        else:
            value = c
        got = variable.values.astype(float)
        fill = variable.attrs.get("_FillValue")
        finite = np.isfinite(value) & (got != fill)
        check(np.array_equal(value[finite], got[finite]),
              "nc: %s is not what its counts and calibration attributes give" % name)
        recomputed += 1
        if not name.startswith("beta_"):
            continue
        wavelength = float(variable.attrs["radiation_wavelength"])
        beta_water, bbw = water_scattering(float(raw.attrs["salinity"]),
                                           float(raw.attrs["scattering_angle_radians"]),
                                           wavelength, raw.attrs["water_type"])
        betap = value - beta_water
        bbp = 2.0 * 3.1415 * float(raw.attrs["chi_factor"]) * betap
        suffix = name[len("beta_"):]
        for other, expected in (("betap_", betap), ("bbp_", bbp), ("bb_", bbp + bbw)):
            got = raw[other + suffix].values.astype(float)
            check(np.allclose(expected[finite], got[finite], rtol=1e-9, atol=1e-15),
                  "nc: %s%s is not what Beta and the scattering attributes give" % (other, suffix))
    check(recomputed > 0, "nc: no engineering value could be recomputed from its counts")


def check_netcdf(path, dev, heading, records, expected_attributes):
    raw = xr.open_dataset(path, decode_times=False, mask_and_scale=False)
    for name in list(raw.variables):
        if "flag_values" in raw[name].attrs:  # a flag is no quantity: CF gives it no units
            check("flag_meanings" in raw[name].attrs and "units" not in raw[name].attrs,
                  "nc: flag variable %s lacks flag_meanings or has units" % name)
            continue
        check("units" in raw[name].attrs, "nc: variable %s has no units" % name)
    check(any(name.startswith("counts_") for name in raw.data_vars), "nc: no raw counts")
    check_story("nc", raw.attrs, dev, expected_attributes)
    check_recomputed(raw)

    with warnings.catch_warnings():  # times all missing make numpy warn while decoding
        warnings.simplefilter("ignore", RuntimeWarning)
        ds = xr.open_dataset(path)
        ds.load()
    exported = [name for name in ds.data_vars if "eng_heading" in ds[name].attrs]
    check([ds[name].attrs["eng_heading"] for name in exported] == heading,
          "nc: variables %r do not follow the .eng heading %r" % (exported, heading))
    compare_values("nc", heading, records, [ds[name].values for name in exported],
                   missing_if_not_finite=True)
    for name in exported:
        if name.startswith(("beta_", "betap_", "bbp_", "bb_")):
            check(ds[name].attrs.get("radiation_wavelength", 0) > 0,
                  "nc: %s has no radiation_wavelength" % name)

    # The meter's own time: meter_time beside the axis, or the axis itself without a date
    # column.
    axis = "meter_time" in ds.variables
    times = ds["meter_time" if axis else "time"].values
    check(len(times) == len(records), "nc: %d times, .eng %d records" % (len(times), len(records)))
    for r, (expected, _) in enumerate(records[: len(times)]):
        got = times[r]
        if expected is None:
            check(np.isnat(got), "nc: record %d has time %r, the .eng no date" % (r + 1, got))
        else:
            check(got == np.datetime64(expected),
                  "nc: record %d time %r, the .eng %s in UTC" % (r + 1, got, expected))
    if axis:
        check_time_axis(ds, raw)

    with open(dev, newline="") as f:
        title = f.readline().rstrip("\r\n").replace("\t", " ")
    header = subprocess.run(["ncdump", "-h", path], capture_output=True, text=True, check=True)
    for attribute in (':Conventions = "CF-1.8', ':title = "%s"' % title,
                      ':source = "kivo-convert ', ':history = "', ':date_created = "',
                      'time:units = "seconds since 1970-01-01 00:00:00"', 'time:comment = "'):
        check(attribute in header.stdout, "ncdump -h: no %s" % attribute)
    check("--format netcdf" in ds.attrs.get("history", ""), "nc: history lacks the options")


def offset_of(zone):
    match = re.fullmatch(r"([+-])(\d\d):(\d\d)", zone)
    if zone == "utc":
        return datetime.timedelta(0)
    if not match:
        raise SystemExit("--meter-clock takes utc or +HH:MM here")
    sign = -1 if match.group(1) == "-" else 1
    return sign * datetime.timedelta(hours=int(match.group(2)), minutes=int(match.group(3)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--eng", required=True)
    parser.add_argument("--dev", required=True)
    parser.add_argument("--csv")
    parser.add_argument("--nc")
    parser.add_argument("--meter-clock", default="utc")
    parser.add_argument("--expect-attr", action="append", default=[])
    args = parser.parse_args()
    expected_attributes = [tuple(a.split("=", 1)) for a in args.expect_attr]
    heading, records = read_eng(args.eng, offset_of(args.meter_clock))
    check(len(records) > 0, "the .eng file has no record")
    if args.csv:
        check_csv(args.csv, heading, records, args.dev, expected_attributes)
    if args.nc:
        check_netcdf(args.nc, args.dev, heading, records, expected_attributes)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
