#!/usr/bin/env python3
"""Checks kivo-convert --track the way its users read the result: a recording of 90 lines at
four a second (12:00:00 to 12:00:22 UTC on 2026-12-10) merged with a track that has a lost fix
and a gap, as a track CSV and as an NMEA 0183 log. The expected positions are computed here
from the definition, independently of the program: linear interpolation in time (numpy.interp)
between the fixes around each record's time, none where the nearest fix is more than the gap
away or where a lost fix is the nearer neighbour.

Usage: check_track.py --convert KIVO-CONVERT --dev METER.dev --scratch DIR
Exit status 0 when every check passed; otherwise each failure is printed."""

import argparse
import functools
import json
import math
import os
import subprocess
import sys

import numpy as np
import pandas as pd
import xarray as xr

failures = []
START = pd.Timestamp("2026-12-10T12:00:00Z").timestamp()
GAP = 3.0


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def write_raw(path):
    """Four lines a second: the meter prints whole seconds."""
    with open(path, "w", newline="") as f:
        for n in range(90):
            second = n // 4
            f.write("12/10/26\t12:00:%02d\t%d\t1000\t240\t3000\r\n" % (second, 1000 + n))


# The fixes: (seconds after START, lat, lon); None for a lost fix. A gap of 8 s from 12 to 20.
FIXES = [(t, 44.6369 + 0.0001 * t, -63.5683 + 0.0003 * t) for t in range(0, 8)]
FIXES += [(8, None, None), (9, None, None)]
FIXES += [(t, 44.6369 + 0.0001 * t, -63.5683 + 0.0003 * t) for t in range(10, 13)]
FIXES += [(t, 44.6369 + 0.0001 * t, -63.5683 + 0.0003 * t) for t in range(20, 25)]


def write_track_csv(path):
    with open(path, "w", newline="") as f:
        f.write("# a track of another program's making\r\nTimestamp,Latitude,Longitude\r\n")
        for t, lat, lon in FIXES:
            stamp = pd.Timestamp(START + t, unit="s", tz="UTC").strftime("%Y-%m-%dT%H:%M:%SZ")
            f.write("%s,%s,%s\r\n" % (stamp, "" if lat is None else repr(lat),
                                      "" if lon is None else repr(lon)))


def nmea(body):
    return "$%s*%02X\r\n" % (body, functools.reduce(lambda a, c: a ^ ord(c), body, 0))


def minutes(value, digits, positive, negative):
    side = positive if value >= 0 else negative
    value = abs(value)
    degrees = int(value)
    return "%0*d%07.4f" % (digits, degrees, (value - degrees) * 60.0), side


def write_nmea(path):
    """The same fixes as a receiver prints them (minutes to four decimals), GGA then RMC."""
    with open(path, "w", newline="") as f:
        for t, lat, lon in FIXES:
            hhmmss = "1200%02d.00" % t
            if lat is None:
                f.write(nmea("GPGGA,%s,,,,,0,00,,,M,,M,," % hhmmss))
                f.write(nmea("GPRMC,%s,V,,,,,,,101226,,,N" % hhmmss))
                continue
            la, ns = minutes(lat, 2, "N", "S")
            lo, ew = minutes(lon, 3, "E", "W")
            f.write(nmea("GPGGA,%s,%s,%s,%s,%s,1,08,0.9,10.0,M,-20.0,M,," % (hhmmss, la, ns, lo, ew)))
            f.write(nmea("GPRMC,%s,A,%s,%s,%s,%s,5.0,70.0,101226,,,A" % (hhmmss, la, ns, lo, ew)))


def expected(times, fixes):
    """The definition: the fixes around t (lost ones included); interpolated when both have a
    position and the nearer is within the gap; else the nearer if it has one and is within."""
    fix_t = np.array([t for t, _, _ in fixes], dtype=float)
    lat = np.full(len(times), np.nan)
    lon = np.full(len(times), np.nan)
    for i, t in enumerate(times):
        after = np.searchsorted(fix_t, t)
        a = fixes[after] if after < len(fixes) else None
        b = fixes[after - 1] if after > 0 else None
        if a is not None and a[0] == t:
            if a[1] is not None:
                lat[i], lon[i] = a[1], a[2]
            continue
        to_b = t - b[0] if b else math.inf
        to_a = a[0] - t if a else math.inf
        if min(to_a, to_b) > GAP:
            continue
        if a and b and a[1] is not None and b[1] is not None:
            lat[i] = np.interp(t, [b[0], a[0]], [b[1], a[1]])
            lon[i] = np.interp(t, [b[0], a[0]], [b[2], a[2]])
        else:
            near = b if to_b <= to_a else a
            if near[1] is not None:
                lat[i], lon[i] = near[1], near[2]
    return lat, lon


def run(args, *options):
    command = [args.convert, "--dev", args.dev, "--track-gap", str(GAP)] + list(options)
    done = subprocess.run(command, capture_output=True, text=True)
    check(done.returncode == 0, "%s: exit %d: %s" % (" ".join(command), done.returncode,
                                                     done.stderr))


def compare(name, times, lat, lon, fixes, tolerance):
    want_lat, want_lon = expected(times, fixes)
    check(np.array_equal(np.isnan(lat), np.isnan(want_lat)),
          "%s: records without a position differ: %s vs %s" %
          (name, np.flatnonzero(np.isnan(lat)), np.flatnonzero(np.isnan(want_lat))))
    both = ~np.isnan(lat) & ~np.isnan(want_lat)
    check(both.sum() > 40, "%s: only %d records placed" % (name, both.sum()))
    worst = max(np.max(np.abs(lat[both] - want_lat[both]), initial=0),
                np.max(np.abs(lon[both] - want_lon[both]), initial=0))
    check(worst <= tolerance, "%s: positions off by %g degrees" % (name, worst))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--convert", required=True)
    parser.add_argument("--dev", required=True)
    parser.add_argument("--scratch", required=True)
    args = parser.parse_args()
    path = lambda name: os.path.join(args.scratch, name)
    write_raw(path("run.raw"))
    write_track_csv(path("track.csv"))
    write_nmea(path("ship.nmea"))

    run(args, "--format", "netcdf", "--track", path("track.csv"), "-o", path("run.nc"),
        path("run.raw"))
    ds = xr.open_dataset(path("run.nc"))
    for name, units, standard in (("lat", "degrees_north", "latitude"),
                                  ("lon", "degrees_east", "longitude")):
        check(ds[name].attrs.get("units") == units, "%s units %r" % (name, ds[name].attrs))
        check(ds[name].attrs.get("standard_name") == standard, "%s standard_name" % name)
    check("lat" in ds["chl"].attrs.get("coordinates", "") or "lat" in ds["chl"].coords,
          "chl is not placed by lat and lon")
    times = ds["time"].values.astype("datetime64[ns]").astype(np.int64) / 1e9 - START
    fixes = FIXES
    compare("netcdf", times, ds["lat"].values, ds["lon"].values, fixes, 1e-9)
    placed = ds["lat"].values[~np.isnan(ds["lat"].values)]
    check(math.isclose(ds.attrs.get("geospatial_lat_min", math.nan), placed.min()) and
          math.isclose(ds.attrs.get("geospatial_lat_max", math.nan), placed.max()),
          "geospatial_lat_min/max %r" % [ds.attrs.get("geospatial_lat_min"),
                                         ds.attrs.get("geospatial_lat_max")])
    check(ds.attrs.get("geospatial_lon_units") == "degrees_east", "geospatial_lon_units")

    # The CSV: positions at the time each row shows (whole seconds, as the meter printed).
    run(args, "--format", "csv", "--track", path("track.csv"), "-o", path("run.csv"),
        path("run.raw"))
    csv = pd.read_csv(path("run.csv"), comment="#")
    row_times = pd.to_datetime(csv["time"]).astype("int64").to_numpy() / 1e9 - START
    compare("csv", row_times, csv["lat"].to_numpy(float), csv["lon"].to_numpy(float), fixes,
            1e-9)

    # The NMEA log: gpsd decodes it (here as gpsdecode prints it, read as JSON), to the log's
    # precision, a ten-thousandth of a minute. gpsd reports a cycle of sentences when the next
    # begins, so the log's first fix is not among them, and it decides on its own where the
    # lost fix begins: its reports, not the log's lines, are the track.
    with open(path("ship.nmea"), "rb") as log:
        decoded = subprocess.run(["gpsdecode", "-j"], stdin=log, capture_output=True,
                                 text=True).stdout
    reports = {}
    for line in decoded.splitlines():
        report = json.loads(line)
        if report.get("class") != "TPV" or "time" not in report:
            continue
        t = pd.Timestamp(report["time"]).timestamp() - START
        placed = report.get("mode", 0) >= 2 and "lat" in report
        reports[t] = (t, report["lat"] if placed else None, report["lon"] if placed else None)
    gpsd_fixes = [reports[t] for t in sorted(reports)]
    check(len(gpsd_fixes) >= len(FIXES) - 3, "gpsd reported %d fixes" % len(gpsd_fixes))
    run(args, "--format", "netcdf", "--track", path("ship.nmea"), "-o", path("nmea.nc"),
        path("run.raw"))
    nm = xr.open_dataset(path("nmea.nc"))
    nmea_times = nm["time"].values.astype("datetime64[ns]").astype(np.int64) / 1e9 - START
    compare("nmea", nmea_times, nm["lat"].values, nm["lon"].values, gpsd_fixes, 1e-9)
    logged = {t: (lat, lon) for t, lat, lon in FIXES if lat is not None}
    for t, lat, lon in gpsd_fixes:
        if lat is not None and t in logged:
            check(abs(lat - logged[t][0]) <= 0.5e-4 / 60 and abs(lon - logged[t][1]) <= 0.5e-4 / 60,
                  "nmea: gpsd's fix at %g s is not the log's" % t)

    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
