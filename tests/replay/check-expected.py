#!/usr/bin/env python3
"""How the expected engineering-units files of this corpus were checked.

Run by hand, not by `make test`:

    tests/replay/check-expected.py            # prints NAME: ok / differs for every case
    tests/replay/check-expected.py --write    # writes NAME.expected.eng for every case

It is a second implementation, written from the file formats and formulas alone and sharing
no code with the program: it reads NAME.dev, NAME.raw and NAME.options (the kivo-convert
switches of the case: --alt, --refcorr, --tempcorr) and builds the .eng file a fresh start
of the program records with Record Engr on from the first line. Without --write it compares
that with NAME.expected.eng. An expected file may change only after this script and the
program have been made to agree on it, never by saving what the program prints.

Standard library only. Device-file numbers are read in single precision and widened to
double; everything else is double; Python's % formatting of doubles gives C's printf digits.
"""

import math
import re
import struct
import sys
from fractions import Fraction
from pathlib import Path

HERE = Path(__file__).resolve().parent

# ---- scanf-like readers -------------------------------------------------------------------

FLOAT_RE = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?")
INT_RE = re.compile(r"[+-]?\d+")


def scan_float(text):
    """"%lf": the longest number at the start after blanks; None when there is none."""
    m = FLOAT_RE.match(text.lstrip(" \t\r\n\v\f"))
    return m.group(0) if m else None


def scan_int(text, width=None):
    """"%d" (or "%2d"): blanks skipped, then a sign and digits, `width` characters at most.
    Returns (value, rest) or None."""
    text = text.lstrip(" \t\r\n\v\f")
    field = text if width is None else text[:width]
    m = INT_RE.match(field)
    if not m:
        return None
    return int(m.group(0)), text[m.end():]


def scan_three(text, separator, width=None):
    values = []
    for i in range(3):
        if i > 0 and separator:
            if not text.startswith(separator):
                return None
            text = text[1:]
        got = scan_int(text, width)
        if got is None:
            return None
        value, text = got
        values.append(value)
    return values


def single(text):
    """A decimal number rounded to the nearest single-precision value (ties to even), as
    "%f" stores it, widened to double."""
    exact = Fraction(text)
    sign = -1 if exact < 0 else 1
    exact = abs(exact)
    bits = struct.unpack("<I", struct.pack("<f", float(exact)))[0]
    best = None
    for b in (bits - 1, bits, bits + 1):  # the double may sit on a single-precision midpoint
        if b < 0:
            continue
        value = Fraction(struct.unpack("<f", struct.pack("<I", b))[0])
        key = (abs(value - exact), b & 1)
        if best is None or key < best[0]:
            best = (key, value)
    return sign * float(best[1])


# ---- device file -------------------------------------------------------------------------

FLUORO = {"CHL=": 25, "CDOM=": 26, "URANINE=": 27, "PHYCOCYANINE=": 28, "PHYCOERYTHRIN=": 29,
          "RHODAMINE=": 30, "LSS=": 37, "NTU=": 52, "VSF100=": 54, "VSF125=": 55, "VSF150=": 56,
          "ITEMP=": 39, "XTEMP=": 40, "PRES=": 41}
COLUMN_ONLY = {"DATE=": 1, "TIME=": 2, "CHLREF=": 31, "CDOMREF=": 32, "URANINEREF=": 33,
               "PHYCOCYANINEREF=": 34, "PHYCOERYTHRINREF=": 35, "RHODAMINEREF=": 36,
               "LSSREF=": 38, "NTUREF=": 53, "REF=": 42, "N/U=": 42, "IENGR=": 51}


class Device:
    def __init__(self, path):
        lines = path.read_bytes().decode("ascii").split("\n")
        self.declared = 0
        self.count = 0
        self.types = [0] * 75
        self.scale = [1.0] * 75
        self.offset = [0.0] * 75
        self.wavelength = [0] * 75
        self.salinity, self.theta, self.chi, self.water = 32.0, 117 * 3.1415 * (1 / 180), 1.1, 1
        self.units = ""
        for raw_line in lines[1:]:
            line = raw_line.rstrip("\r")
            upper = line.upper()
            value = line[line.rfind("=") + 1:]
            numbers = value.split()
            if upper.startswith("WATER=PURE"):
                self.water = 0
            elif upper.startswith("WATER=SEA"):
                self.water = 1
            elif upper.startswith("COLUMNS="):
                self.declared = int(numbers[0])
            elif upper.startswith("SALINITY="):
                self.salinity = single(scan_float(value))
            elif upper.startswith("THETA="):
                self.theta = single(scan_float(value)) * 3.1415 * (1 / 180)
            elif upper.startswith("XFACTOR="):
                self.chi = single(scan_float(value))
            elif upper.startswith("IENGRUNITS="):
                self.units = re.match(r"[\x20-\x7e]*", value).group(0)
            elif upper.startswith("LAMBDA="):
                n = int(numbers[0])
                t = 5 + n
                self.types[n - 1] = t
                self.scale[t], self.offset[t] = single(numbers[1]), single(numbers[2])
                self.wavelength[t] = int(single(numbers[3]))  # truncated toward zero
                self.count += 1
            elif upper.startswith("LAMBDAREF="):
                n = int(numbers[0])
                t = 14 + n
                self.types[n - 1] = t
                self.scale[t], self.offset[t] = single(numbers[1]), single(numbers[2])
                self.count += 1
            else:
                for key, t in FLUORO.items():
                    if upper.startswith(key):
                        self.types[int(numbers[0]) - 1] = t
                        self.scale[t], self.offset[t] = single(numbers[1]), single(numbers[2])
                        self.count += 1
                for key, t in COLUMN_ONLY.items():
                    if upper.startswith(key):
                        self.types[int(numbers[0]) - 1] = t
                        self.count += 1
        assert self.count <= self.declared


# ---- conversion --------------------------------------------------------------------------

def divide(a, b):
    """IEEE division: a zero divisor gives an infinity (or NaN for 0/0), as in C."""
    if b != 0:
        return a / b
    if a == 0 or math.isnan(a):
        return math.nan
    return math.copysign(math.inf, a) * math.copysign(1.0, b)


def scattering(s, theta, chi, wavelength, water, beta):
    a = 1 + math.cos(theta) ** 2 * (1 - 0.09) / (1 + 0.09)
    beta_w = 1.38 * (0.002 * wavelength) ** -4.32 * (1 + 0.3 * s * (1 / 37)) * 0.0001 * a
    if water == 0:
        bw = 0.0022533 * (0.002 * wavelength) ** -4.23
    else:
        bw = 0.0029308 * (0.002 * wavelength) ** -4.24
    betap = beta - beta_w
    bbp = 2.0 * 3.1415 * chi * betap
    return betap, bbp, bbp + 0.5 * bw


SINGLE_FIELD = {54: "B(100)", 55: "B(125)", 56: "B(150)", 25: "CHL(ug/l)", 51: "iEngr",
                28: "pcyan(raw)", 29: "peryth(raw)", 27: "ur(raw)", 30: "rhod(raw)",
                26: "CDOM(raw)", 37: "NTU", 52: "NTU", 39: "iTemp(C)", 40: "xTemp(C)",
                41: "Pres(dbar)"}


def heading(dev):
    out = "Count\tDate\tTime"
    for t in dev.types[:dev.count]:
        if 7 <= t <= 15:
            out += "\tBeta(%3d)\tBetap(%3d)\tbbp(%3d)\tbb(%3d))" % ((dev.wavelength[t],) * 4)
        elif t == 51:
            out += "\tiEngr(%s)" % dev.units
        elif t in SINGLE_FIELD:
            out += "\t" + SINGLE_FIELD[t]
    return out + "\r\n"


class Run:
    """One fresh start: the pump, the data-line parser, the reply clock, the record."""

    def __init__(self, dev, alternate, refcorr, tempcorr):
        self.dev, self.alternate, self.refcorr, self.tempcorr = dev, alternate, refcorr, tempcorr
        self.raw = [0.0] * 75
        self.first_ref = [9999.9] * 75
        self.raw_itemp = 0.0
        self.clock = {"month": 99, "day": 0, "year": 0, "hour": 0, "minute": 0, "second": 0}
        self.lines = 0.0
        self.first_line = 0.0
        self.out = heading(dev)

    # The pump: LF ends a line, CR is dropped, a line past 250 characters is dropped up to
    # its line end; a last line without a line end never completes.
    def feed(self, data):
        line, length, dropping = "", 0, False
        for ch in data.decode("latin-1"):
            if ch == "\n":
                self.line(line)
                line, length, dropping = "", 0, False
            elif ch == "\r" or dropping:
                continue
            else:
                length += 1
                if length > 250:
                    line, dropping = "", True
                elif ch != "\0":
                    line += ch

    def split(self, line):
        slashes = colons = 99 if self.alternate else 0
        fields, date, time = [], None, None
        for text in line.split("\t"):
            if re.search(r"[^0-9./:\-]", text):
                return 0, None, None, None
            slashes += text.count("/")
            colons += text.count(":")
            value = 0.0
            if slashes == 0 and colons == 0:
                number = scan_float(text)
                if number is None:
                    return 0, None, None, None
                value = float(number)
            elif colons == 2:
                time = scan_three(text, ":")
                if time is None:
                    return 0, None, None, None
            elif slashes == 2:
                date = scan_three(text, "/")
                if date is None:
                    return 0, None, None, None
            elif slashes == 99 and colons == 99:
                date = scan_three(text, "", 2)
                if date is None:
                    return 0, None, None, None
            elif slashes == 0 and colons == 99:
                time = scan_three(text, "", 2)
                if time is None:
                    return 0, None, None, None
            else:
                return 0, None, None, None
            fields.append(value)
            if not self.alternate:
                slashes = colons = 0
            elif slashes > 0:
                slashes = 0
            else:
                colons = 0
        return len(fields), fields, date, time

    def line(self, line):
        n, fields, date, time = self.split(line)
        if n == 0:
            self.reply(line)
            return
        if n != self.dev.declared:
            return
        for i, t in enumerate(self.dev.types[:self.dev.count]):
            v = fields[i]
            if 16 <= t <= 24 or 31 <= t <= 36 or t in (38, 53):
                self.raw[t] = v
                if self.first_ref[t] > 9999.0:
                    self.first_ref[t] = v
            elif 7 <= t <= 15 or 25 <= t <= 30 or t in (37, 39, 40, 41, 51, 52, 54, 55, 56):
                self.raw[t] = v
                if t == 39:
                    self.raw_itemp = v
        if date:
            self.clock.update(month=date[0], day=date[1], year=date[2])
        if time:
            self.clock.update(hour=time[0], minute=time[1], second=time[2])
        self.lines += 1.0
        if self.lines < self.first_line or not self.first_line > 0:
            self.first_line = self.lines
        sample = self.lines if self.clock["month"] == 99 else self.lines - self.first_line
        self.correct()
        self.record(sample)

    # Only the clock replies change what is recorded.
    def reply(self, line):
        upper = line.upper()
        for key, names, separator in (("CLK", ("hour", "minute", "second"), ":"),
                                      ("DAT", ("month", "day", "year"), "/")):
            if not upper.startswith(key):
                continue
            token = upper[3:].split()
            if not token:
                return
            values = scan_three(token[0], separator, 2) or scan_three(token[0], "", 2)
            if values:
                self.clock.update(zip(names, values))

    def correct(self):
        dev = self.dev
        for t in dev.types[:dev.count]:
            if not 8 <= t <= 15:
                continue
            r = t + 8
            if self.refcorr:
                self.raw[t] = divide(self.raw[t], divide(self.raw[r], self.first_ref[r])
                                     * dev.scale[r] + dev.offset[r])
            if self.tempcorr:
                self.raw[t] = divide(self.raw[t], 0.001794468729587918 * self.raw_itemp * 1.0 + 0.0)

    def record(self, sample):
        dev, c = self.dev, self.clock
        out = "%1.0f\t%02d%02d%02d\t%02d%02d%02d" % (sample, c["month"], c["day"], c["year"],
                                                     c["hour"], c["minute"], c["second"])
        for t in dev.types[:dev.count]:
            raw = self.raw[t]
            if 7 <= t <= 15:
                beta = (raw - dev.offset[t]) * dev.scale[t]
                values = (beta,) + scattering(dev.salinity, dev.theta, dev.chi,
                                              float(dev.wavelength[t]), dev.water, beta)
                out += "\t%8.6f\t%8.6f\t%8.6f\t%8.6f" % values
            elif t == 51:
                out += "\t%6.4f" % raw
            elif t in (39, 40):
                out += "\t%6.4f" % (raw * dev.scale[t] + dev.offset[t])
            elif t == 41:
                out += "\t%5.1f" % (raw * dev.scale[t] + dev.offset[t])
            elif t in SINGLE_FIELD:
                out += "\t%6.4f" % ((raw - dev.offset[t]) * dev.scale[t])
        self.out += out + "\r\n"


def expected(name):
    options_path = HERE / (name + ".options")
    options = options_path.read_text().split() if options_path.exists() else []
    run = Run(Device(HERE / (name + ".dev")), "--alt" in options, "--refcorr" in options,
              "--tempcorr" in options)
    run.feed((HERE / (name + ".raw")).read_bytes())
    return run.out.encode("ascii")


def main():
    write = "--write" in sys.argv[1:]
    status = 0
    for dev in sorted(HERE.glob("*.dev")):
        name = dev.stem
        text = expected(name)
        target = HERE / (name + ".expected.eng")
        if write:
            target.write_bytes(text)
            print("%s: written" % name)
        elif target.exists() and target.read_bytes() == text:
            print("%s: ok" % name)
        else:
            print("%s: differs" % name)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
