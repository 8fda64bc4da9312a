#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
# qelkit-agg groups every row exactly right or reports it; references are Python's own.
#
# - Daylight-saving changes (zoneinfo as the reference): a local time the clocks skip is a bad
#   row with its reason; week-hour and month-hour keep hour N apart from hour N+1 in a week or
#   month whose first day skips an hour; instants that read alike share one period.
# - Sums (fractions.Fraction as the reference): the correctly rounded exact sum and mean, the
#   same for every chunk size and thread count, finite whenever the exact sum is.
#
# Usage: agg_rows_test.py QELKIT_AGG GEN_SAMPLE SAMPLE_CSV   (TZ=UTC)
import datetime as dt
import random
import sys
from fractions import Fraction
from zoneinfo import ZoneInfo

from agg_harness import agg, check, run_all, write


def rows_of(r):
    return [line.split("\t") for line in r.stdout.decode().splitlines()[1:]]


def label(wall, period):
    if period == "hour":
        return wall.replace(minute=0)
    if period == "none":
        return wall
    first = (wall.date() - dt.timedelta(days=(wall.weekday() + 1) % 7) if period == "week-hour"
             else wall.date().replace(day=1))
    return dt.datetime.combine(first, dt.time(wall.hour))


# Rows every 30 minutes from `start` (local, or UTC written with Z) for `hours` hours.
def check_zone(tz, period, start, hours, utc_rows=False):
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
        lines.append(f"{text},{i + 1}\n")
        if wall is None:
            bad.add(f"qelkit-agg: dst.csv:{i + 1}: time does not exist in the local zone "
                    f"(the clocks skip it): '{text}'")
            continue
        g = groups.setdefault(label(wall, period), [0, 0])
        g[0] += 1
        g[1] += i + 1
    r = agg(["--dst", "-p", period, write("dst.csv", "".join(lines))], env={"TZ": tz})
    what = f"{tz} {period} from {start}"
    expected = [[k.strftime("%Y-%m-%d %H:%M:%S"), str(c), str(s)] for k, (c, s) in
                sorted(groups.items())]
    check([row[:3] for row in rows_of(r)] == expected, f"{what}: groups {rows_of(r)} != {expected}")
    got_bad = {line for line in r.stderr.decode().splitlines() if "dst.csv:" in line}
    check(got_bad == bad, f"{what}: bad rows {sorted(got_bad)} != {sorted(bad)}")


def check_daylight_saving():
    d = dt.datetime
    # London and New York skip an hour on a Sunday, the first day of the week; Sydney skips one
    # on Sunday 1 October 2017, the first day of the month.
    check_zone("Europe/London", "week-hour", d(2024, 3, 31), 72)
    check_zone("America/New_York", "week-hour", d(2024, 3, 10), 48)
    check_zone("Australia/Sydney", "month-hour", d(2017, 10, 1), 48)
    # The hour repeated in autumn, from instants given in UTC: one period per reading.
    check_zone("Europe/London", "none", d(2024, 10, 26, 23), 4, utc_rows=True)
    check_zone("Europe/London", "hour", d(2024, 10, 26, 23), 4, utc_rows=True)


# Ordinary values, pairs of huge ones that cancel, subnormals and powers of two.
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


# The nearest double to the rational `fr`, an infinity past the largest.
def rounded(fr):
    try:
        return float(fr)
    except OverflowError:
        return float("inf") if fr > 0 else float("-inf")


def check_sums():
    rng = random.Random(20261207)
    cases = [
        ("two up, three down", [[1e308, 1e308, -1e308, -1e308, -1e308]]),
        ("partial sums overflow both ways", [[1e308] * 2000 + [-1e308] * 4000]),
        ("cancellation", [[1e20, 3.25, -1e20, 0.1, 1e-310, -1e-310, 2.0 ** -1074],
                          [1, 1e100, 1, -1e100]]),
        # Values 2^64 times the first: their sum outgrows 127 bits, and may come back.
        ("128 bits overflow", [[1.0] + [1.5 * 2.0 ** 56] * 1500,
                               [1.0] + [1.5 * 2.0 ** 56] * 1500 + [-1.5 * 2.0 ** 56] * 1500]),
        ("mixed magnitudes", [random_values(rng, 150) for _ in range(3)]),
    ]
    for name, per_key in cases:
        write("sums.csv", "".join(f"2024-01-01 00:00,k{k},{v!r}\n" for k, values in
                                  enumerate(per_key) for v in values))
        expected = []
        for k, values in enumerate(per_key):
            exact = sum(Fraction(v) for v in values)
            expected.append(["2024-01-01 00:00:00", f"k{k}", str(len(values))] + [
                "%.15g" % x for x in (rounded(exact), min(values), max(values),
                                      rounded(exact / len(values)))])
        overflows = any(row[3].endswith("inf") for row in expected)
        # Chunks of one row each, of a few rows and the default, on one thread and three.
        for chunk, jobs in ((None, "1"), ("1", "3"), ("97", "3")):
            r = agg(["-j", jobs, "-k", "2", "-p", "day", "sums.csv"],
                    env={"QELKIT_AGG_CHUNK_SIZE": chunk} if chunk else None)
            what = f"sums, {name}, chunk {chunk}, -j {jobs}"
            check(rows_of(r) == expected, f"{what}: {rows_of(r)} != {expected}")
            check((b"overflowed to infinity" in r.stderr) == overflows,
                  f"{what}: overflow reported wrongly: {r.stderr}")


if __name__ == "__main__":
    sys.exit(run_all(check_daylight_saving, check_sums))
