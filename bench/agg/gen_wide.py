#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the second data shape of bench/agg/run.sh to standard output: a CSV of 12 columns

    id,time,site,status,device,a,note,b,rssi,c,firmware,battery

with a header line. Readings come every 30 seconds from 10 sites of 20 devices each (the
device names repeat across sites, so only the pair names a series); 2026-03-02T00:00:00 is the
first reading. The times are ISO 8601 in UTC, written "...Z" by the odd sites and "...+00:00"
by the even ones, as files merged from different loggers are. a, b and c are the values to
group; note is always quoted and holds commas, and doubled quotes in half the rows; id,
status, rssi, firmware and battery are filler for the reader to skip. The values follow a
fixed pseudo-random sequence, so a given ROWS always gives the same file.

Usage: gen_wide.py [ROWS]   (default 5000000)
"""
import datetime
import sys

SITES = [f"site-{s:02d}" for s in range(1, 11)]
DEVICES = [f"dev-{d:02d}" for d in range(1, 21)]
STATUS = ["ok", "ok", "ok", "warn", "ok", "fault", "ok"]
FIRMWARE = ["v2.3.1", "v2.4.0", "v3.0.0-rc1"]
NOTES = [
    '"checked, no fault"',
    '"valve 3, ""manual"" override, logged"',
    '"door open, 2 min"',
    '"reset by ""night shift"", see log, page 4"',
    '"ok, ok, ok"',
    '"sensor ""B"" replaced, recalibrated"',
]
STEP = 30
START = datetime.datetime(2026, 3, 2, tzinfo=datetime.timezone.utc)


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 5_000_000
    out = sys.stdout
    out.write("id,time,site,status,device,a,note,b,rssi,c,firmware,battery\n")
    per_reading = len(SITES) * len(DEVICES)
    seed = 12345
    lines = []
    row = 0
    reading = 0
    while row < rows:
        stamp = (START + datetime.timedelta(seconds=STEP * reading)).strftime("%Y-%m-%dT%H:%M:%S")
        times = (stamp + "Z", stamp + "+00:00")
        for i in range(min(per_reading, rows - row)):
            s, d = divmod(i, len(DEVICES))
            # A linear congruential sequence (glibc's constants) for cheap repeatable values.
            seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
            r = seed >> 8
            lines.append(
                f"{row},{times[s % 2]},{SITES[s]},{STATUS[r % 7]},{DEVICES[d]},"
                f"{10 + s + (r % 1000) / 100:.2f},{NOTES[r % 6]},{(r >> 3) % 100000 / 1000:.3f},"
                f"-{40 + r % 60},{r % 500},{FIRMWARE[d % 3]},{3 + (r >> 5) % 120 / 100:.2f}\n"
            )
            row += 1
        reading += 1
        if len(lines) >= 20000:
            out.write("".join(lines))
            lines.clear()
    out.write("".join(lines))


main()
