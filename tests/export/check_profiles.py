#!/usr/bin/env python3
"""Reads kivo-convert's profile files the way their users do and checks them against an
independent computation from the samples file of the same run: pandas' means of the
--casts samples per cast, direction and pressure bin (loops left out) must be the bin
averages of the NetCDF (xarray) and CSV profile files.

Usage: check_profiles.py --samples RUN.casts.csv --nc RUN.profiles.nc --csv RUN.profiles.csv
                         --bin B --casts N
Exit status 0 when every check passed; otherwise each failure is printed."""

import argparse
import math
import sys

import numpy as np
import pandas as pd
import xarray as xr

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def expected_bins(samples, size):
    """Per (cast, direction, bin centre): the mean of every value column over the samples
    whose quality flag is 1 (pass), and the count of samples."""
    traces = samples[samples["phase"].isin(["down", "up"]) & (samples["loop"] == 0)].copy()
    # Bin k of size B holds [k*B - B/2, k*B + B/2).
    traces["bin"] = np.floor(traces["pressure"] / size + 0.5) * size
    values = [c for c in samples.columns
              if c not in ("time", "cast", "phase", "loop") and not c.endswith("_qc")]
    passed = traces.copy()
    for v in values:
        if v + "_qc" in traces.columns:
            passed[v] = traces[v].where(traces[v + "_qc"] == 1)
    means = passed.groupby(["cast", "phase", "bin"])[values].mean()
    means["n_samples"] = traces.groupby(["cast", "phase", "bin"]).size()
    return means, values


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--samples", required=True)
    parser.add_argument("--nc", required=True)
    parser.add_argument("--csv", required=True)
    parser.add_argument("--bin", type=float, required=True)
    parser.add_argument("--casts", type=int, required=True)
    args = parser.parse_args()

    samples = pd.read_csv(args.samples, comment="#")
    check(set(samples["phase"]) <= {"deck", "soak", "down", "bottom", "up"},
          "phases: %s" % sorted(set(samples["phase"])))
    check(samples["loop"].sum() > 0, "heave made no loop in the down traces")
    check((samples.loc[samples["loop"] == 1, "phase"].isin(["down", "up"])).all(),
          "a loop outside a down or up trace")
    means, values = expected_bins(samples, args.bin)
    # The bin's centre is the file's pressure; the records' mean pressure is pressure_mean.
    stored = {v: v + "_mean" if v == "pressure" else v for v in values}

    ds = xr.open_dataset(args.nc)
    check(ds.attrs.get("featureType") == "profile", "featureType %r" % ds.attrs.get("featureType"))
    check(ds["pressure"].attrs.get("positive") == "down", "pressure is not positive down")
    check(ds["pressure"].attrs.get("units") == "dbar", "pressure units")
    check(ds["profile"].attrs.get("cf_role") == "profile_id", "profile has no cf_role")
    centres = ds["pressure"].values
    check(np.allclose(np.diff(centres), args.bin), "bins are not %g dbar apart" % args.bin)
    casts = ds["cast_number"].values
    directions = [str(d) for d in ds["direction"].values]
    check(len(casts) == 2 * args.casts, "%d profiles for %d casts" % (len(casts), args.casts))
    for n in range(1, args.casts + 1):
        got = sorted(d for c, d in zip(casts, directions) if c == n)
        check(got == ["down", "up"], "cast %d has the profiles %s" % (n, got))
    check(np.issubdtype(ds["time"].dtype, np.datetime64), "time is no CF time")

    compared = 0
    for p, (cast, direction) in enumerate(zip(casts, directions)):
        for b, centre in enumerate(centres):
            key = (cast, direction, round(centre / args.bin) * args.bin)
            n = int(ds["n_samples"].values[p, b])
            if key not in means.index:
                check(n == 0, "profile %d bin %g: %d samples, pandas none" % (p, centre, n))
                for v in values:
                    check(math.isnan(ds[stored[v]].values[p, b]),
                          "profile %d bin %g: %s in an empty bin" % (p, centre, v))
                continue
            row = means.loc[key]
            check(n == row["n_samples"], "profile %d bin %g: %d samples, pandas %d"
                  % (p, centre, n, row["n_samples"]))
            for v in values:
                got, want = ds[stored[v]].values[p, b], row[v]
                check(np.isclose(got, want, rtol=1e-12, atol=0, equal_nan=True),
                      "cast %d %s bin %g %s: %r, pandas %r" % (cast, direction, centre, v, got, want))
            compared += 1
    check(compared == len(means), "%d bins compared, pandas has %d" % (compared, len(means)))

    table = pd.read_csv(args.csv, comment="#")
    check(len(table) == len(means), "the CSV has %d rows, pandas %d bins" % (len(table), len(means)))
    for _, r in table.iterrows():
        key = (r["cast"], r["direction"], round(r["pressure"] / args.bin) * args.bin)
        if not check(key in means.index, "CSV row %s has no pandas bin" % (key,)):
            continue
        check(r["n_samples"] == means.loc[key]["n_samples"], "CSV %s count" % (key,))
        for v in values:
            check(np.isclose(r[stored[v]], means.loc[key][v], rtol=1e-12, atol=0, equal_nan=True),
                  "CSV %s %s: %r, pandas %r" % (key, v, r[stored[v]], means.loc[key][v]))

    for failure in failures:
        print(failure)
    print("%d bins compared, %d failures" % (compared, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
