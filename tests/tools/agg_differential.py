#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
# qelkit-agg against an independent reference, on seeded random files.
#
# The generator writes one to three files with random quoting, empty fields, odd keys
# (delimiters, quotes, line breaks, tabs, backslashes, UTF-8), CRLF and LF lines, blank lines,
# NUL bytes, a BOM, rows with too few fields, bad times, bad numbers and --null texts, some of
# them gzip-compressed in two members with zero padding after them. Each seed also draws columns
# by header name or number, an -a list (every aggregate and percentiles with fractions over the
# seeds), a zone by --tz or TZ, with or without --dst (or NQ_ENABLE_DST_RULES) and readings
# around daylight-saving changes, --from and --to, tsv, csv or jsonl, -o, every period
# (week-hour, month-hour and all hours too, free lengths and quarters), --fill, --time-format
# (epochs around 1970 too, or patterns), fractions of up to 9 digits ordering first and last, and
# the spellings of the options and where the file names stand. Some seeds draw values that are
# huge (sums that overflow, partial sums that overflow and cancel), subnormal or far apart, with
# the aggregates that stay exact. The reference reads the files with Python's csv module, times
# with regular expressions, the calendar with datetime and the zones with zoneinfo, steps filled
# periods by calendar arithmetic, and computes each statistic on its own: sums and means exactly
# with fractions.Fraction, correctly rounded, variances with fractions.Fraction, percentiles by
# interpolating between the closest ranks. One of the files is given as a named file, a pipe, a
# file redirected to standard input, a FIFO, or a named file with standard input, output or
# error closed, with random --jobs and small chunks (so chunk boundaries fall inside quoted
# fields; an oversized one is ignored), and the run must agree on every group, every --rows
# line, every reported FILE:LINE, the summary counts and whether a sum overflowed.
#
# Usage: agg_differential.py QELKIT_AGG [SEEDS]   (TZ=UTC)
import csv
import datetime as dt
import gzip
import io
import json
import math
import os
import pathlib
import random
import re
import subprocess
import sys
import tempfile
import zoneinfo
from fractions import Fraction

AGG = sys.argv[1]
SEEDS = int(sys.argv[2]) if len(sys.argv) > 2 else 60

ODD_KEYS = ["", "a", "b", "a,b", 'q"uote', "line\nbreak", "tab\there", "back\\slash", "ünï",
            " spaced ", "semi;colon", "cr\r\nlf", "x" * 90, "\\t", "ctl\x01"]
BAD_TIMES = ["", "garbage", "2026-02-30 10:00:00", "2026-03-02 25:00:00", "14.05",
             "2026-03-02 10", "x026-03-02", "2026-13-01", "2:05 PM", "2026-03-02T10:00+5",
             "31/4/2026 1:0:0", "Jan 1 2026 0:0:0.1 am", "26%13%1 1:0:0,5Z", "-2026-01-01",
             "2026-03-02 24:00", "202-03-02", "2026-03-02T14:05+5:00", "2026-03-02 10:00:5",
             "2026-03-02Z", "3/2/26", "2026-03-02T14:05+05:"]
BAD_EPOCHS = ["", "garbage", "1e5", "+5", "1.", ".5", "0x10", "- 5", "nan", "1,5", "5 5"]
OFFSETS = {"Z": 0, "+05:30": 330, "-08:00": -480, "-0800": -480, "+0100": 60, "+01": 60,
           "-00:01": -1, "+23:00": 1380}
BAD_NUMBERS = ["abc", "nan", "inf", "1.5x", "--1", "1e400"]
NULLS = ["NA", "-", "null"]  # missing where given to --null, else bad numbers
# Readings New York, London and Sydney skip (spring: the first days of a week and of a month)
# and repeat (autumn), and the hours after a skip; the days the files are drawn around (and 1970
# for epochs).
DST_TIMES = ["2026-03-08 02:30:00", "2026-03-08 03:30:00", "2026-11-01 01:30:00",
             "2026-11-01 01:59:59", "2026-03-29 01:30:00", "2026-03-29 02:30:00",
             "2026-10-25 01:30:00", "2017-10-01 02:30:00", "2017-10-01 03:30:00"]
BASES = [(2026, m, d) for m, d in ((1, 1), (1, 20), (3, 1), (3, 8), (10, 20), (11, 1))]
# Zones with their rules, and a day each skips an hour on: Sundays in New York and London, the
# first of a month in Sydney.
DST_DAYS = {"America/New_York --dst": (2026, 3, 8), "Europe/London --dst": (2026, 3, 29),
            "Australia/Sydney --dst": (2017, 10, 1)}
# Lengths in wall-clock seconds, None for calendar periods; some lengths do not divide a day.
PERIODS = {"minute": 60, "15 minute": 900, "hour": 3600, "day": None, "week": None,
           "month": None, "year": None, "none": None, "quarter": None, "90 second": 90,
           "7 minute": 420, "20 minute": 1200, "5 hour": 18000, "2 day": 172800,
           "week-hour": None, "month-hour": None, "all hours": None}
UNFILLED = ("none", "week-hour", "month-hour", "all hours")  # periods --fill refuses
EPOCH_UNITS = {"epoch": 1, "epoch-ms": 1000, "epoch-us": 10 ** 6}
FORMATS = [None, None, *EPOCH_UNITS, "%d/%m/%Y %H:%M:%S", "%b %e %Y %I:%M:%S.%f %p",
           "%y%%%m%%%d %H:%M:%S,%f%z"]
EPOCH, SECOND = dt.datetime(1970, 1, 1, tzinfo=dt.timezone.utc), dt.timedelta(seconds=1)
CALENDAR_DAYS = {"day": 1, "week": 7, "month": 30, "quarter": 91, "year": 364}  # roughly
DAYS = {"Monday": 1, "Friday": 5, "Saturday": 6, "Sunday": 7}
AGGREGATES = ["count", "n", "sum", "min", "max", "mean", "median", "stddev", "var", "first",
              "last", "p0", "p100", "p95", "p99.9", "p12.5", "p50"]
DEFAULT_AGGREGATES = ["count", "sum", "min", "max", "mean"]
EXACT = ["count", "n", "sum", "min", "max", "mean", "first", "last"]  # exact on any value
ZONES = [None, "UTC", "Asia/Kolkata", "America/New_York", *DST_DAYS]
COLUMNS = ["time", "k1", "k2", "v1", "v2"]
WIDE = [1.5e308, 1.25e308, 2.0 ** 80, 2.0 ** 70, 2.0 ** -60, 3e-320]
FORMATS_OUT = ["tsv", "csv", "jsonl"]  # tsv also by default
TSV_ESCAPES = {"t": "\t", "n": "\n", "r": "\r"}

TIME_RE = re.compile(r"^[ \t]*(?:(?P<Y>\d{4})|(?P<y>\d{2}))(?P<s>[-/])(?P<m>\d{1,2})(?P=s)"
                     r"(?P<d>\d{1,2})(?:[ Tt](?P<H>\d{1,2}):(?P<M>\d{2})(?::(?P<S>\d{2})"
                     r"(?:[.,](?P<f>\d{1,9}))?)?(?P<z>Z|z|[+-]\d{2}(?::?\d{2})?)?)?[ \t]*$")
# What each directive of a --time-format pattern reads (%I only 1 to 12); the others read 1 or
# 2 digits.
PATTERN_PARTS = {"Y": r"(?P<Y>\d{4})", "y": r"(?P<y>\d{2})", "e": r" ?(?P<d>\d{1,2})", "%": "%",
                 "I": r"(?P<I>1[0-2]|0?[1-9])", "f": r"(?P<f>\d{1,9})", "p": r"(?P<p>[AaPp][Mm])",
                 "b": r"(?P<b>[A-Za-z]{3})", "z": r"(?P<z>[Zz]|[+-]\d{2}(?::?\d{2})?)"}
NUMBER_RE = re.compile(r"^[ \t]*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?[ \t]*$")


def random_time(rng, t, fmt, tz):
    # A text of the reading `t` in `tz` (an instant in UTC for epochs) in the default layouts or
    # in `fmt`, fractions of 1 to 9 digits; with an offset, the same instant at that offset.
    fraction = ("%09d" % rng.randrange(10 ** 9))[:rng.randrange(1, 10)]
    zone = rng.choice(sorted(OFFSETS))
    shifted = t.replace(tzinfo=tz).astimezone(dt.timezone(dt.timedelta(minutes=OFFSETS[zone])))
    if fmt in EPOCH_UNITS:  # to the nanosecond, then cut short
        digits = 10 - len(str(EPOCH_UNITS[fmt]))
        ns = (t - EPOCH.replace(tzinfo=None)) // SECOND * 10 ** 9 + rng.randrange(10 ** 9)
        whole, part = divmod(abs(ns), 10 ** digits)
        text = "-" * (ns < 0) + "%d.%0*d" % (whole, digits, part)
        return text[:len(text) - rng.randrange(digits + 1)].rstrip(".")
    if fmt:  # on some rows one-digit fields and letters in the other case
        t = shifted if "%z" in fmt else t
        text = t.strftime(fmt.replace("%f", fraction).replace("%z", zone))
        text = re.sub(r"(?<![\d.+-])0(?=\d)", "", text) if rng.random() < 0.5 else text
        return text.swapcase() if rng.random() < 0.3 else text
    if rng.random() < 1 / 6:
        return shifted.strftime("%Y-%m-%dT%H:%M:%S") + zone
    text = t.strftime(rng.choice(["%Y-%m-%d", "%Y-%m-%dT%H:%M", "%Y/%m/%d %H:%M:%S." + fraction,
                                  "%y-%m-%dt%H:%M:%S", "%Y-%m-%d %H:%M:%S"]))
    # On some rows one-digit months, days and hours, and blanks around.
    text = re.sub(r"(?<=[-/ Tt])0(?=\d)", "", text) if rng.random() < 0.3 else text
    return f" {text} " if rng.random() < 0.1 else text


def field_text(value, delimiter, rng):
    if any(c in value for c in (delimiter, '"', "\n", "\r")) or rng.random() < 0.2:
        return '"' + value.replace('"', '""') + '"'
    return value


def random_value(rng, near, wide):
    # A value text; with `near`, numbers close to it (a variance far below the mean); with
    # `wide`, often one of a few huge, far apart or subnormal ones, which overflow and cancel.
    return (repr(rng.choice((1, -1)) * rng.choice(WIDE)) if wide and rng.random() < 0.5 else
            rng.choice(BAD_NUMBERS) if rng.random() < 0.03 else
            "" if rng.random() < 0.05 else rng.choice(NULLS) if rng.random() < 0.05 else
            "%.6f" % (near + rng.uniform(-1, 1)) if near else
            repr(rng.uniform(-1, 1) * 10 ** rng.randrange(-30, 30)) if rng.random() < 0.1 else
            rng.choice(["%d", "%.2f", "%.3e", " %g "]) % rng.uniform(-1e4, 1e4))


def generate_file(rng, delimiter, header, order, time_text, lines, near, wide):
    # The bytes of one file with the columns in `order`.
    out = []
    if header:
        out.append(delimiter.join(field_text("col " + n, delimiter, rng) for n in order) + "\n")
    for _ in range(lines):
        ending = rng.choice(["\n", "\r\n"])
        if rng.random() < 0.05:
            out.append(ending)
            continue
        values = {"time": time_text(),
                  "k1": rng.choice(ODD_KEYS[:4]), "k2": rng.choice(ODD_KEYS[:2 if wide else 99]),
                  "v1": random_value(rng, 0, wide), "v2": random_value(rng, near, False)}
        fields = [field_text(values[n], delimiter, rng) for n in order]
        if rng.random() < 0.04:
            fields = fields[:rng.randrange(len(fields))]
        elif rng.random() < 0.04:
            fields.append("extra")
        line = delimiter.join(fields)
        if rng.random() < 0.03:
            at = rng.randrange(len(line) + 1)
            line = line[:at] + "\0" + line[at:]
        out.append(line + ending)
    if out and rng.random() < 0.3:
        out[-1] = out[-1].rstrip("\r\n")  # no line end after the last row
    data = "".join(out).encode("utf-8")
    return b"\xef\xbb\xbf" + data if rng.random() < 0.3 else data


def generate(rng, seed):
    # Returns the bytes of each file and the options that read them.
    delimiter = rng.choice([",", ";", "\t"])
    header = rng.random() < 0.5
    mode = rng.randrange(3) if header else 0  # columns by number, by name or a mix
    by_name = {n: mode == 2 or mode == 1 and rng.random() < 0.5 for n in COLUMNS}
    period = sorted(PERIODS)[seed % len(PERIODS)]  # every period over the seeds
    fmt, zone, wide = rng.choice(FORMATS), rng.choice(ZONES), seed % 4 == 3
    on_dst_day = seed % 3 == 1 or period.endswith("-hour")  # files from a day that skips an hour
    if on_dst_day:  # in that zone with its rules, or on some seeds at today's offset
        zone = "Australia/Sydney --dst" if period == "month-hour" else rng.choice(sorted(DST_DAYS))
        day = DST_DAYS[zone]
        zone = zone.split()[0] if not period.endswith("-hour") and rng.random() < 0.4 else zone
    tz = working_zone(zone)
    fill = period not in UNFILLED and seed // len(PERIODS) % 3 == 0
    # With --fill, a span of some 25 periods (dates alone may lie a day before), so that the
    # empty ones stay few; epochs lie around 0.
    length = PERIODS[period] or 86400 * CALENDAR_DAYS.get(period, 1)
    span = SECOND * (min(25 * length, 1200 * 86400) if fill else 40 * 86400)
    start = (day if on_dst_day else
             rng.choice(BASES + [(1970, 1, 1)] * len(BASES) * (fmt in EPOCH_UNITS)))
    base = dt.datetime(*start) - span / 2 * (start[0] == 1970)
    walls = [base + SECOND * rng.randrange(span // SECOND)  # few with wide values: big groups
             for _ in range(rng.randrange(1, 5 if wide else 30))]
    walls += [w for w in map(dt.datetime.fromisoformat, DST_TIMES) if base <= w < base + span]
    bad = BAD_EPOCHS if fmt in EPOCH_UNITS else BAD_TIMES

    def time_text():
        wall = rng.choice(walls)
        return rng.choice(bad) if rng.random() < 0.05 else random_time(rng, wall, fmt, tz)
    order = rng.sample(COLUMNS, 5)
    count = rng.choice([1, 1, 2, 3])
    # By name alone the columns may stand in another order in each file.
    orders = [rng.sample(COLUMNS, 5) if all(by_name.values()) else order for _ in range(count)]
    lines = rng.randrange(20, 300) // count
    near = rng.choice([0, 0, 1e9])
    files = [generate_file(rng, delimiter, header, o, time_text, lines, near, wide)
             for o in orders]
    pool = EXACT if wide else AGGREGATES
    first = "sum" if wide else AGGREGATES[seed % len(AGGREGATES)]  # every one over the seeds
    aggregates = rng.sample([a for a in pool if a != first], rng.randrange(7))
    aggregates.insert(rng.randrange(len(aggregates) + 1), first)
    options = {"delimiter": delimiter, "header": header, "by_name": by_name, "orders": orders,
        "period": period, "day": rng.choice(sorted(DAYS)), "time_format": fmt, "fill": fill,
        "nulls": rng.sample(NULLS, rng.randrange(3)),
        "aggregates": None if rng.random() < 0.15 else aggregates,
        "zone": zone, "zone_by_env": rng.random() < 0.3, "format": rng.choice(FORMATS_OUT),
        "output": rng.choice([None, None, "out.csv", "out.gz"])}
    for end in ("from", "to"):
        text = (not on_dst_day and rng.random() < 0.25 and
                random_time(rng, rng.choice(walls), None, tz).split(".")[0])
        instant = text and parse_time(text, tz)
        options[end] = (text, instant[0]) if instant else None  # never a skipped reading
    return files, options


def working_zone(zone):
    # The zone of --tz (TZ=UTC without it): with --dst its rules, else today's offset.
    name, _, dst = (zone or "UTC").partition(" ")
    rules = zoneinfo.ZoneInfo(name)
    return rules if dst else dt.timezone(dt.datetime.now(rules).utcoffset())


def arguments(o, rng):
    # The options of `o`, each in a random spelling: -dX, -d X, --delimiter=X, --delimiter X,
    # the long ones also by a unique beginning; a tab as itself, \t or tab.
    def column(n):
        return "col " + n if o["by_name"][n] else str(o["orders"][0].index(n) + 1)

    def option(name, value):
        long = name[:rng.randrange(3, len(name) + 1)] if name != "time" else name
        return rng.choice([[f"--{long}={value}"], ["--" + long, value], [f"-{name[0]}{value}"],
                           ["-" + name[0], value]])
    tab = rng.choice(["\t", "tab", "\\t"])
    args = [*option("delimiter", tab if o["delimiter"] == "\t" else o["delimiter"]),
            *option("time", column("time")), *option("keys", f"{column('k1')},{column('k2')}"),
            *option("values", f"{column('v1')},{column('v2')}"), *option("period", o["period"])]
    args += ["--week-start", o["day"]] + ["--header"] * o["header"]
    args += [f"--null={t}" for t in o["nulls"]]
    args += option("aggregates", ",".join(o["aggregates"])) if o["aggregates"] else []
    if o["zone"] and not o["zone_by_env"]:
        name, _, dst = o["zone"].partition(" ")
        args += ["--tz", name] + (["--dst"] if dst else [])
    for end in ("from", "to"):
        args += [f"--{end}", o[end][0]] if o[end] else []
    args += ["--time-format", o["time_format"]] if o["time_format"] else []
    return args


def period_start(wall, period, sow):
    # The start of the period holding `wall` (a wall reading as if in UTC).
    seconds = PERIODS[period]
    if seconds:  # whole lengths since 1970-01-01 00:00 of the wall clock
        return EPOCH + (wall - EPOCH) // SECOND // seconds * seconds * SECOND
    if period in ("none", "all hours"):
        return wall if period == "none" else EPOCH
    day = wall.date()
    if period == "day":
        start = day
    elif period in ("month", "quarter", "month-hour"):
        start = day.replace(month=day.month - (day.month - 1) % (3 if period[0] == "q" else 1),
                            day=1)
    else:
        week = day - dt.timedelta(days=(day.isoweekday() - sow) % 7)
        start = week
        if period == "year":
            year = (week + dt.timedelta(days=(4 - sow) % 7)).year  # the week's Thursday
            jan1 = dt.date(year, 1, 1)
            thursday = jan1 + dt.timedelta(days=(4 - jan1.isoweekday()) % 7)
            start = thursday - dt.timedelta(days=(4 - sow) % 7)
    hour = wall.hour if period.endswith("-hour") else 0  # week-hour and month-hour
    return dt.datetime(start.year, start.month, start.day, hour, tzinfo=dt.timezone.utc)


def next_start(start, period, sow):
    # The start of the period after the one starting at `start`, by calendar arithmetic.
    if PERIODS[period] or period in ("day", "week"):  # wall readings: a day is 86400 s
        return start + SECOND * (PERIODS[period] or 86400 * CALENDAR_DAYS[period])
    if period in ("month", "quarter"):  # a day into the next one, then back to its first
        return (start + dt.timedelta(days=31 if period == "month" else 92)).replace(day=1)
    after = start + dt.timedelta(weeks=52)  # a year has 52 or 53 weeks
    return after if period_start(after, period, sow) > start else after + dt.timedelta(weeks=1)


def parse_time(text, tz, fmt=None):
    # (instant to the second, nanoseconds) of a time text, by the --time-format `fmt` if any, read
    # in `tz` without an offset; None for a text that does not parse or a reading the clocks skip.
    if fmt in EPOCH_UNITS:
        m = re.match(r"^[ \t]*(-?\d+(?:\.\d+)?)[ \t]*$", text)
        ns = m and math.floor(Fraction(m[1]) * 10 ** 9 / EPOCH_UNITS[fmt])
        return m and (EPOCH + dt.timedelta(seconds=ns // 10 ** 9), ns % 10 ** 9)
    fmt = fmt and re.sub(r"%(.)|(.)", lambda m: m[2] and re.escape(m[2]) or PATTERN_PARTS.get(
        m[1], rf"(?P<{m[1]}>\d{{1,2}})"), fmt)
    m = re.match(rf"^[ \t]*{fmt}[ \t]*$" if fmt else TIME_RE, text)
    if not m:
        return None
    g = dict.fromkeys("YymbdHIpMSfz") | m.groupdict()
    try:
        year = int(g["Y"] or (1900 if int(g["y"]) >= 69 else 2000) + int(g["y"]))
        # 12 AM is midnight; %b by the C locale's month names, in any case.
        hour = int(g["I"]) % 12 + 12 * (g["p"].upper() == "PM") if g["I"] else int(g["H"] or 0)
        month = int(g["m"] or dt.datetime.strptime(g["b"], "%b").month)
        t = dt.datetime(year, month, int(g["d"]), hour, int(g["M"] or 0), int(g["S"] or 0))
    except ValueError:
        return None
    nanos, zone = int((g["f"] or "").ljust(9, "0")), g["z"]
    if not zone:  # a repeated reading is its first instant (fold 0)
        return (t.replace(tzinfo=tz), nanos) if exists(t, tz) else None
    digits = zone[1:].replace(":", "")
    offset = dt.timedelta(hours=int(digits[:2] or 0), minutes=int(digits[2:] or 0))
    return (t - (offset if zone[0] == "+" else -offset)).replace(tzinfo=dt.timezone.utc), nanos


def exists(wall, tz):
    # Whether the zone `tz` has the wall reading `wall` (not in a gap of --dst).
    local = wall.replace(tzinfo=tz)
    return local.astimezone(dt.timezone.utc).astimezone(tz) == local


def statistic(name, present):
    # One aggregate of the (instant, value) pairs `present`, in input order: the exact text,
    # (value, allowed error), or None for an empty field.
    xs = [x for _, x in present]
    n = len(xs)
    if name == "n":
        return str(n)
    if n < (2 if name in ("stddev", "var") else 1):
        return None
    if name in ("sum", "mean"):  # the exact value, correctly rounded (past the largest: inf)
        exact = sum(map(Fraction, xs)) / (n if name == "mean" else 1)
        try:
            return "%.15g" % float(exact)
        except OverflowError:
            return "inf" if exact > 0 else "-inf"
    if name in ("stddev", "var"):
        mean = sum(map(Fraction, xs)) / n
        var = sum((Fraction(x) - mean) ** 2 for x in xs) / (n - 1)
        value = float(var) if name == "var" else math.sqrt(var)
        # The library's sums hold the variance to about 2^-100 of the squared mean: where the
        # mean dwarfs the spread, that is more than 1e-9 of the value.
        slack = 2.0 ** -96 * float(mean) ** 2
        return value, 1e-9 * value + (slack if name == "var" else math.sqrt(var + slack) - value)
    if name == "median" or name[0] == "p":
        ordered = sorted(xs)
        at = Fraction(50 if name == "median" else name[1:]) / 100 * (n - 1)
        lo, hi = ordered[math.floor(at)], ordered[math.ceil(at)]
        value = Fraction(lo) + (Fraction(hi) - Fraction(lo)) * (at - math.floor(at))
        return float(value), 1e-9 * max(abs(lo), abs(hi))
    by_time = sorted(range(n), key=lambda i: present[i][0])  # equal instants in input order
    pick = {"min": min(xs), "max": max(xs), "first": xs[by_time[0]], "last": xs[by_time[-1]]}
    return "%.15g" % pick[name]


def reference(files, o, tz):
    # Expected (header, groups, rows lines, bad (file, line), counts: rows, bad, filtered,
    # blank lines, the instants grouped).
    aggregates = o["aggregates"] or DEFAULT_AGGREGATES
    groups, grouped, bad, rows, filtered, blank = {}, [], [], 0, 0, 0
    for f, (data, order) in enumerate(zip(files, o["orders"])):
        # Lines end at "\n" alone: a "\r" elsewhere is part of a field.
        text = io.StringIO(data.decode("utf-8-sig"), newline="\n")
        reader = csv.reader(text, delimiter=o["delimiter"])
        at = {n: order.index(n) for n in COLUMNS}
        header_pending = o["header"]
        last_line = 0
        for record in reader:
            line, last_line = last_line + 1, reader.line_num
            if not record:
                blank += 1
                continue
            if header_pending:
                header_pending = False
                continue
            rows += 1
            whole = len(record) >= 5 and "\0" not in "".join(record)
            instant = whole and parse_time(record[at["time"]], tz, o["time_format"])
            if not instant:
                bad.append((f, line))
                continue
            if o["from"] and instant[0] < o["from"][1] or o["to"] and instant[0] >= o["to"][1]:
                filtered += 1
                continue
            numbers = [record[at[v]] for v in ("v1", "v2")]
            missing = [n == "" or n in o["nulls"] for n in numbers]
            if not all(m or NUMBER_RE.match(n) and math.isfinite(float(n))
                       for n, m in zip(numbers, missing)):
                bad.append((f, line))
                continue
            # The period goes by the wall-clock reading in the working zone.
            wall = instant[0].astimezone(tz).replace(tzinfo=dt.timezone.utc)
            start = period_start(wall, o["period"], DAYS[o["day"]])
            label = start.strftime("%Y-%m-%d %H:%M:%S")
            key = tuple(record[at[k]] for k in ("k1", "k2"))
            grouped.append([str(line), label, *key])
            groups.setdefault((start, key), []).append(
                (instant, [None if m else float(n) for n, m in zip(numbers, missing)]))
    for key in {k for _, k in groups} if o["fill"] else ():  # empty periods between
        periods = sorted(s for s, k in groups if k == key)
        for start, end in zip(periods, periods[1:]):
            while (start := next_start(start, o["period"], DAYS[o["day"]])) < end:
                after = next_start(start, o["period"], DAYS[o["day"]])
                if exists(start, tz) or exists(after - SECOND, tz):  # not all in a gap
                    groups[(start, key)] = []
    table = []
    for (start, key), members in sorted(groups.items()):
        row = [start.strftime("%Y-%m-%d %H:%M:%S"), *key]
        row += [str(len(members))] if "count" in aggregates else []
        for c in range(2):
            present = [(t, x[c]) for t, x in members if x[c] is not None]  # empty: missing
            row += [statistic(a, present) for a in aggregates if a != "count"]
        table.append(row)

    def name(n):
        return "col " + n if o["header"] else f"c{o['orders'][0].index(n) + 1}"
    header = ["period", name("k1"), name("k2")] + (["count"] if "count" in aggregates else [])
    header += [f"{a}_{name(v)}" for v in ("v1", "v2") for a in aggregates if a != "count"]
    times = [t for members in groups.values() for (t, _), _ in members]
    return header, table, grouped, bad, (rows, len(bad), filtered, blank), times


def offset_note(times, zone):
    # The note on a zone read at today's offset (no --dst) that has another one at some instant
    # between the first and the last grouped, shown in the zone's own time; else None.
    name, _, dst = (zone or "UTC").partition(" ")
    rules = zoneinfo.ZoneInfo(name)
    today = dt.datetime.now(rules).utcoffset()
    days = [min(times) + dt.timedelta(days=d) for d in
            range((max(times) - min(times)).days + 1)] + [max(times)] if times else []
    if dst or all(t.astimezone(rules).utcoffset() == today for t in days):
        return None
    shown = [f"{t.astimezone(rules):%Y-%m-%d %H:%M:%S}" for t in (min(times), max(times))]
    minutes = int(today.total_seconds()) // 60
    return (f"note: the zone's offset changes between {shown[0]} and {shown[1]}; without --dst "
            f"every time is read at today's offset, UTC{'-+'[minutes >= 0]}"
            f"{abs(minutes) // 60:02d}:{abs(minutes) % 60:02d}")


PATHS = ["file", "pipe", "redirect", "fifo", "0 closed", "1 closed", "2 closed"]


def run(rng, args, files, primary, path, env, output):
    # Runs qelkit-agg on `files`, all named files but the one at `primary`, which `path` gives:
    # a named file, a pipe, a file redirected to standard input, a FIFO, or a named file with
    # descriptor 0, 1 or 2 closed (with 1 closed the output goes to a --gzip file). With `output`
    # the result goes to that -o file. Returns (status, output, messages or None, input names).
    with tempfile.TemporaryDirectory() as workdir:
        names = [os.path.join(workdir, f"in{i}") for i in range(len(files))]
        for name, data in zip(names, files):
            pathlib.Path(name).write_bytes(data)
        name = names[primary]
        if path in ("pipe", "redirect"):
            names[primary] = "-"
        elif path == "fifo":
            names[primary] = os.path.join(workdir, "fifo")
            os.mkfifo(names[primary])
        output = "out.gz" if path == "1 closed" else output
        target = os.path.join(workdir, output or "")
        args = args + ([("--gzip" if path == "1 closed" else "-o"), target] if output else [])
        # File names after the options, before them or after "--".
        command = [AGG, *rng.choice([args + names, names + args, args + ["--"] + names])]
        closing = {"0 closed": "0<&-", "1 closed": "1>&-", "2 closed": "2>&-"}.get(path)
        command = ["sh", "-c", f'exec "$0" "$@" {closing}', *command] if closing else command
        writer = path == "fifo" and subprocess.Popen(["sh", "-c", 'cat "$0" > "$1"', name,
                                                      names[primary]])
        with open(name, "rb") as source:
            r = subprocess.run(command, input=files[primary] if path == "pipe" else None,
                               stdin=source if path == "redirect" else None,
                               capture_output=True, env=env)
        if writer:  # one the tool never opened for reading would wait for a reader forever
            writer.kill()
            writer.wait()
        out = r.stdout
        if output:
            out = pathlib.Path(target).read_bytes() if os.path.exists(target) else b""
            out = gzip.decompress(out) if out and target.endswith(".gz") else out
        return r.returncode, out, None if path == "2 closed" else r.stderr, names


def parse_output(out, fmt, header):
    # The output lines as lists of fields; JSON lines as their values, numbers as written and
    # null as an empty field, behind a header of their keys.
    text = out.decode("utf-8")
    if fmt == "tsv":
        def unescape(field):
            return re.sub(r"\\(.)", lambda m: TSV_ESCAPES.get(m[1], m[1]), field)
        return [[unescape(f) for f in line.split("\t")] for line in text.split("\n")[:-1]]
    if fmt == "csv":
        return list(csv.reader(io.StringIO(text, newline="")))
    objects = [json.loads(line, parse_float=str, parse_int=str) for line in text.splitlines()]
    keys = {tuple(obj) for obj in objects} or {tuple(header)}
    return [list(keys.pop()) if len(keys) == 1 else ["keys differ"]] + [
        ["" if v is None else v for v in obj.values()] for obj in objects]


def check(seed):
    rng = random.Random(seed)
    files, o = generate(rng, seed)
    header, table, grouped, bad, counts, times = reference(files, o, working_zone(o["zone"]))
    note = offset_note(times, o["zone"])
    rows = counts[0]
    args = arguments(o, rng)
    # Some files gzip-compressed, in two members (a row may be cut between them) and with zero
    # padding after the last, as gzip -d reads them.
    cut = [rng.randrange(len(f) + 1) for f in files]
    files = [gzip.compress(f[:c]) + gzip.compress(f[c:]) + b"\0" * rng.randrange(99)
             if rng.random() < 0.3 else f for f, c in zip(files, cut)]
    primary = rng.randrange(len(files))
    problems = []

    def expect(ok, text):  # `where` names the run
        problems.extend([] if ok else [f"{where}: {text}"])
    # Every path prints the aggregation; --rows is checked on the file and one other path.
    other = rng.choice(PATHS[1:])
    name, _, dst = (o["zone"] or "").partition(" ")
    zone_env = ({"TZ": name} | ({"NQ_ENABLE_DST_RULES": "1"} if dst else {})
                if o["zone_by_env"] and name else {})
    overflow = any(v in ("inf", "-inf") for row in table for v in row)
    for path in PATHS:
        env = dict(os.environ, QELKIT_AGG_CHUNK_SIZE=str(rng.choice([7, 64, 300, 4096, 10 ** 14])),
                   **zone_env)
        jobs = ["-j", str(rng.randrange(1, 4))]
        where = f"seed {seed} ({path}, {env['QELKIT_AGG_CHUNK_SIZE']})"
        for rows_mode in (False, True) if path in ("file", other) else (False,):
            fmt = "csv" if rows_mode and o["format"] == "jsonl" else o["format"]
            extra = ["--rows"] if rows_mode else ["--fill"] * o["fill"]
            extra += ["--format", fmt] if fmt != "tsv" or rng.random() < 0.5 else []
            status, out, err, names = run(rng, args + jobs + extra, files,
                                          primary, path, env, o["output"])
            err = err.decode("utf-8", "replace") if err is not None else None
            if rows == 0:
                expect(status == 2, f"no rows, exit {status}: {err}")
                continue
            expected_status = 1 if len(bad) == rows else 0
            expect(status == expected_status,
                   f"exit {status}, expected {expected_status}: {(err or '')[-300:]}")
            got = parse_output(out, fmt, header)
            expect(fmt != "jsonl" or not re.search(rb"\\u00(09|0a|0d)", out, re.I),  # \t, \n, \r
                   "a long escape for a tab or line end in JSON")
            if rows_mode:
                expect(got == grouped, "--rows differ")
            elif expected_status == 0:  # JSON has no infinity: null stands for it
                problems += compare_table(where, got, header, [
                    [None if fmt == "jsonl" and v in ("inf", "-inf") else v for v in row]
                    for row in table])
            if err is None:
                continue
            expect(rows_mode or "sum" not in (o["aggregates"] or DEFAULT_AGGREGATES) or
                   ("overflowed to infinity" in err) == overflow,
                   f"overflow reported wrongly: {err[-300:]}")
            reported = [(m[1], int(m[2])) for m in
                        re.finditer(r"^qelkit-agg: ([^\n]*?):(\d+): ", err, re.M)]
            expect(reported == [(names[f], line) for f, line in bad],
                   f"bad rows {reported[:6]}..., expected {bad[:6]}...")
            summary = re.search(r"(\d+) rows? read, (\d+) grouped, (\d+) skipped"
                                r"(?:, (\d+) filtered)?(?:, (\d+) blank lines?)?", err)
            want = (rows, rows - counts[1] - counts[2], *counts[1:])
            expect(summary and tuple(int(x or 0) for x in summary.groups()) == want,
                   f"summary {summary and summary[0]}, expected {want}")
            shown = re.search(r"^qelkit-agg: (note: .*)$", err, re.M)
            expect((shown and shown[1]) == note, f"{shown and shown[1]}, expected {note}")
    return problems


def compare_table(where, got, header, table):
    # Texts exactly (periods, keys, count, n, and min, max, first and last as printf's "%.15g"
    # writes them); the other figures within the error allowed.
    if not got or got[0] != header or len(got) - 1 != len(table):
        return [f"{where}: header {got[:1]} or {len(got) - 1} groups, expected {header} and "
                f"{len(table)}"]
    for g, t in zip(got[1:], table):
        for column, a, b in zip(header, g, t):
            if not (a == "" if b is None else a == b if isinstance(b, str) else
                    a != "" and abs(float(a) - b[0]) <= b[1] + 1e-300):
                return [f"{where}: {g[:3]}: {column} {a!r}, expected {b}"]
        if len(g) != len(t):
            return [f"{where}: {g[:3]}: {len(g)} fields, expected {len(t)}"]
    return []


def main():
    failures = [p for seed in range(SEEDS) for p in check(seed)]
    for f in failures[:20]:
        print("FAIL:", f)
    print(f"{SEEDS} seeds, {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
