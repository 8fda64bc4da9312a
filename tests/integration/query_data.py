#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The readings table of the query check (run.sh), and a reference aggregation of it.

  query_data.py table CSV TSV
      Writes the seeded table: CSV for the tool (header ts,site,station,temp,hum,wind; missing
      values empty or NA) and TSV for the engines (missing values \\N). Times are distinct,
      spread over 2023-12-30 to 2024-01-03 (a quarter turns), rows in shuffled order; wind is
      mostly missing, so some groups have no value or one.
  query_data.py agg FILE -t COL -k COL,.. -v COL,.. -a LIST -p PERIOD [--from T] [--to T]
      What `qelkit-agg --header --format csv --null NA` prints for the same options, computed
      independently: exact sums (fsum), exact variances (statistics), percentiles by linear
      interpolation between closest ranks. PERIOD: "N second|minute|hour|day", day or quarter.
  query_data.py rows FILE -k N -p PERIOD [--header]
      What `qelkit-agg --rows` prints (line, period start, key) for a free length or quarter:
      the grouping check uses it for a tool that prints those periods' SQL but not their rows.
"""
import argparse
import calendar
import csv
import math
import random
import statistics
import sys
import time

UNITS = {"second": 1, "minute": 60, "hour": 3600, "day": 86400}
MISSING = ("", "NA")


def write_table(csv_path, tsv_path):
    rng = random.Random(20240101)
    start = calendar.timegm((2023, 12, 30, 0, 0, 0))
    t, rows = start, []
    while len(rows) < 3000:
        t += rng.randint(1, 230)
        row = [rng.choice(["north", "South", "east"]), round(rng.uniform(-20, 40), 2),
               round(rng.uniform(0, 100), 1), round(rng.uniform(0, 30), 2)]
        row = [rng.choice(["a-site", "B-site"])] + row
        for i, chance in ((2, 0.05), (3, 0.1), (4, 0.93)):
            if rng.random() < chance:
                row[i] = rng.choice(MISSING)
        rows.append([time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(t))] + row)
    rng.shuffle(rows)
    with open(csv_path, "w", newline="") as out:
        out.write("ts,site,station,temp,hum,wind\n")
        for r in rows:
            out.write(",".join(map(str, r)) + "\n")
    with open(tsv_path, "w") as out:
        for r in rows:
            out.write("\t".join("\\N" if f in MISSING else str(f) for f in r) + "\n")


def period_of(period):
    """The function from wall-clock seconds to the period start."""
    if period == "quarter":
        def quarter(wall):
            tm = time.gmtime(wall)
            return calendar.timegm((tm.tm_year, tm.tm_mon - (tm.tm_mon - 1) % 3, 1, 0, 0, 0))
        return quarter
    n, unit = period.split() if " " in period else ("1", period)
    length = int(n) * UNITS[unit]
    return lambda wall: wall // length * length


def wall_of(text):
    return calendar.timegm(time.strptime(text, "%Y-%m-%d %H:%M:%S"))


def shown_time(wall):
    return time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(wall))


def percentile(values, percent):
    s = sorted(values)
    rank = percent / 100 * (len(s) - 1)
    low, high = math.floor(rank), math.ceil(rank)
    return s[low] + (rank - low) * (s[high] - s[low])


def aggregate(name, values):
    """values: (wall, input position, value) of the rows where the column is present."""
    xs = [v for _, _, v in values]
    if name == "n":
        return len(xs)
    if not xs or (name in ("stddev", "var") and len(xs) < 2):
        return ""
    if name in ("first", "last"):
        key = (lambda e: (e[0], e[1])) if name == "first" else (lambda e: (-e[0], -e[1]))
        return min(values, key=key)[2]
    return {
        "sum": lambda: math.fsum(xs), "min": lambda: min(xs), "max": lambda: max(xs),
        "mean": lambda: math.fsum(xs) / len(xs), "median": lambda: percentile(xs, 50),
        "stddev": lambda: statistics.stdev(xs), "var": lambda: statistics.variance(xs),
    }.get(name, lambda: percentile(xs, float(name[1:])))()


def shown(value):
    return repr(value) if isinstance(value, float) else str(value)


def reference_agg(a):
    start = period_of(a.p)
    keys, values, names = a.k.split(","), a.v.split(","), a.a.split(",")
    low = wall_of(a.from_) if a.from_ else -math.inf
    high = wall_of(a.to) if a.to else math.inf
    groups = {}
    with open(a.file, newline="") as f:
        for position, row in enumerate(csv.DictReader(f)):
            wall = wall_of(row[a.t])
            if not low <= wall < high:
                continue
            group = groups.setdefault((start(wall),) + tuple(row[k] for k in keys),
                                      [0] + [[] for _ in values])
            group[0] += 1
            for i, v in enumerate(values):
                if row[v] not in MISSING:
                    group[i + 1].append((wall, position, float(row[v])))
    out = csv.writer(sys.stdout, lineterminator="\n")
    out.writerow(["period"] + keys + (["count"] if "count" in names else []) +
                 [f"{n}_{v}" for v in values for n in names if n != "count"])
    for key in sorted(groups, key=lambda g: (g[0],) + tuple(k.encode() for k in g[1:])):
        group = groups[key]
        line = [shown_time(key[0])] + list(key[1:]) + ([group[0]] if "count" in names else [])
        for i in range(len(values)):
            line += [shown(aggregate(n, group[i + 1])) for n in names if n != "count"]
        out.writerow(line)


def reference_rows(a):
    start = period_of(a.p)
    with open(a.file, newline="") as f:
        for line, row in enumerate(csv.reader(f), 1):
            if not (a.header and line == 1):
                print(f"{line}\t{shown_time(start(wall_of(row[0])))}\t{row[int(a.k) - 1]}")


def main():
    if sys.argv[1] == "table":
        write_table(sys.argv[2], sys.argv[3])
        return
    p = argparse.ArgumentParser()
    p.add_argument("mode")
    p.add_argument("file")
    for option in ("-t", "-k", "-v", "-a", "-p"):
        p.add_argument(option)
    p.add_argument("--from", dest="from_")
    p.add_argument("--to")
    p.add_argument("--header", action="store_true")
    a = p.parse_args()
    (reference_agg if a.mode == "agg" else reference_rows)(a)


main()
