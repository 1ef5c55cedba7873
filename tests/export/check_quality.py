#!/usr/bin/env python3
"""Checks the quality flags kivo-convert writes against a second implementation of their
definitions (README, "Quality flags"): saturation, flat line, spike, rate of change and
gross range on each channel's counts, gross range on each engineering quantity, the
aggregate NAME_qc and record_qc. The thresholds come from the QC file through this script's
own reader. The recording is made here: 3000 lines at one a second from a three-channel
scattering meter on a CTD, in air for the first 50 (every scattering count at the ceiling),
one channel stuck for 100 lines, ten single-sample spikes, and a dip below the dark counts
(an offset drift) that puts Beta and bbp out of range while the counts stay in theirs. It is
converted with the given QC file (flags, their attributes, the CSV's columns, and what the
flags must show) and again with one written here (narrower sections first, a tolerance, a
quantity by its own name).

Usage: check_quality.py --convert KIVO-CONVERT --dev METER.dev --qc THRESHOLDS.qc --work DIR
       check_quality.py --self-test
Exit status 0 when every check passed; otherwise each failure is printed."""

import argparse
import os
import re
import subprocess
import sys
import tempfile

import netCDF4
import numpy as np
import pandas as pd
import xarray as xr
from numpy.lib.stride_tricks import sliding_window_view

PASS, NOT_EVALUATED, SUSPECT, FAIL, MISSING = 1, 2, 3, 4, 9
TESTS = ("saturation", "flat_line", "spike", "rate_of_change", "gross_range")
MEANINGS = "pass not_evaluated suspect fail missing"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


# ---- The thresholds ------------------------------------------------------------------------

def read_qc(path):
    """{section name in lower case: {key in lower case: [numbers]}}; a later line wins."""
    sections, current = {}, None
    with open(path) as f:
        for number, line in enumerate(f, 1):
            text = line.split("#", 1)[0].strip()
            if not text:
                continue
            header = re.fullmatch(r"\[\s*([^\]]+?)\s*\]", text)
            key, equals, value = text.partition("=")
            try:
                if header:
                    current = sections.setdefault(" ".join(header.group(1).lower().split()), {})
                    continue
                if not equals or current is None:
                    raise ValueError
                values = [float(v) for v in value.split()]
                if len(values) != (1 if key.strip().lower() in ("ceiling", "flat_line_tolerance")
                                   else 2):
                    raise ValueError
                current[key.strip().lower()] = values
            except ValueError:
                raise ValueError("%s:%d: cannot read %r" % (path, number, line.rstrip())) from None
    return sections


def thresholds(qc, kind, column):
    """A narrower section wins whatever its place: [all], then [KIND], then [column N]. The
    defaults first: temperatures and pressure may sit still, their flat line is off."""
    still = kind.lower() in ("itemp", "xtemp", "pres")
    merged = {"ceiling": [4095], "flat_line": [0, 0] if still else [10, 20],
              "flat_line_tolerance": [0]}
    for name in ("all", kind.lower(), "column %d" % column):
        merged.update(qc.get(name, {}))
    return merged


# ---- The tests, one sample at a time as the definitions put it, vectorised --------------------

def saturation(x, ceiling):
    return np.where((x >= ceiling) | (x <= 0), FAIL, PASS)


def flat_line(x, suspect, fail, tolerance):
    flags = np.full(len(x), NOT_EVALUATED)
    if suspect == 0 and fail == 0:
        return flags
    flags[int(suspect) - 1:] = PASS
    for count, flag in ((int(suspect), SUSPECT), (int(fail), FAIL)):
        if 1 <= count <= len(x):
            windows = sliding_window_view(x, count)  # the window ending at count - 1 + k
            flat = windows.max(axis=1) - windows.min(axis=1) <= tolerance  # NaN: never flat
            flags[count - 1:][flat] = flag
    return flags


def spike(x, suspect, fail):
    flags = np.full(len(x), NOT_EVALUATED)
    if len(x) >= 3:
        s = np.abs(x[1:-1] - (x[:-2] + x[2:]) / 2)
        inner = np.where(s > fail, FAIL, np.where(s > suspect, SUSPECT, PASS))
        inner[np.isnan(x[:-2]) | np.isnan(x[2:])] = NOT_EVALUATED
        flags[1:-1] = inner
    return flags


def rate_of_change(x, k, n, ties=None):
    """ties, when a list, gets the indices where |step| is within 1e-9 of K sd: there the
    order of a sum could decide, and a check on them would test rounding, not the flag."""
    flags, n = np.full(len(x), NOT_EVALUATED), int(n)
    if len(x) > n >= 2:
        windows = sliding_window_view(x[:-1], n)  # x[i-N .. i-1] for i = N ...
        limit = k * windows.std(axis=1, ddof=1)
        step = np.abs(np.diff(x)[n - 1:])
        inner = np.where(step > limit, SUSPECT, PASS)
        inner[np.isnan(windows).any(axis=1) | np.isnan(x[n:])] = NOT_EVALUATED
        flags[n:] = inner
        if ties is not None:
            near = (np.abs(step - limit) <= 1e-9 * np.maximum(limit, 1)) & (limit > 0)
            ties.extend(np.flatnonzero(near) + n)
    return flags


def gross_range(x, fail, suspect):
    flags = np.where((x < fail[0]) | (x > fail[1]), FAIL, PASS)
    if suspect is not None:
        flags[(flags == PASS) & ((x < suspect[0]) | (x > suspect[1]))] = SUSPECT
    return flags


def worst(stack, missing=None):
    """The worst evaluated flag (4 over 3 over 1), 2 when none was; 9 where missing."""
    stack = np.asarray(stack)
    flags = np.where(np.isin(stack, (PASS, SUSPECT, FAIL)), stack, 0).max(axis=0)
    flags = np.where(flags == 0, NOT_EVALUATED, flags)
    if missing is not None:
        flags[missing] = MISSING
    return flags


def count_tests(x, t, ties=None):
    """The tests of one channel's counts with its merged thresholds `t`."""
    ceiling = t["ceiling"][0]
    return {
        "saturation": saturation(x, ceiling),
        "flat_line": flat_line(x, *t["flat_line"], t["flat_line_tolerance"][0]),
        "spike": spike(x, *t["spike"]) if "spike" in t else np.full(len(x), NOT_EVALUATED),
        "rate_of_change": rate_of_change(x, *t["rate_of_change"], ties)
        if "rate_of_change" in t else np.full(len(x), NOT_EVALUATED),
        # With a QC file, unlike a quantity's, the counts' range is always evaluated.
        "gross_range": gross_range(x, t.get("gross_range", [0, ceiling]),
                                   t.get("gross_range_suspect")),
    }


def quantity_range(values, t, name, generic):
    """QUANTITY.gross_range by the variable's own name, else by beta/betap/bbp/bb."""
    for q in (name, generic):
        if q + ".gross_range" in t or q + ".gross_range_suspect" in t:
            return gross_range(values, t.get(q + ".gross_range", [-np.inf, np.inf]),
                               t.get(q + ".gross_range_suspect"))
    return np.full(len(values), NOT_EVALUATED)


# ---- The meter and its recording ----------------------------------------------------------------

ENGINEERING = {"lambda": ("beta", "betap", "bbp", "bb"), "itemp": ("internal_temperature",),
               "xtemp": ("temperature",), "pres": ("pressure",), "chl": ("chl",),
               "ntu": ("turbidity",)}


def read_dev(path):
    """[(column, key, [(variable, generic quantity)])] for the channels this check knows."""
    channels = []
    with open(path) as f:
        for line in f.read().splitlines()[1:]:
            key, equals, value = line.partition("=")
            fields, kind = value.split(), key.strip().lower()
            if equals and kind in ENGINEERING:
                names = [(q + "_" + fields[3], q) for q in ENGINEERING[kind]] if kind == "lambda" \
                    else [(q, q) for q in ENGINEERING[kind]]
                channels.append((int(fields[0]), key.strip(), names))
    return channels


N_LINES, IN_AIR, CEILING = 3000, 50, 4095
STUCK_COLUMN, STUCK = 3, range(1400, 1500)
SPIKES = [(300, 2), (520, 4), (700, 3), (900, 2), (1150, 4), (1700, 3), (1900, 2), (2200, 4),
          (2500, 3), (2800, 4)]
LEVELS = {2: 1250, 3: 1000, 4: 850}
DIP_COLUMN, DIP_LINE, DIP_WIDTH, DIP_BOTTOM = 2, 2050, 20, 35


def make_counts():
    """Per column the counts of each line: scattering at the ceiling in air, then a slow swing
    with white noise (sd 6 counts, so ten equal in a row never happen by chance)."""
    rng = np.random.default_rng(20260521)
    i = np.arange(N_LINES)
    counts = {}
    for column, level in LEVELS.items():
        water = level + 150 * np.sin(2 * np.pi * i / 1700 + column) + rng.normal(0, 6, N_LINES)
        counts[column] = np.where(i < IN_AIR, CEILING, np.round(water)).astype(int)
    bump = np.exp(-0.5 * ((i - DIP_LINE) / DIP_WIDTH) ** 2)
    counts[DIP_COLUMN] += np.round(bump * (DIP_BOTTOM - counts[DIP_COLUMN][DIP_LINE])).astype(int)
    counts[STUCK_COLUMN][STUCK] = counts[STUCK_COLUMN][STUCK.start - 1]  # a frozen converter
    for line, column in SPIKES:
        counts[column][line] += 1500
    counts[6] = np.round(3000 - 300 * i / N_LINES).astype(int)  # 20 °C slowly down to 17 °C
    depth = np.clip(np.minimum(i - IN_AIR, N_LINES - 1 - i), 0, None) / (N_LINES / 2)
    counts[7] = np.round(50 + 2000 * depth).astype(int)  # 0 dbar, down to ~100, back up
    return counts


def write_raw(path, counts):
    with open(path, "w", newline="") as f:
        for n in range(N_LINES):
            hh, mm, ss = 10 + n // 3600, n // 60 % 60, n % 60
            f.write("05/21/26\t%d\t%d\t%d\t%02d:%02d:%02d\t%d\t%d\r\n" % (
                counts[2][n], counts[3][n], counts[4][n], hh, mm, ss, counts[6][n], counts[7][n]))


def expected_flags(channels, counts, qc, ds, ties):
    """{variable: {test or "qc": flags}} for counts_N and every engineering variable, and
    record_qc, from the counts written and the engineering values of the file itself."""
    expected, channel_flags, value_flags = {}, [], []
    for column, kind, names in channels:
        t = thresholds(qc, kind, column)
        x = counts[column].astype(float)
        tests = count_tests(x, t, ties)
        expected["counts_%d" % column] = dict(tests, qc=worst(list(tests.values()), np.isnan(x)))
        channel_flags.append(expected["counts_%d" % column]["qc"])
        for name, generic in names:
            values = np.asarray(ds[name].values, dtype=float)
            own = quantity_range(values, t, name, generic)
            all_tests = list(tests.values()) + [own]
            # Its gross-range flag is its own; the counts' range still counts in its NAME_qc.
            expected[name] = dict(tests, gross_range=own, qc=worst(all_tests, np.isnan(values)))
            value_flags.append(expected[name]["qc"])
    # A channel's values are its counts and the quantities it gives: all of them count.
    expected["record"] = {"qc": worst(channel_flags + value_flags)}
    return expected


# ---- Reading the files back -----------------------------------------------------------------

def compare(name, want, got):
    got = np.asarray(got)
    if not check(got.shape == want.shape, "%s: %s values, expected %s" % (name, got.shape,
                                                                          want.shape)):
        return False
    differ = np.flatnonzero(~(got == want))
    first = differ[:6]
    return check(len(differ) == 0, "%s: %d records differ, first at %s: expected %s, got %s" % (
        name, len(differ), list(first), list(want[first]), list(got[first])))


def check_flag_variable(raw, name):
    v = raw.variables[name]
    check(v.dtype in (np.int8, np.uint8), "%s is %s, not a byte" % (name, v.dtype))
    values = list(np.atleast_1d(getattr(v, "flag_values", [])))
    check(values == [1, 2, 3, 4, 9], "%s: flag_values %r" % (name, values))
    check(np.asarray(getattr(v, "flag_values", 0)).dtype == v.dtype,
          "%s: flag_values not of the variable's type" % name)
    check(getattr(v, "flag_meanings", None) == MEANINGS,
          "%s: flag_meanings %r" % (name, getattr(v, "flag_meanings", None)))
    check(bool(getattr(v, "standard_name", "")), "%s has no standard_name" % name)


def check_netcdf(path, expected, variables):
    ds, raw = xr.open_dataset(path), netCDF4.Dataset(path)
    flagged = [n for n in ds.data_vars if n + "_qc" in ds.data_vars]
    check(sorted(flagged) == sorted(variables), "variables with NAME_qc: %s, expected %s" % (
        sorted(flagged), sorted(variables)))
    for name in sorted(n for n in raw.variables if n.endswith("_qc") or "_qc_" in n):
        check_flag_variable(raw, name)
    for name in variables:
        if name not in ds:
            continue
        ancillary = ds[name].attrs.get("ancillary_variables", "").split()
        check(name + "_qc" in ancillary, "%s: ancillary_variables %r" % (name, ancillary))
        compare(name + "_qc", expected[name]["qc"], ds[name + "_qc"].values)
        for test in TESTS:
            detail = "%s_qc_%s" % (name, test)
            if check(detail in ds, "%s is missing (with --qc-detail)" % detail):
                compare(detail, expected[name][test], ds[detail].values)
    if check("record_qc" in ds, "no record_qc"):
        compare("record_qc", expected["record"]["qc"], ds["record_qc"].values)
    return ds


def must_show(ds, channels, counts, qc):
    """What the flags are for: in air and stuck fail, spikes at least suspect, the rest pass."""
    air, stuck, spikes = np.arange(IN_AIR), counts[STUCK_COLUMN], dict(SPIKES)
    start, end = STUCK.start, STUCK.stop  # the whole constant run around the frozen lines
    while start > 0 and stuck[start - 1] == stuck[start]:
        start -= 1
    while end < N_LINES and stuck[end] == stuck[start]:
        end += 1
    near_faults = set(range(IN_AIR + 1)) | set(range(start, end + 31))
    near_faults |= {n + d for n in spikes for d in (-1, 0, 1)}
    near_faults |= set(range(DIP_LINE - 3 * DIP_WIDTH, DIP_LINE + 3 * DIP_WIDTH))
    others = np.array(sorted(set(range(N_LINES)) - near_faults))
    for column, kind, names in channels:
        for name in ["counts_%d" % column] + [n for n, _ in names]:
            if name + "_qc" not in ds:
                continue  # told already
            flags = ds[name + "_qc"].values
            if kind.lower() == "lambda":
                check(np.all(flags[air] == FAIL), "%s_qc: in air not all 4" % name)
            if column == STUCK_COLUMN:
                fail_from = start + int(thresholds(qc, kind, column)["flat_line"][1]) - 1
                check(np.all(flags[fail_from:end] == FAIL), "%s_qc: stuck not all 4" % name)
            for line in (n for n, c in spikes.items() if c == column):
                check(flags[line] in (SUSPECT, FAIL), "%s_qc: spike at %d flagged %d" %
                      (name, line, flags[line]))
            share = np.mean(flags[others] == PASS)
            check(share >= 0.99, "%s_qc: only %.1f %% of the other records pass" % (
                name, 100 * share))
    dip = {"counts_2": [PASS], "beta_470": [FAIL], "bbp_470": [SUSPECT, FAIL]}
    for name, flags in dip.items():
        got = ds[name + "_qc"].values[DIP_LINE] if name + "_qc" in ds else None
        check(got in flags, "%s_qc at the dip's bottom is %s, expected %s" % (name, got, flags))
    if "record_qc" in ds:
        share = np.mean(ds["record_qc"].values[others] == PASS)
        check(share >= 0.99, "record_qc: only %.1f %% of the other records pass" % (100 * share))


def check_csv(path, ds, names):
    csv = pd.read_csv(path, comment="#")
    columns = list(csv.columns)
    first_qc = next((k for k, c in enumerate(columns) if c.endswith("_qc")), len(columns))
    check(all(c.endswith("_qc") for c in columns[first_qc:]), "csv: a value after the flags: %s"
          % columns)
    rows = ds.sizes["time"]
    check(len(csv) == rows, "csv: %d rows, the NetCDF %d" % (len(csv), rows))
    for name in names:
        if check(name + "_qc" in csv, "csv: no %s_qc column" % name):
            compare("csv " + name + "_qc", ds[name + "_qc"].values, csv[name + "_qc"].to_numpy())
    if "record_qc" in csv:
        compare("csv record_qc", ds["record_qc"].values, csv["record_qc"].to_numpy())


def summary(ds):
    for name in sorted(n for n in ds.data_vars if n.endswith("_qc")):
        values, numbers = np.unique(ds[name].values, return_counts=True)
        print("%-32s %s" % (name, "  ".join("%d:%d" % (v, c) for v, c in zip(values, numbers))))


# Narrower sections before wider ones (narrowness decides, not the order), names in any case,
# a tolerance, a quantity by its own name: what the demo's file leaves out.
OWN_QC = """[COLUMN 4]
spike = 300 600
bbp_650.gross_range_suspect = 0 0.009
[column 7]
pressure.gross_range = 0 50
[lambda]
flat_line = 5 8
flat_line_tolerance = 2   # counts
spike = 500 1000
rate_of_change = 4 20
[All]
ceiling = 4000
gross_range = 20 3900
"""


def run(args, *options, qc=None):
    command = [args.convert, "--dev", args.dev, "--qc", qc or args.qc] + list(options)
    done = subprocess.run(command, capture_output=True, text=True)
    return check(done.returncode == 0, "%s: exit %d: %s" % (" ".join(command), done.returncode,
                                                            done.stderr.strip()))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--convert")
    parser.add_argument("--dev")
    parser.add_argument("--qc")
    parser.add_argument("--work")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    self_test()
    if args.self_test:
        return report()
    if not all((args.convert, args.dev, args.qc, args.work)):
        parser.error("--convert, --dev, --qc and --work are needed")
    channels = read_dev(args.dev)
    names = [n for _, _, ns in channels for n, _ in ns]
    if not check([c for c, _, _ in channels] == [2, 3, 4, 6, 7] and names[0] == "beta_470",
                 "the recording made here needs kivo-bb3-ctd.dev's columns"):
        return report()
    path = lambda name: os.path.join(args.work, name)
    os.makedirs(args.work, exist_ok=True)
    counts = make_counts()
    write_raw(path("qc.raw"), counts)
    with open(path("own.qc"), "w") as f:
        f.write(OWN_QC)
    for qc_file, output in ((args.qc, path("qc.nc")), (path("own.qc"), path("own.nc"))):
        if not run(args, "--qc-detail", "--format", "netcdf", "-o", output, path("qc.raw"),
                   qc=qc_file):
            continue
        ds, ties = xr.open_dataset(output), []
        for column, _, _ in channels:
            compare("counts_%d" % column, counts[column], ds["counts_%d" % column].values)
        expected = expected_flags(channels, counts, read_qc(qc_file), ds, ties)
        check(not ties, "the recording has rate-of-change ties at %s: change the seed" % ties)
        check_netcdf(output, expected, names + ["counts_%d" % c for c, _, _ in channels])
        print("==", os.path.basename(qc_file))
        summary(ds)
        if qc_file == args.qc:
            must_show(ds, channels, counts, read_qc(qc_file))
            if run(args, "--format", "csv", "-o", path("qc.csv"), path("qc.raw")):
                check_csv(path("qc.csv"), ds, names)
    return report()


def report():
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


def self_test():
    """The reference tests on series small enough to work out by hand (run before each check:
    a fault here would otherwise show as the program's)."""
    nan = np.nan
    cases = [
        ("spike first/last", spike(np.array([5000., 10, 10, 10, 5000]), 500, 1000),
         [2, 4, 1, 4, 2]),
        ("spike heights", spike(np.array([100., 900, 100, 100, 2000, 100]), 500, 1000),
         [2, 3, 1, 3, 4, 2]),
        ("spike at the limit", spike(np.array([0., 500, 0, 1000, 0]), 500, 1000), [2, 1, 3, 3, 2]),
        ("spike beside NaN", spike(np.array([1., 1, nan, 1, 1]), 5, 10), [2, 2, 1, 2, 2]),
        ("flat 10/20", flat_line(np.full(25, 7.), 10, 20, 0), [2] * 9 + [3] * 10 + [4] * 6),
        ("flat tolerance", flat_line(np.array([1., 2] * 6), 3, 5, 1), [2, 2] + [3, 3] + [4] * 8),
        ("not flat at 0", flat_line(np.array([1., 2] * 3), 3, 5, 0), [2, 2, 1, 1, 1, 1]),
        ("flat with NaN", flat_line(np.array([3., 3, nan, 3, 3, 3]), 3, 9, 0), [2, 2, 1, 1, 1, 3]),
        ("flat off", flat_line(np.full(5, 1.), 0, 0, 0), [2] * 5),
        ("rate", rate_of_change(np.array([0., 1, 0, 1, 10, 10]), 2, 3), [2, 2, 2, 1, 3, 1]),
        ("rate NaN", rate_of_change(np.array([0., nan, 0, 1, 0, 1, 0]), 2, 3),
         [2, 2, 2, 2, 2, 1, 1]),
        ("rate flat", rate_of_change(np.array([5., 5, 5, 5, 6]), 3, 3), [2, 2, 2, 1, 3]),
        ("saturation", saturation(np.array([0., 1, 4094, 4095, -3]), 4095), [4, 1, 1, 4, 4]),
        ("gross", gross_range(np.array([-1., 0, 10, 11, 99, 100, 101]), [0, 100], [10, 99]),
         [4, 3, 1, 1, 1, 3, 4]),
        ("worst", worst([[1, 2, 2, 1, 1], [2, 2, 3, 4, 1], [1, 2, 1, 3, 1]],
                        np.array([0, 0, 0, 0, 1], bool)), [1, 2, 3, 4, 9]),
    ]
    for name, got, want in cases:
        compare(name, np.array(want), got)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "t.qc")
        with open(path, "w") as f:
            f.write("[column 3]\nspike = 1 2\n[ALL]\nspike = 5 6  # c\nceiling = 100\n"
                    "[lambda]\nspike = 7 8\nbbp.gross_range = -1 1\n")
        qc = read_qc(path)
        check(thresholds(qc, "Lambda", 3)["spike"] == [1, 2], "[column 3] should win")
        check(thresholds(qc, "Lambda", 4)["spike"] == [7, 8], "[Lambda] should beat [all]")
        check(thresholds(qc, "PRES", 7) == {"spike": [5, 6], "ceiling": [100], "flat_line": [0, 0],
                                            "flat_line_tolerance": [0]}, "[all] only")
        check(thresholds({}, "CHL", 2)["flat_line"] == [10, 20], "flat line on by default")
        values = np.array([-2., 0, 2])
        compare("quantity", np.array([4, 1, 4]),
                quantity_range(values, thresholds(qc, "Lambda", 2), "bbp_470", "bbp"))
        for bad in ("spike = 1\n", "[all]\nspike 1 2\n", "[all]\nspike = a b\n", "x = 1 2\n"):
            with open(path, "w") as f:
                f.write(bad)
            try:
                read_qc(path)
                failures.append("read a bad QC file: %r" % bad)
            except ValueError:
                pass


if __name__ == "__main__":
    sys.exit(main())
