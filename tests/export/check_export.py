#!/usr/bin/env python3
"""Reads kivo-convert's CSV and NetCDF files the way their users do (pandas, xarray, ncdump)
and compares them with the .eng file of the same run: every value equal to the .eng's
printed digits, every time equal to the meter's date and time, every variable with units.

Usage: check_export.py --eng RUN.eng --dev METER.dev [--csv RUN.csv] [--nc RUN.nc]
Exit status 0 when every check passed; otherwise each failure is printed."""

import argparse
import datetime
import math
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


def read_eng(path):
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
        records.append((meter_time(date, time), fields[3:]))
    return heading, records


def meter_time(date, time):
    # "%02d%02d%02d": a year sent with its century prints four digits.
    month, day, year = int(date[0:2]), int(date[2:4]), int(date[4:])
    hour, minute, second = int(time[0:2]), int(time[2:4]), int(time[4:])
    if month == 99:
        return None
    if year < 100:
        year += 2000 if year < 70 else 1900
    try:
        return datetime.datetime(year, month, day, hour, minute, second)
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


def check_csv(path, heading, records):
    with open(path, newline="") as f:
        first = f.readline()
    check(first.endswith("\r\n"), "csv: lines end in CR LF")
    check(first.rstrip("\r\n").split(",") == ["time"] + heading,
          "csv: heading %r is not time + the .eng heading %r" % (first, heading))
    table = pd.read_csv(path)
    check(table.columns[0] == "time", "csv: the first column is time")
    for name in table.columns[1:]:
        check(pd.api.types.is_numeric_dtype(table[name]),
              "csv: pandas reads column %s as %s, not a number" % (name, table[name].dtype))
    compare_values("csv", heading, records,
                   [table[name].to_numpy() for name in table.columns[1:]])
    check(len(table) == len(records), "csv: %d rows, .eng %d" % (len(table), len(records)))
    for r, (expected, _) in enumerate(records[: len(table)]):
        got = table["time"][r]
        if expected is None:
            check(pd.isna(got), "csv: row %d has time %r, the .eng no date" % (r + 1, got))
        else:
            check(got == expected.isoformat(),
                  "csv: row %d time %r, the .eng %s" % (r + 1, got, expected.isoformat()))


def check_netcdf(path, dev, heading, records):
    raw = xr.open_dataset(path, decode_times=False, mask_and_scale=False)
    for name in list(raw.variables):
        check("units" in raw[name].attrs, "nc: variable %s has no units" % name)
    check(any(name.startswith("counts_") for name in raw.data_vars), "nc: no raw counts")

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

    times = ds["time"].values
    check(len(times) == len(records), "nc: %d times, .eng %d records" % (len(times), len(records)))
    for r, (expected, _) in enumerate(records[: len(times)]):
        got = times[r]
        if expected is None:
            check(np.isnat(got), "nc: record %d has time %r, the .eng no date" % (r + 1, got))
        else:
            check(got == np.datetime64(expected),
                  "nc: record %d time %r, the .eng %s" % (r + 1, got, expected))

    with open(dev, newline="") as f:
        title = f.readline().rstrip("\r\n").replace("\t", " ")
    header = subprocess.run(["ncdump", "-h", path], capture_output=True, text=True, check=True)
    for attribute in (':Conventions = "CF-1.8', ':title = "%s"' % title,
                      ':source = "kivo-convert ', ':history = "', ':date_created = "',
                      'time:units = "seconds since 1970-01-01 00:00:00"', 'time:comment = "'):
        check(attribute in header.stdout, "ncdump -h: no %s" % attribute)
    check("--format netcdf" in ds.attrs.get("history", ""), "nc: history lacks the options")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--eng", required=True)
    parser.add_argument("--dev", required=True)
    parser.add_argument("--csv")
    parser.add_argument("--nc")
    args = parser.parse_args()
    heading, records = read_eng(args.eng)
    check(len(records) > 0, "the .eng file has no record")
    if args.csv:
        check_csv(args.csv, heading, records)
    if args.nc:
        check_netcdf(args.nc, args.dev, heading, records)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
