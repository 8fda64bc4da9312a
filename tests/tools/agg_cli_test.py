#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
# qelkit-agg run as a user would, one named case per behaviour. A case is a shell command line
# (`agg` is the tool; in.csv holds the case's input unless that is None), the exit status, the
# standard output and the messages on standard error, all worked out by hand. Each message is
# one "qelkit-agg: " line; the summary line ("N rows read, ...") is compared only where a case
# lists it; a compiled pattern is searched for instead of compared. No case may change in.csv.
# What agg_differential.py checks on random files (quoting, CRLF, BOMs, blank lines, key order,
# the common periods and time layouts, --rows, CSV output) is not repeated here.
#
# Usage: agg_cli_test.py --list                                  (the case names)
#        agg_cli_test.py QELKIT_AGG GEN_SAMPLE SAMPLE_CSV CASE   (run with TZ=UTC)
import difflib
import os
import re
import subprocess
import sys
import tempfile

H2 = "period\tcount\tsum_c2\tmin_c2\tmax_c2\tmean_c2\n"
H3 = "period\tc2\tcount\tsum_c3\tmin_c3\tmax_c3\tmean_c3\n"
SMALL = ("time,dev,a,b\n2026-03-02 10:01:00,x,1,10\n2026-03-02 10:14:59,x,2,20\n"
         "2026-03-02 10:15:00,x,4,40\n2026-03-02 10:05:00,y,-1.5,0\n2026-03-02 09:59:59,y,3,1e2\n")
T = "2026-03-02 10:00:00"
# The rows of case bad_rows, each with its message (fields cut after 80 bytes); nothing after a
# bad row is lost. An empty value is missing: the row counts, the value does not.
BAD_ROWS = [
    (f"{T},x,1", ""), (f"{T},x", "too few fields (2, need 3)"),
    (f"{T},x,abc", "column 3 is not a number: 'abc'"), (f"{T},x,", ""),
    (f"{T},x,1.5x", "column 3 is not a number: '1.5x'"),
    (f"{T},x,nan", "column 3 is not a number: 'nan'"),
    (f"{T},x,.", "column 3 is not a number: '.'"), (f"{T},x,-", "column 3 is not a number: '-'"),
    (f"{T},x,1e400", "column 3 is out of range: '1e400'"),
    (f"{T},x,16\0x", "the row holds a NUL byte"), (f"\0{T},x,4", "the row holds a NUL byte"),
    ("0" * 90 + ",x,1", f"time does not parse: '{'0' * 80}...'"),
    ("02-03-2026,x,1", "time does not parse: '02-03-2026'"), ("2026-03-02 10:59:59,x,8", "")]
# Weeks by calendar days across a daylight change: all in the week of Sunday 29 March in London.
WEEK_DST = "".join(f"2026-{d} 00:30:00,1\n" for d in ("03-29", "03-30", "04-01", "04-04"))
WEEK_29 = "".join(f"{n}\t2026-03-29 00:00:00\n" for n in range(1, 5))
# The last year of the calendar: its week-numbering year starts on 3 January (Sunday weeks) or
# 4 January (Monday weeks, ISO); both rows belong to it.
Y9999 = "9999-06-15 12:00:00,1\n9999-12-31 23:59:59,2\n"
FULL = ["cannot write to standard output: No space left on device"]

CASES = {  # name: (command, in.csv, exit status, standard output, messages)
    "usage_error": ("agg -z -p hour in.csv", None, 2, "",
                    ["invalid option -- 'z'\nTry 'qelkit-agg --help' for more information."]),
    "help": ("agg --help", None, 0, re.compile(r"^Usage: qelkit-agg \[OPTION\]\.\.\. FILE\.\.\.\n"), []),
    "version": ("agg --version", None, 0, re.compile(
        r"^qelkit-agg \(qelkit\) \d+\.\d+\.\d+\n(.*\n)*.*Apache License, Version 2\.0"), []),
    # Files that cannot be read or hold no data: status 2, nothing on standard output.
    "missing_file": ("agg -p hour no.csv", None, 2, "",
                     ["cannot open 'no.csv': No such file or directory"]),
    "empty_file": ("agg -p hour in.csv", "", 2, "", ["in.csv: the file is empty"]),
    "directory": ("mkdir d && agg -p hour d", None, 2, "", ["cannot read 'd': Is a directory"]),
    "header_only": ("agg --header -p hour in.csv", "t,a\n", 2, "",
                    ["in.csv: no data after the header row"]),
    "column_beyond_row": ("agg -t 9 -p hour in.csv", SMALL, 2, "",
                          ["column 9 is beyond the 4 fields of the first row of 'in.csv'"]),
    # Bad rows are reported with file and line, skipped and counted; --strict stops at the first.
    "bad_rows": ("agg -k 2 -p hour in.csv", "".join(r + "\n" for r, _ in BAD_ROWS), 0,
                 H3 + "2026-03-02 10:00:00\tx\t3\t9\t1\t8\t4.5\n",
                 [f"in.csv:{n}: {m}" for n, (_, m) in enumerate(BAD_ROWS, 1) if m]
                 + ["14 rows read, 3 grouped, 11 skipped; period Hour"]),
    "strict_stops": ("agg --strict -k 2 -p hour in.csv", "2026-03-02 10:00:00,x,1\nx,1\nx\n", 1, "",
                     ["in.csv:2: too few fields (2, need 3)"]),
    "no_quotes": ("agg --no-quotes -p hour in.csv",
                  '"2026-03-02 10:00:00",1\n2026-03-02 10:00:00,"2"\n', 1, H2,
                  ["in.csv:1: time does not parse: '\"2026-03-02 10:00:00\"'",
                   "in.csv:2: column 2 is not a number: '\"2\"'"]),
    "broken_quotes": ("agg -v 3 -p hour in.csv", 'x,"ab"c,1\n2026-03-02 10:00:00,"open\n', 1,
                      "period\tcount\tsum_c3\tmin_c3\tmax_c3\tmean_c3\n",
                      ["in.csv:1: text after the closing quote of a field",
                       "in.csv:2: a quoted field is not closed at the end of the data"]),
    # The classic text keeps Sunday weeks and whole minutes: other weeks and 2-30 minute periods
    # are printed with a warning; All Hours has no format. The other dialects group every period.
    "sql_day": ("agg --sql=ts --period=day", None, 0, "to_char((ts), 'YYYY-MM-DD')\n", []),
    "sql_week_warning": (
        "agg --sql=ts -p week --week-start=Monday", None, 0, "to_char((ts)+1, 'IYYY-IW')\n",
        ["warning: this to_char expression does not group rows as the Week periods of qelkit-agg"
         " with weeks starting on Monday do; --dialect oracle writes one that does"]),
    "sql_minutes_warning": (
        "agg --sql=ts -p '15 minute'", None, 0, "to_char((ts), 'YYYY-MM-DD HH24:MI')\n",
        ["warning: this to_char expression does not group rows as the Fifteen Minute periods of"
         " qelkit-agg do; --dialect oracle writes one that does"]),
    "sql_all_hours_refused": ("agg --sql=ts -p 'all hours'", None, 2, "",
                              ["to_char cannot express All Hours periods; try --dialect oracle"]),
    "sql_dialects": ("for d in oracle postgresql clickhouse duckdb; do agg --sql=ts -p 'all hours'"
                     " --dialect=$d >o && test -s o && echo $d; done", None, 0,
                     "oracle\npostgresql\nclickhouse\nduckdb\n", []),
    # By 15 minutes: 10:14:59 still belongs to 10:00, 09:59:59 to 09:45; groups in period
    # order, then key order; columns named by the header.
    "fifteen_minutes": (
        "agg --header -k 2 -p '15 minute' in.csv", SMALL, 0,
        "period\tdev\tcount\tsum_a\tmin_a\tmax_a\tmean_a\tsum_b\tmin_b\tmax_b\tmean_b\n"
        "2026-03-02 09:45:00\ty\t1\t3\t3\t3\t3\t100\t100\t100\t100\n"
        "2026-03-02 10:00:00\tx\t2\t3\t1\t2\t1.5\t30\t10\t20\t15\n"
        "2026-03-02 10:00:00\ty\t1\t-1.5\t-1.5\t-1.5\t-1.5\t0\t0\t0\t0\n"
        "2026-03-02 10:15:00\tx\t1\t4\t4\t4\t4\t40\t40\t40\t40\n",
        ["5 rows read, 5 grouped, 0 skipped; period Fifteen Minute"]),
    # Tabs with collapsed runs and CRLF line ends; period "none" keeps each instant. Runs at
    # either end of a row separate nothing; line numbers go on after them.
    "tabs_collapsed": (
        "agg -d tab --collapse -k 2 -p none in.csv", "2026-03-02 10:00:00\t\tx\t5\r\n"
        "2026-03-02 10:20:00\tx\t\t7\r\n\t2026-03-02 10:30:00\tx\t9\t\t\r\nbad\tx\t1\n", 0,
        H3 + "2026-03-02 10:00:00\tx\t1\t5\t5\t5\t5\n2026-03-02 10:20:00\tx\t1\t7\t7\t7\t7\n"
        "2026-03-02 10:30:00\tx\t1\t9\t9\t9\t9\n",
        ["in.csv:4: time does not parse: 'bad'", "4 rows read, 3 grouped, 1 skipped; period None"]),
    # Keys are tuples and output fields are escaped: a\tb|c and a|b\tc stay two groups; keys
    # sort byte by byte, '\' (0x5C) before 'a'.
    "tuple_keys_escaped": (
        "agg -k 2,3 -v 4 -p hour in.csv", '2026-03-02 10:00:00,a\tb,c,1\n2026-03-02 10:00:00,a,'
        'b\tc,2\n2026-03-02 10:00:00,\\,,4\n2026-03-02 10:00:00,"x\ny","\r",8\n', 0,
        "period\tc2\tc3\tcount\tsum_c4\tmin_c4\tmax_c4\tmean_c4\n"
        "2026-03-02 10:00:00\t\\\\\t\t1\t4\t4\t4\t4\n2026-03-02 10:00:00\ta\tb\\tc\t1\t2\t2\t2\t2\n"
        "2026-03-02 10:00:00\ta\\tb\tc\t1\t1\t1\t1\t1\n"
        "2026-03-02 10:00:00\tx\\ny\t\\r\t1\t8\t8\t8\t8\n", []),
    # Sums are compensated (exactly 2 here, where a plain sum gives 0); an overflow to infinity is
    # reported, also in the last of 5000 groups, whose lines another thread formats.
    "compensated_sum": ("agg -p hour in.csv", "".join(
        f"2026-03-02 10:00:00,{v}\n" for v in ("1", "1e100", "1", "-1e100")), 0,
        H2 + "2026-03-02 10:00:00\t4\t2\t-1e+100\t1e+100\t0.5\n", []),
    "sum_overflow": ("agg -p hour in.csv", "2026-03-02 10:00:00,1e308\n" * 2, 0,
                     H2 + "2026-03-02 10:00:00\t2\tinf\t1e+308\t1e+308\t1e+308\n",
                     ["the sum of column 2 ('c2') overflowed to infinity in 1 group"]),
    "sum_overflow_many_groups": (
        "agg -j 1 -k 2 -p hour in.csv >/dev/null && agg -j 2 -k 2 -p hour in.csv >/dev/null",
        "".join(f"2026-03-02 10:00:00,k{i:04d},{1e308 if i == 4999 else 1}\n" for i in range(5000))
        + "2026-03-02 10:00:00,k4999,1e308\n", 0, "",
        ["the sum of column 3 ('c3') overflowed to infinity in 1 group"] * 2),
    # An explicit offset is converted into the working zone: frozen (no daylight time in
    # Kolkata), or with --dst the rules of the day (London: BST in July, GMT in January).
    "offset_frozen_zone": ("TZ=Asia/Kolkata agg --rows -p minute in.csv",
                           "2026-03-02T14:05:00Z,1\n", 0, "1\t2026-03-02 19:35:00\n",
                           ["1 row read, 1 grouped, 0 skipped; period One Minute"]),
    "offset_dst_zone": ("TZ=Europe/London agg --rows --dst -p minute in.csv",
                        "2026-07-01T12:00:00Z,1\n2026-01-15T12:00:00+01:00,1\n", 0,
                        "1\t2026-07-01 13:00:00\n2\t2026-01-15 11:00:00\n", []),
    "week_dst_london": ("TZ=Europe/London agg --rows --dst -p week in.csv", WEEK_DST, 0,
                        WEEK_29, []),
    "week_dst_from_env": ("NQ_ENABLE_DST_RULES=1 TZ=Europe/London agg --rows -p week in.csv",
                          WEEK_DST, 0, WEEK_29, []),
    # New York: the week of Sunday 8 March; week-hour: 5 o'clock of it.
    "week_dst_new_york": ("TZ=America/New_York agg --rows --dst -p week in.csv",
                          "2026-03-08 00:30:00,1\n2026-03-09 00:30:00,2\n2026-03-14 23:30:00,4\n",
                          0, "".join(f"{n}\t2026-03-08 00:00:00\n" for n in (1, 2, 3)), []),
    "week_hour_new_york": ("TZ=America/New_York agg --rows --dst -p week-hour in.csv",
                           "2026-03-10 05:10:00,1\n", 0, "1\t2026-03-08 05:00:00\n", []),
    "year_9999_sunday": ("agg --week-start=Sunday -p year in.csv", Y9999, 0,
                         H2 + "9999-01-03 00:00:00\t2\t3\t1\t2\t1.5\n", []),
    "year_9999_monday": ("agg --week-start=Monday -p year in.csv", Y9999, 0,
                         H2 + "9999-01-04 00:00:00\t2\t3\t1\t2\t1.5\n", []),
    "month_9999": ("agg --rows -p month in.csv", Y9999, 0,
                   "1\t9999-06-01 00:00:00\n2\t9999-12-01 00:00:00\n", []),
    # --zlib writes the same text as standard output would, as one zlib stream; the sample has
    # every device in every hour of 21 days.
    "zlib_output": (
        "agg --zlib=z --header -k 2 -p hour \"$SAMPLE\" && agg --header -k 2 -p hour \"$SAMPLE\" "
        "2>/dev/null >txt && python3 -c 'import zlib; print(zlib.decompress(open(\"z\", \"rb\")"
        ".read()) == open(\"txt\", \"rb\").read())' && wc -l <txt", None, 0,
        f"True\n{21 * 24 * 4 + 1}\n", ["24192 rows read, 24192 grouped, 0 skipped; period Hour"]),
    # The output never replaces the input, and an unwritable output fails before any work;
    # write errors end with status 2, for every kind of output.
    "zlib_onto_input": ("agg --zlib in.csv -p hour in.csv", SMALL, 2, "",
                        ["'in.csv' is the input file: give --zlib another file"]),
    "stdout_onto_input": ("agg -p hour in.csv >>in.csv", SMALL, 2, "",
                          ["standard output is the input file 'in.csv'"]),
    "zlib_unopenable": ("agg --zlib no/such/dir.z -p hour no.csv", None, 2, "",
                        ["cannot open 'no/such/dir.z': No such file or directory"]),
    "full_help": ("agg --help >/dev/full", None, 2, "", FULL),
    "full_version": ("agg --version >/dev/full", None, 2, "", FULL),
    "full_sql": ("agg --sql ts -p hour >/dev/full", None, 2, "", FULL),
    "full_output": ("agg --header -k 2 -p hour in.csv >/dev/full", SMALL, 2, "", FULL),
    "sample_is_generated": ("\"$GEN\" | cmp - \"$SAMPLE\"", None, 0, "", []),
}

# Period starts of Wednesday 2026-03-04 13:47:12 (UTC), for the periods and week starts that
# agg_differential.py does not draw.
for period, day, start in (
        ("2 minute", "Sunday", "2026-03-04 13:46"), ("five minute", "Sunday", "2026-03-04 13:45"),
        ("ten minute", "Sunday", "2026-03-04 13:40"), ("half hour", "Sunday", "2026-03-04 13:30"),
        ("week-hour", "Monday", "2026-03-02 13:00"), ("month-hour", "Sunday", "2026-03-01 13:00"),
        ("all hours", "Sunday", "1970-01-01 00:00")):
    CASES[re.sub(r"\W", "_", f"period_{period}")] = (
        f"agg --rows -p '{period}' --week-start={day} in.csv", "2026-03-04 13:47:12,1\n", 0,
        f"1\t{start}:00\n", [])

# Time layouts, one row each, by the minute: "!" does not parse, "~" lies outside the calendar.
# --dates=month-first reads month-first layouts first, then the year-first ones.
LAYOUTS = {"year-first": [
    ("2026/03/02 14:05", "2026-03-02 14:05:00"), ("2026-3-2 9:05:59", "2026-03-02 09:05:00"),
    ("2026-03-02t14:05:30.123456", "2026-03-02 14:05:00"), ("69-03-02", "1969-03-02 00:00:00"),
    ("2026-03-01T23:59:00-00:01", "2026-03-02 00:00:00"), ("26-03-02 14:05", "2026-03-02 14:05:00"),
    ("2026-03-02T23:30:00+23:00", "2026-03-02 00:30:00"), ("abcd-03-02", "!"), ("-2026-01-01", "!"),
    (" 2026-03-02 14:05 ", "2026-03-02 14:05:00"), ("2026-03-02 24:00", "!"), ("202-03-02", "!"),
    ("2026-03-02 14:60", "!"), ("2026-03-02T14:05+5:00", "!"), ("2026-03-02T14:05+05:3", "!"),
    ("2026-03-02T14:05+05:60", "!"), ("2026-03-02 10:00:5", "!"), ("2026-03-02Z", "!"),
    ("3/2/26", "!"), ("0069-01-01", "~"), ("1900-12-31 23:00", "~")], "month-first": [
    ("3/2/26 2:05 PM", "2026-03-02 14:05:00"), ("3/2/69", "1969-03-02 00:00:00"),
    ("12/31/2026 12:00 AM", "2026-12-31 00:00:00"), ("2026-03-02 10:00", "2026-03-02 10:00:00"),
    ("1/5/26 1:30 AM", "2026-01-05 01:30:00"), ("3/2/2026 13:05 PM", "!"), ("3/2", "!"),
    ("3/2/2026 14:60", "!")]}
for dates, pairs in LAYOUTS.items():
    CASES[f"time_layouts_{dates.replace('-', '_')}"] = (
        f"agg --rows --dates={dates} -p minute in.csv", "".join(f"{t},1\n" for t, _ in pairs), 0,
        "".join(f"{n}\t{w}\n" for n, (_, w) in enumerate(pairs, 1) if w not in "!~"),
        [f"in.csv:{n}: time {'does not parse' if w == '!' else 'outside the calendar'}: '{t}'"
         for n, (t, w) in enumerate(pairs, 1) if w in "!~"])
# The old spelling of month-first still reads month first.
CASES["time_layouts_old_spelling"] = (
    "agg --rows --dates=qel -p minute in.csv", "3/2/26 2:05 PM,1\n", 0,
    "1\t2026-03-02 14:05:00\n", [])


def main():
    if sys.argv[1] == "--list":
        return print("\n".join(CASES))
    agg, gen, sample, name = sys.argv[1:5]
    command, data, status, out, messages = CASES[name]
    data = data.encode() if isinstance(data, str) else data
    err = "".join(f"qelkit-agg: {m}\n" for m in messages)
    with tempfile.TemporaryDirectory() as work:
        os.symlink(agg, os.path.join(work, "agg"))
        if data is not None:
            with open(os.path.join(work, "in.csv"), "wb") as f:
                f.write(data)
        env = dict(os.environ, PATH=work + os.pathsep + os.environ["PATH"], GEN=gen, SAMPLE=sample)
        r = subprocess.run(["sh", "-c", command], cwd=work, env=env, capture_output=True,
                           timeout=300)
        got_out, got_err = (s.decode("utf-8", "backslashreplace") for s in (r.stdout, r.stderr))
        if " read, " not in err:
            got_err = re.sub(r"(?m)^qelkit-agg: \d+ rows? read, .*\n", "", got_err)
        failed = r.returncode != status or got_err != err or (
            not out.search(got_out) if isinstance(out, re.Pattern) else got_out != out)
        if data is not None and open(os.path.join(work, "in.csv"), "rb").read() != data:
            failed = print("in.csv changed") or True
    if failed:
        print(f"FAIL {name}: {command}\nexit status {r.returncode}, expected {status}")
        for want, got in ((out, got_out), (err, got_err)):
            want = want.pattern if isinstance(want, re.Pattern) else want
            sys.stdout.writelines(difflib.unified_diff(want.splitlines(True), got.splitlines(True)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
