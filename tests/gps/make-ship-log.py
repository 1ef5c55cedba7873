#!/usr/bin/env python3
"""Writes ship.nmea: a ship steaming east-north-east off Halifax, one GGA and one RMC sentence a
second from 2026-12-10 12:00:00 UTC, 60 seconds, with the fix lost from second 25 to 34 (GGA
quality 0, RMC status V, no position) and regained. Positions are printed as receivers print
them: minutes to four decimals. Run it again only to change the track; the tests read the log.
"""
import functools
import pathlib

START_LAT = 44.0 + 38.2140 / 60.0   # 44°38.2140'N
START_LON = -(63.0 + 34.1010 / 60.0)  # 063°34.1010'W
LOST = range(25, 35)


def checksum(body):
    return functools.reduce(lambda a, c: a ^ ord(c), body, 0)


def sentence(body):
    return "$%s*%02X\r\n" % (body, checksum(body))


def angle(value, degree_digits, positive, negative):
    hemisphere = positive if value >= 0 else negative
    value = abs(value)
    degrees = int(value)
    minutes = round((value - degrees) * 60.0, 4)
    if minutes >= 60.0:
        degrees, minutes = degrees + 1, 0.0
    return "%0*d%07.4f" % (degree_digits, degrees, minutes), hemisphere


def main():
    lines = []
    for second in range(60):
        hhmmss = "12%02d%02d.00" % (second // 60, second % 60)
        if second in LOST:
            lines.append(sentence("GPGGA,%s,,,,,0,00,,,M,,M,," % hhmmss))
            lines.append(sentence("GPRMC,%s,V,,,,,,,101226,,,N" % hhmmss))
            continue
        # About 5 knots on 070° true.
        lat = START_LAT + second * 0.0000090
        lon = START_LON + second * 0.0000345
        lat_text, ns = angle(lat, 2, "N", "S")
        lon_text, ew = angle(lon, 3, "E", "W")
        lines.append(sentence("GPGGA,%s,%s,%s,%s,%s,1,08,0.9,12.0,M,-20.0,M,," %
                              (hhmmss, lat_text, ns, lon_text, ew)))
        lines.append(sentence("GPRMC,%s,A,%s,%s,%s,%s,5.1,70.0,101226,,,A" %
                              (hhmmss, lat_text, ns, lon_text, ew)))
    out = pathlib.Path(__file__).with_name("ship.nmea")
    out.write_text("".join(lines), newline="")


if __name__ == "__main__":
    main()
