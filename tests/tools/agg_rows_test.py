#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""qelkit-agg groups every row exactly right or reports it; references are Python's own.

- Daylight-saving changes (zoneinfo as the reference): a local time the clocks skip is a bad
  row with its reason; week-hour and month-hour keep hour N apart from hour N+1 in a week or
  month whose first day skips an hour; instants that read alike share one period.
- Sums (fractions.Fraction as the reference): the correctly rounded exact sum and mean, the
  same for every chunk size and thread count, finite whenever the exact sum is.
- Column numbers past the limit are refused; --rows memory does not grow with distinct keys.
- --sql writes the column as an identifier of its dialect, or refuses it.
- Output names are unique and never empty; a message is one line whatever the field holds.

Usage: agg_rows_test.py QELKIT_AGG
"""
import datetime as dt
import os
import random
import subprocess
import sys
import tempfile
from fractions import Fraction
from zoneinfo import ZoneInfo

AGG = sys.argv[1]
failures = []


def check(ok, text):
    if not ok:
        failures.append(text)
        print("FAIL:", text)


def agg(args, env=None):
    return subprocess.run([AGG, "-q", *args], capture_output=True, text=True, timeout=300,
                          env=dict(os.environ, **(env or {})))


def write(name, lines):
    with open(name, "w") as f:
        f.write("".join(line + "\n" for line in lines))
    return name


def rows_of(stdout):
    return [line.split("\t") for line in stdout.splitlines()[1:]]


def fmt(x):
    return "%.15g" % x


def rounded(fr):
    """The nearest double to the rational `fr`, an infinity past the largest."""
    try:
        return float(fr)
    except OverflowError:
        return float("inf") if fr > 0 else float("-inf")


def one_period_per_key(out, keys, what):
    seen = [tuple(r[:1 + keys]) for r in rows_of(out)]
    check(len(seen) == len(set(seen)), f"{what}: two output rows share period and key")


# ---- Daylight-saving changes ------------------------------------------------------------------

def label(wall, period):
    if period == "hour":
        return wall.replace(minute=0)
    if period == "none":
        return wall
    first = (wall.date() - dt.timedelta(days=(wall.weekday() + 1) % 7) if period == "week-hour"
             else wall.date().replace(day=1))
    return dt.datetime.combine(first, dt.time(wall.hour))


def check_zone(tz, period, start, hours, utc_rows=False):
    """Rows every 30 minutes from `start` (local, or UTC written with Z) for `hours` hours."""
    zone = ZoneInfo(tz)
    lines, bad, groups = [], set(), {}
    for i in range(hours * 2):
        t = start + dt.timedelta(minutes=30 * i)
        if utc_rows:
            text = t.strftime("%Y-%m-%dT%H:%MZ")
            wall = t.replace(tzinfo=dt.timezone.utc).astimezone(zone).replace(tzinfo=None)
        else:
            text = t.strftime("%Y-%m-%d %H:%M")
            back = t.replace(tzinfo=zone).astimezone(dt.timezone.utc).astimezone(zone)
            wall = t if back.replace(tzinfo=None) == t else None
        lines.append(f"{text},{i + 1}")
        if wall is None:
            bad.add(f"qelkit-agg: dst.csv:{i + 1}: time does not exist in the local zone "
                    f"(the clocks skip it): '{text}'")
            continue
        g = groups.setdefault(label(wall, period), [0, 0])
        g[0] += 1
        g[1] += i + 1
    write("dst.csv", lines)
    r = agg(["--dst", "-p", period, "dst.csv"], {"TZ": tz})
    what = f"{tz} {period} from {start}"
    expected = [[k.strftime("%Y-%m-%d %H:%M:%S"), str(c), str(s)] for k, (c, s) in
                sorted(groups.items())]
    check([row[:3] for row in rows_of(r.stdout)] == expected,
          f"{what}: groups {rows_of(r.stdout)} != {expected}")
    got_bad = {line for line in r.stderr.splitlines() if "dst.csv:" in line}
    check(got_bad == bad, f"{what}: bad rows {sorted(got_bad)} != {sorted(bad)}")
    one_period_per_key(r.stdout, 0, what)


def check_daylight_saving():
    d = dt.datetime
    # London and New York skip an hour on a Sunday, the first day of the week; Sydney skips one
    # on Sunday 1 October 2017, the first day of the month.
    check_zone("Europe/London", "week-hour", d(2024, 3, 31), 72)
    check_zone("America/New_York", "week-hour", d(2024, 3, 10), 48)
    check_zone("America/New_York", "hour", d(2024, 3, 10), 6)
    check_zone("Australia/Sydney", "month-hour", d(2017, 10, 1), 48)
    # The hour repeated in autumn, from instants given in UTC: one period per reading.
    check_zone("Europe/London", "none", d(2024, 10, 26, 23), 4, utc_rows=True)
    check_zone("Europe/London", "hour", d(2024, 10, 26, 23), 4, utc_rows=True)


# ---- Sums --------------------------------------------------------------------------------------

def random_values(rng, n):
    values = []
    for _ in range(n):
        kind = rng.random()
        if kind < 0.4:
            values.append(round(rng.uniform(-1000, 1000), rng.randint(0, 3)))
        elif kind < 0.6:
            big = rng.uniform(1, 1.8) * 10.0 ** 308 * rng.choice((1, -1))
            values += [big, -big] if rng.random() < 0.5 else [big]
        elif kind < 0.8:
            values.append(rng.uniform(-1, 1) * 10.0 ** rng.randint(-323, -290))
        else:
            values.append(rng.uniform(-1, 1) * 2.0 ** rng.randint(-60, 80))
    rng.shuffle(values)
    return values


def check_sums():
    rng = random.Random(20261207)
    cases = [
        ("two up, three down", [[1e308, 1e308, -1e308, -1e308, -1e308]]),
        ("partial sums overflow both ways", [[1e308] * 2000 + [-1e308] * 4000]),
        ("cancellation", [[1e20, 3.25, -1e20, 0.1, 1e-310, -1e-310, 2.0 ** -1074]]),
        # Values 2^64 times the first: their sum outgrows 127 bits, and may come back.
        ("128 bits overflow", [[1.0] + [1.5 * 2.0 ** 56] * 1500,
                               [1.0] + [1.5 * 2.0 ** 56] * 1500 + [-1.5 * 2.0 ** 56] * 1500]),
        ("mixed magnitudes", [random_values(rng, 150) for _ in range(3)]),
    ]
    for name, per_key in cases:
        lines = [f"2024-01-01 00:00,k{k},{v!r}" for k, values in enumerate(per_key)
                 for v in values]
        write("sums.csv", lines)
        expected = []
        for k, values in enumerate(per_key):
            exact = sum(Fraction(v) for v in values)
            expected.append(["2024-01-01 00:00:00", f"k{k}", str(len(values)),
                             fmt(rounded(exact)), fmt(min(values)), fmt(max(values)),
                             fmt(rounded(exact / len(values)))])
        overflows = any(row[3].endswith("inf") for row in expected)
        for chunk in (None, "1", "97", "4096"):
            for jobs in ("1", "3"):
                env = {"TZ": "UTC", **({"QELKIT_AGG_CHUNK_SIZE": chunk} if chunk else {})}
                r = agg(["-j", jobs, "-k", "2", "-p", "day", "sums.csv"], env)
                what = f"sums, {name}, chunk {chunk}, -j {jobs}"
                check(rows_of(r.stdout) == expected, f"{what}: {rows_of(r.stdout)} != {expected}")
                check(("overflowed to infinity" in r.stderr) == overflows,
                      f"{what}: overflow reported wrongly: {r.stderr}")


# ---- Columns, --rows memory ----------------------------------------------------------------------

def peak_kib(args, env=None):
    p = subprocess.Popen([AGG, "-q", *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         env=dict(os.environ, **(env or {})))
    _, status, usage = os.wait4(p.pid, 0)
    return os.waitstatus_to_exitcode(status), usage.ru_maxrss


def check_columns_and_memory():
    write("two.csv", ["2024-01-01 00:00,1", "2024-01-01 00:10,2"])
    for args in (["-k", "200000000"], ["-t", "2147483647"], ["-v", "2,1000001"]):
        r = agg([*args, "-p", "hour", "two.csv"])
        check(r.returncode == 2 and "from 1 to 1000000" in r.stderr,
              f"{args}: not refused with the limit: {r.returncode} {r.stderr}")
    r = agg(["-v", "2", "-k", "1000000", "-p", "hour", "two.csv"])
    check(r.returncode == 1 and "two.csv:1: too few fields (2, need 1000000)" in r.stderr,
          f"key column 1000000 on two fields: {r.returncode} {r.stderr}")
    if os.environ.get("QELKIT_AGG_NO_MEMORY_CHECK"):
        return
    # --rows streams its lines: twice as many distinct keys (60 bytes each) cost no more. One
    # thread, so that how many chunk results wait to be merged does not depend on the load.
    for n in (200000, 400000):
        with open(f"keys{n}.csv", "w") as f:
            for i in range(n):
                f.write(f"2024-01-01 {i // 3600 % 24:02d}:{i // 60 % 60:02d}:{i % 60:02d},"
                        f"{'k%059d' % i},1\n")
    peaks = [peak_kib(["-j", "1", "--rows", "-k", "2", "-p", "hour", f"keys{n}.csv"],
                      {"TZ": "UTC"}) for n in (200000, 400000)]
    check(peaks[0][0] == 0 and peaks[1][0] == 0 and peaks[1][1] < peaks[0][1] + 4096,
          f"--rows peak memory grows with distinct keys: {peaks} (status, KiB)")


# ---- --sql ------------------------------------------------------------------------------------

def check_sql():
    cases = [  # column, dialect, expected text (None: refused with status 2)
        ("ts", "postgresql", "date_trunc('hour', (ts))"),
        ("t.ts", "duckdb", "date_trunc('hour', (t.ts))"),
        ("ts'); DROP TABLE x; --", "postgresql", "date_trunc('hour', (\"ts'); DROP TABLE x; --\"))"),
        ("my col", "clickhouse", "toStartOfHour((`my col`))"),
        ('"Select".ts', "postgresql", "date_trunc('hour', (\"Select\".ts))"),
        ('s."a.b"', "duckdb", "date_trunc('hour', (s.\"a.b\"))"),
        ("ts", "to_char", "to_char((ts), 'YYYY-MM-DD HH24')"),
        ("my col", "to_char", "to_char((\"my col\"), 'YYYY-MM-DD HH24')"),
        ('x"y', "postgresql", None), ("a..b", "oracle", None), ("a.", "oracle", None),
        ("a`b", "clickhouse", None), ("a\\b", "duckdb", None), ("a\nb", "postgresql", None),
        ('"ab', "postgresql", None), ('""', "postgresql", None),
    ]
    for column, dialect, expected in cases:
        r = agg(["--sql", column, "-p", "hour", "--dialect", dialect])
        what = f"--sql {column!r} --dialect {dialect}"
        if expected is None:
            check(r.returncode == 2 and r.stdout == "" and len(r.stderr.splitlines()) == 1
                  and "invalid column" in r.stderr, f"{what}: not refused: {r}")
        else:
            check(r.returncode == 0 and r.stdout == expected + "\n", f"{what}: {r.stdout!r}")


# ---- Names and messages -------------------------------------------------------------------------

def check_names_and_messages():
    write("names.csv", ["time,Count,x,sum_x,X,", "2024-01-01 00:00,a,1,b,2,3"])
    r = agg(["--header", "-k", "2,4", "-v", "3,5,6", "-p", "hour", "names.csv"], {"TZ": "UTC"})
    header = r.stdout.splitlines()[0].split("\t") if r.stdout else []
    expected = ["period", "Count_2", "sum_x_4", "count"] + [
        f"{s}_{n}" for n in ("x_3", "X_5", "c6") for s in ("sum", "min", "max", "mean")]
    check(header == expected, f"header {header} != {expected}")
    lowered = [h.lower() for h in header]
    check(len(set(lowered)) == len(lowered), f"header names repeat: {header}")
    # A file name and fields holding line breaks and other control characters: one line each.
    name = "odd\nname\x1b.csv"
    write(name, ["2024-01-01 00:00,1", '"bad\ntime\x0b",2', "2024-01-01 00:00,x\x0c"])
    r = agg(["-p", "hour", name], {"TZ": "UTC"})
    lines = r.stderr.split("\n")[:-1]
    check(lines == ["qelkit-agg: odd\\nname\\x1B.csv:2: time does not parse: 'bad\\ntime\\x0B'",
                    "qelkit-agg: odd\\nname\\x1B.csv:4: column 2 is not a number: 'x\\x0C'",
                    "qelkit-agg: 3 rows read, 1 grouped, 2 skipped; period Hour"],
          f"messages of odd fields: {lines}")
    r = agg(["--header", "-t", "9", "-p", "hour", name])
    check(r.stderr == "qelkit-agg: column 9 is beyond the 2 fields of the first row of "
          "'odd\\nname\\x1B.csv'\n", f"first row of an odd name: {r.stderr!r}")
    r = agg(["-p", "hour\nday", "two.csv"])
    check(r.stderr.startswith("qelkit-agg: invalid period 'hour\\nday'"), f"usage: {r.stderr!r}")


def main():
    os.chdir(tempfile.mkdtemp())
    check_daylight_saving()
    check_sums()
    check_columns_and_memory()
    check_sql()
    check_names_and_messages()
    print(f"{0 if failures else 1} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
