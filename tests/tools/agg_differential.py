#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""qelkit-agg against an independent reference, on seeded random files.

The generator writes files with random quoting, empty fields, odd keys (delimiters, quotes,
line breaks, tabs, backslashes, UTF-8), CRLF and LF lines, blank lines, NUL bytes, a BOM,
rows with too few fields, bad times and bad numbers. The reference reads them with Python's
csv module, checks the time layouts of the manual page with a regular expression and the
calendar with datetime, and groups with dict and math.fsum. Each file is run through
qelkit-agg as a named file, a pipe, a file redirected to standard input, a FIFO, and a named
file with standard input, output or error closed, with random --jobs and small chunks (so
chunk boundaries fall inside quoted fields), and must agree on every group, every --rows
line, every reported line number and the summary counts.

Usage: agg_differential.py QELKIT_AGG [SEEDS]   (TZ=UTC)
"""
import csv
import datetime as dt
import gzip
import io
import math
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

AGG = sys.argv[1]
SEEDS = int(sys.argv[2]) if len(sys.argv) > 2 else 60

ODD_KEYS = ["", "a", "b", "a,b", 'q"uote', "line\nbreak", "tab\there", "back\\slash", "ünï",
            " spaced ", "semi;colon", "cr\r\nlf", "x" * 90, "\\t"]
BAD_TIMES = ["", "garbage", "2026-02-30 10:00:00", "2026-03-02 25:00:00", "14.05",
             "2026-03-02 10", "x026-03-02", "2026-13-01", "2:05 PM", "2026-03-02T10:00+5"]
BAD_NUMBERS = ["abc", "nan", "inf", "1.5x", "--1", "1e400"]
PERIODS = {"minute": 60, "15 minute": 900, "hour": 3600, "day": None, "week": None,
           "month": None, "year": None, "none": None}
DAYS = {"Monday": 1, "Friday": 5, "Saturday": 6, "Sunday": 7}

TIME_RE = re.compile(r"^[ \t]*(\d{4}|\d{2})([-/])(\d{1,2})\2(\d{1,2})"
                     r"(?:[ Tt](\d{1,2}):(\d{2})(?::(\d{2})(?:[.,]\d{1,9})?)?"
                     r"(Z|z|[+-]\d{2}(?::?\d{2})?)?)?[ \t]*$")
NUMBER_RE = re.compile(r"^[ \t]*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?[ \t]*$")


def random_time(rng):
    t = dt.datetime(2026, 1, 1) + dt.timedelta(seconds=rng.randrange(0, 86400 * 40))
    form = rng.randrange(6)
    if form == 0:
        return t.strftime("%Y-%m-%d")
    if form == 1:
        return t.strftime("%Y-%m-%dT%H:%M")
    if form == 2:
        return t.strftime("%Y-%m-%d %H:%M:%S.") + str(rng.randrange(1000))
    if form == 3:
        return t.strftime("%Y-%m-%dT%H:%M:%S") + rng.choice(["Z", "+05:30", "-08:00", "+0100"])
    return t.strftime("%Y-%m-%d %H:%M:%S")


def field_text(value, delimiter, rng):
    if any(c in value for c in (delimiter, '"', "\n", "\r")) or rng.random() < 0.2:
        return '"' + value.replace('"', '""') + '"'
    return value


def generate(rng):
    """Returns the file bytes and the options that read it."""
    delimiter = rng.choice([",", ";", "\t"])
    order = ["time", "k1", "k2", "v1", "v2"]
    rng.shuffle(order)
    times = [random_time(rng) for _ in range(rng.randrange(1, 30))]
    out = []
    header = rng.random() < 0.5
    if header:
        out.append(delimiter.join(field_text("col " + n, delimiter, rng) for n in order) + "\n")
    for _ in range(rng.randrange(20, 300)):
        ending = rng.choice(["\n", "\r\n"])
        if rng.random() < 0.05:
            out.append(ending)
            continue
        values = {"time": rng.choice(BAD_TIMES) if rng.random() < 0.05 else rng.choice(times),
                  "k1": rng.choice(ODD_KEYS[:4]), "k2": rng.choice(ODD_KEYS)}
        for v in ("v1", "v2"):
            values[v] = (rng.choice(BAD_NUMBERS) if rng.random() < 0.03 else
                         repr(rng.uniform(-1, 1) * 10 ** rng.randrange(-30, 30))
                         if rng.random() < 0.1 else
                         "" if rng.random() < 0.05 else
                         rng.choice(["%d", "%.2f", "%.3e", " %g "]) % rng.uniform(-1e4, 1e4))
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
    if rng.random() < 0.3:
        data = b"\xef\xbb\xbf" + data
    period = rng.choice(sorted(PERIODS))
    day = rng.choice(sorted(DAYS))
    options = {"delimiter": delimiter, "header": header, "time": order.index("time") + 1,
        "keys": [order.index("k1") + 1, order.index("k2") + 1],
        "values": [order.index("v1") + 1, order.index("v2") + 1],
        "period": period, "day": day}
    return data, options


def period_start(instant, period, sow):
    seconds = PERIODS[period]
    if seconds:
        return instant - dt.timedelta(seconds=instant.timestamp() % seconds)
    if period == "none":
        return instant
    day = instant.date()
    if period == "day":
        start = day
    elif period == "month":
        start = day.replace(day=1)
    else:
        week = day - dt.timedelta(days=(day.isoweekday() - sow) % 7)
        start = week
        if period == "year":
            year = (week + dt.timedelta(days=(4 - sow) % 7)).year  # the week's Thursday
            jan1 = dt.date(year, 1, 1)
            thursday = jan1 + dt.timedelta(days=(4 - jan1.isoweekday()) % 7)
            start = thursday - dt.timedelta(days=(4 - sow) % 7)
    return dt.datetime(start.year, start.month, start.day, tzinfo=dt.timezone.utc)


def parse_time(text):
    m = TIME_RE.match(text)
    if not m:
        return None
    year = int(m[1]) if len(m[1]) == 4 else (1900 if int(m[1]) >= 69 else 2000) + int(m[1])
    try:
        t = dt.datetime(year, int(m[3]), int(m[4]), int(m[5] or 0), int(m[6] or 0),
                        int(m[7] or 0), tzinfo=dt.timezone.utc)
    except ValueError:
        return None
    zone = m[8]
    if zone and zone not in "Zz":
        digits = zone[1:].replace(":", "")
        offset = dt.timedelta(hours=int(digits[:2]), minutes=int(digits[2:] or 0))
        t -= offset if zone[0] == "+" else -offset
    return t


def reference(data, o):
    """Expected (groups, rows lines, bad line numbers, rows, blank lines)."""
    text = data.decode("utf-8")
    if text.startswith("\ufeff"):
        text = text[1:]
    lines = [line + "\n" for line in text.split("\n")]
    lines[-1] = lines[-1][:-1]
    if lines[-1] == "":
        lines.pop()
    reader = csv.reader(iter(lines), delimiter=o["delimiter"])
    needed = max([o["time"]] + o["keys"] + o["values"])
    groups, grouped, bad, rows, blank = {}, [], [], 0, 0
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
        instant = parse_time(record[o["time"] - 1]) if len(record) >= needed else None
        numbers = [record[v - 1] for v in o["values"]] if len(record) >= needed else []
        ok = (instant is not None and "\0" not in "".join(record) and
              all(n == "" or NUMBER_RE.match(n) and math.isfinite(float(n)) for n in numbers))
        if not ok:
            bad.append(line)
            continue
        start = period_start(instant, o["period"], DAYS[o["day"]])
        label = start.strftime("%Y-%m-%d %H:%M:%S")
        key = tuple(record[k - 1] for k in o["keys"])
        grouped.append([str(line), label, *key])
        groups.setdefault((start, key), []).append([float(n) if n else None for n in numbers])
    table = []
    for (start, key), values in sorted(groups.items()):
        row = [start.strftime("%Y-%m-%d %H:%M:%S"), *key, str(len(values))]
        for column in zip(*values):
            present = [x for x in column if x is not None]  # an empty value is missing
            total = math.fsum(present)
            row += [total, min(present), max(present), total / len(present)] if present else [None] * 4
        table.append(row)
    return table, grouped, bad, rows, blank


PATHS = ["file", "pipe", "redirect", "fifo", "0 closed", "1 closed", "2 closed"]


def run(args, data, path, env):
    """Runs qelkit-agg on `data` given by `path`: a named file, a pipe, a file redirected to
    standard input, a FIFO, or a named file with descriptor 0, 1 or 2 closed (with 1 closed
    the output goes to a --gzip file). Returns (status, output, messages or None)."""
    workdir = tempfile.mkdtemp()
    name = os.path.join(workdir, "in.csv")
    with open(name, "wb") as f:
        f.write(data)
    closing = {"0 closed": "0<&-", "1 closed": "1>&-", "2 closed": "2>&-"}.get(path)
    if path == "1 closed":
        args = args + ["--gzip", os.path.join(workdir, "out.gz")]
    try:
        if path == "pipe":
            r = subprocess.run([AGG, *args, "-"], input=data, capture_output=True, env=env)
        elif path == "redirect":
            with open(name, "rb") as source:
                r = subprocess.run([AGG, *args, "-"], stdin=source, capture_output=True, env=env)
        elif path == "fifo":
            fifo = os.path.join(workdir, "fifo")
            os.mkfifo(fifo)
            writer = subprocess.Popen(["sh", "-c", 'cat "$0" > "$1"', name, fifo])
            r = subprocess.run([AGG, *args, fifo], capture_output=True, env=env)
            writer.wait()
        elif closing:
            r = subprocess.run(["sh", "-c", f'exec "$0" "$@" {closing}', AGG, *args, name],
                               capture_output=True, env=env)
        else:
            r = subprocess.run([AGG, *args, name], capture_output=True, env=env)
        out = r.stdout
        if path == "1 closed":
            packed = os.path.join(workdir, "out.gz")
            out = gzip.decompress(open(packed, "rb").read()) if os.path.exists(packed) else b""
        return r.returncode, out, None if path == "2 closed" else r.stderr
    finally:
        shutil.rmtree(workdir)


def check(seed):
    rng = random.Random(seed)
    data, o = generate(rng)
    table, grouped, bad, rows, blank = reference(data, o)
    args = ["-d", o["delimiter"], "-t", str(o["time"]), "-k", ",".join(map(str, o["keys"])),
            "-v", ",".join(map(str, o["values"])), "-p", o["period"], "--week-start", o["day"],
            "--format", "csv"] + (["--header"] if o["header"] else [])
    problems = []
    # Every path prints the aggregation; --rows is checked on the file and one other path.
    other = rng.choice(PATHS[1:])
    for path in PATHS:
        env = dict(os.environ, QELKIT_AGG_CHUNK_SIZE=str(rng.choice([7, 64, 300, 4096])))
        jobs = ["-j", str(rng.randrange(1, 4))]
        where = f"seed {seed} ({path}, {env['QELKIT_AGG_CHUNK_SIZE']})"
        for rows_mode in (False, True) if path in ("file", other) else (False,):
            status, out, err = run(args + jobs + (["--rows"] if rows_mode else []), data, path,
                                   env)
            err = err.decode("utf-8", "replace") if err is not None else None
            if rows == 0:
                if status != 2:
                    problems.append(f"{where}: no rows, exit {status}: {err}")
                continue
            expected_status = 1 if len(bad) == rows else 0
            if status != expected_status:
                problems.append(f"{where}: exit {status}, expected {expected_status}: "
                                f"{(err or '')[-300:]}")
            got = list(csv.reader(io.StringIO(out.decode("utf-8"), newline="")))
            if rows_mode:
                if got != grouped:
                    problems.append(f"{where}: --rows differ")
            else:
                problems += compare_table(where, got[1:], table)
            if err is None:
                continue
            reported = [int(m[1]) for m in re.finditer(r"^qelkit-agg: [^\n]*?:(\d+): ", err,
                                                       re.M)]
            if reported != bad:
                problems.append(f"{where}: bad rows {reported}, expected {bad}")
            summary = re.search(r"(\d+) rows? read, (\d+) grouped, (\d+) skipped"
                                r"(?:, (\d+) blank lines?)?", err)
            want = (rows, rows - len(bad), len(bad), blank)
            if not summary or tuple(int(x or 0) for x in summary.groups()) != want:
                problems.append(f"{where}: summary {summary and summary[0]}, expected {want}")
    return problems


def compare_table(where, got, table):
    """Periods, keys and counts exactly; minima and maxima as printf's "%.15g" writes them;
    sums and means within rounding of the exact sums."""
    if [g[:4] for g in got] != [t[:4] for t in table]:
        return [f"{where}: groups or counts differ"]
    for g, t in zip(got, table):
        for i, (a, b) in enumerate(zip(g[4:], t[4:])):
            exact = i % 4 in (1, 2)
            if b is None or a == "":
                if a != "" or b is not None:
                    return [f"{where}: {g[:4]}: {a!r} != {b}"]
                continue
            if (a != "%.15g" % b) if exact else not math.isclose(float(a), b, rel_tol=1e-12,
                                                                  abs_tol=1e-300):
                return [f"{where}: {g[:4]}: {a} != {b}"]
    return []


def main():
    failures = [p for seed in range(SEEDS) for p in check(seed)]
    for f in failures[:20]:
        print("FAIL:", f)
    print(f"{SEEDS} seeds, {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
