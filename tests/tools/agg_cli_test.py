#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
# qelkit-agg run as a user would, one named case per behaviour. A case is a shell command line
# (`agg` is the tool; in.csv holds the case's input unless that is None), the exit status, the
# standard output and the messages on standard error, all worked out by hand. Each message is
# one "qelkit-agg: " line; the summary line ("N rows read, ...") is compared only where a case
# lists it; a compiled pattern is searched for instead of compared. No case may change in.csv.
# Not repeated here: the usage messages (agg_options_test.cc), and what agg_differential.py
# checks on random files (quoting, CRLF, BOMs, keys and their order and escapes, every period,
# zones and daylight-saving changes, time layouts, bad numbers and times, exact sums and their
# overflow, every input path, gzip input in members, --jobs, --rows, tsv, csv and jsonl).
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
HOURS = "2026-03-02 10:00:00,1\n2026-03-02 10:30:00,3\n2026-03-02 11:00:00,8\n"
HOURS_OUT = H2 + "2026-03-02 10:00:00\t2\t4\t1\t3\t2\n2026-03-02 11:00:00\t1\t8\t8\t8\t8\n"
T = "2026-03-02 10:00:00"
# The rows of case bad_rows, each with its message (fields cut after 80 bytes); nothing after a
# bad row is lost. An empty value is missing: the row counts, the value does not.
BAD_ROWS = [
    (f"{T},x,1", ""), (f"{T},x", "too few fields (2, need 3)"),
    (f"{T},x,abc", "column 3 is not a number: 'abc'"), (f"{T},x,", ""),
    (f"{T},x,1e400", "column 3 is out of range: '1e400'"),
    (f"{T},x,16\0x", "the row holds a NUL byte"), (f"\0{T},x,4", "the row holds a NUL byte"),
    ("0" * 90 + ",x,1", f"time does not parse: '{'0' * 80}...'"),
    ("1" * 80 + ",x,1", f"time does not parse: '{'1' * 80}'"), ("2026-03-02 10:59:59,x,8", "")]
# What the tool recognises and refuses to read, by the bytes it starts with.
UNREADABLE = [("\\377\\376\\0\\0", "UTF-32 text"), ("\\0\\0\\376\\377", "UTF-32 text"),
              ("\\377\\376", "UTF-16 text"), ("\\376\\377", "UTF-16 text"),
              ("BZh9", "bzip2-compressed data"), ("\\3757zXZ\\0", "xz-compressed data"),
              ("\\050\\265\\057\\375", "zstd-compressed data")]
# A gzip header and a stored block whose length and its complement disagree.
BAD_GZIP = "printf '\\037\\213\\010\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0'"
# --sql COLUMN: plain parts stay, others are quoted in the dialect's way; None: refused.
SQL_COLUMNS = [
    ("ts", "postgresql", "date_trunc('hour', (ts))"),
    ("t.ts", "duckdb", "date_trunc('hour', (t.ts))"),
    ("ts'); DROP TABLE x; --", "postgresql", "date_trunc('hour', (\"ts'); DROP TABLE x; --\"))"),
    ("my col", "clickhouse", "toStartOfHour((`my col`))"),
    ('"Select".ts', "postgresql", "date_trunc('hour', (\"Select\".ts))"),
    ('s."a.b"', "duckdb", "date_trunc('hour', (s.\"a.b\"))"),
    ("my col", "to_char", "to_char((\"my col\"), 'YYYY-MM-DD HH24')"),
    ('x"y', "postgresql", None), ("a..b", "oracle", None), ("a.", "oracle", None),
    ("a`b", "clickhouse", None), ("a\\b", "duckdb", None), ("a\tb", "postgresql", None),
    ('"ab', "postgresql", None), ('""', "postgresql", None)]
SQL_REFUSED = ("' for SQL: give a name or table.name whose parts are letters, digits and '_', or "
               "quoted, without quotes, backslashes or control characters")
FULL = ["cannot write to standard output: No space left on device"]
ODD = "odd\\nname\\x1B.csv"  # the file name of case odd_names as messages show it

CASES = {  # name: (command, in.csv, exit status, standard output, messages)
    "usage_error": ("agg -z -p hour in.csv", None, 2, "",
                    ["invalid option -- 'z'\nTry 'qelkit-agg --help' for more information."]),
    # Every line of the help fits 79 columns.
    "help": ("agg --help", None, 0,
             re.compile(r"^Usage: qelkit-agg \[OPTION\]\.\.\. FILE\.\.\.\n(.{0,79}\n)+$"), []),
    "version": ("agg --version", None, 0, re.compile(
        r"^qelkit-agg \(qelkit\) \d+\.\d+\.\d+\n(.*\n)*.*Apache License, Version 2\.0"), []),
    # Inputs that cannot be read or hold no data, or whose first row is too short: status 2,
    # nothing on standard output.
    "cannot_read": ("mkdir d; for f in no.csv d '-t 9 in.csv'; do agg -p hour $f || echo $?; done",
                    HOURS, 0, "2\n2\n2\n",
                    ["cannot open 'no.csv': No such file or directory",
                     "cannot read 'd': Is a directory",
                     "column 9 is beyond the 2 fields of the first row of 'in.csv'"]),
    "no_data": (": >e.csv; printf '\\n' >b.csv; agg -p hour e.csv || echo $?\n"
                "agg --header -p hour b.csv || echo $?\n"
                "printf '\\357\\273\\277\\r\\n' | agg --header -p hour - || echo $?\n"
                "printf '\\n\\r\\n' | agg -p hour - || echo $?\n"
                "agg -p hour - </dev/null || echo $?", None, 0, "2\n" * 5,
                ["e.csv: the file is empty", "b.csv: no data after the header row",
                 "-: no data after the header row", "-: no data rows", "-: the input is empty"]),
    "unreadable": ("for m in " + " ".join(f"'{m}'" for m, _ in UNREADABLE) + "; do printf \"$m,1\" "
                   ">x; agg -p hour x || echo $?; cat x | agg -p hour - || echo $?; done", None, 0,
                   "2\n" * 2 * len(UNREADABLE),
                   [f"{n}: looks like {w}, which qelkit-agg does not read"
                    for _, w in UNREADABLE for n in ("x", "-")]),
    # Damaged gzip ends the run.
    "gzip_damaged": ("gzip -c in.csv | head -c 20 | agg -p hour - || echo $?; (gzip -c in.csv; "
                     "printf '\\0\\0x') | agg -p hour - || echo $?; " + BAD_GZIP +
                     " | agg -p hour - || echo $?", HOURS, 0, "2\n2\n2\n",
                     ["-: the compressed data ends early",
                      "-: trailing data after the compressed data",
                      "-: the compressed data is corrupt (invalid stored block lengths)"]),
    # Bad rows are reported with file and line, skipped and counted; --strict stops at the first.
    "bad_rows": ("agg -k 2 -p hour in.csv", "".join(r + "\n" for r, _ in BAD_ROWS), 0,
                 H3 + "2026-03-02 10:00:00\tx\t3\t9\t1\t8\t4.5\n",
                 [f"in.csv:{n}: {m}" for n, (_, m) in enumerate(BAD_ROWS, 1) if m]
                 + ["10 rows read, 3 grouped, 7 skipped; period Hour"]),
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
    # File names and fields with line breaks and other control characters: one line each.
    "odd_names": ("f=$(printf 'odd\\nname\\033.csv'); cp in.csv \"$f\"; agg -p hour \"$f\"; "
                  "agg --header -t 9 -p hour \"$f\" || echo $?",
                  '2024-01-01 00:00,1\n"bad\ntime\x0b",2\n2024-01-01 00:00,x\x0c\n', 0,
                  H2 + "2024-01-01 00:00:00\t1\t1\t1\t1\t1\n2\n",
                  [f"{ODD}:2: time does not parse: 'bad\\ntime\\x0B'",
                   f"{ODD}:4: column 2 is not a number: 'x\\x0C'",
                   "3 rows read, 1 grouped, 2 skipped; period Hour",
                   f"column 9 is beyond the 2 fields of the first row of '{ODD}'"]),
    # Output names are unique, also ignoring case, and never empty.
    "output_names": ("agg --header -k 2,4 -v 3,5,6 -p hour in.csv",
                     "time,Count,x,sum_x,X,\n2024-01-01 00:00,a,1,b,2,3\n", 0,
                     "period\tCount_2\tsum_x_4\tcount" + "".join(
                         f"\t{s}_{n}" for n in ("x_3", "X_5", "c6") for s in
                         ("sum", "min", "max", "mean")) + "\n2024-01-01 00:00:00\ta\tb\t1"
                     + "".join(f"\t{v}" * 4 for v in (1, 2, 3)) + "\n", []),
    # The classic text keeps Sunday weeks and whole minutes: other weeks and 2-30 minute periods
    # are printed with a warning; All Hours has no format. The other dialects group every period.
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
    "sql_columns": ("while IFS='|' read -r c d; do agg --sql \"$c\" -p hour --dialect $d || "
                    "echo $?; done <in.csv", "".join(f"{c}|{d}\n" for c, d, _ in SQL_COLUMNS), 0,
                    "".join(f"{e or 2}\n" for _, _, e in SQL_COLUMNS),
                    ["invalid column '" + c.replace("\\", "\\\\").replace("\t", "\\t") +
                     SQL_REFUSED for c, _, e in SQL_COLUMNS if e is None]),
    # --sql-query: PostgreSQL folds unquoted names to lower case and Oracle to upper case, so a
    # name is quoted where its letters would fold; each dialect's interpolating percentile.
    "sql_query_forms": (
        "for a in 'A postgresql' 'Z postgresql' 'a oracle' 'Z duckdb'; do set -- $a; agg "
        "--sql-query r -t t -v $1 -a p50 -p hour --dialect $2 | sed -n 2p; done", None, 0, "".join(
            f"       percentile_cont(0.5) WITHIN GROUP (ORDER BY {c}) AS \"p50_{c}\"\n"
            for c in "AZa") + "       quantile_cont(Z, 0.5) AS p50_Z\n", []),
    # ClickHouse reads a column named like an output column as that output's expression.
    "sql_query_clickhouse_names": (
        "agg --sql-query r -t t -v count -p hour --dialect clickhouse", None, 2, "",
        ["clickhouse would read column 'count' as the output column of that name: rename it in "
         "the table"]),
    # Tabs with collapsed runs and CRLF line ends; period "none" keeps each instant. Runs at
    # either end of a row separate nothing; line numbers go on after them.
    "tabs_collapsed": (
        "agg -d tab --collapse -k 2 -p none in.csv", "2026-03-02 10:00:00\t\tx\t5\r\n"
        "2026-03-02 10:20:00\tx\t\t7\r\n\t2026-03-02 10:30:00\tx\t9\t\t\r\nbad\tx\t1\n", 0,
        H3 + "2026-03-02 10:00:00\tx\t1\t5\t5\t5\t5\n2026-03-02 10:20:00\tx\t1\t7\t7\t7\t7\n"
        "2026-03-02 10:30:00\tx\t1\t9\t9\t9\t9\n",
        ["in.csv:4: time does not parse: 'bad'", "4 rows read, 3 grouped, 1 skipped; period None"]),
    # An overflow to infinity is reported, also in the last of 5000 groups, whose lines another
    # thread formats.
    "sum_overflow": (
        "agg -j 1 -k 2 -p hour in.csv >/dev/null && agg -j 2 -k 2 -p hour in.csv | tail -n 1",
        "".join(f"2026-03-02 10:00:00,k{i:04d},{1e308 if i == 4999 else 1}\n" for i in range(5000))
        + "2026-03-02 10:00:00,k4999,1e308\n", 0, "2026-03-02 10:00:00\tk4999\t2\tinf\t1e+308"
        "\t1e+308\t1e+308\n", ["the sum of column 3 ('c3') overflowed to infinity in 1 group"] * 2),
    # 350,000 rows in five chunks and 40,840 groups (a header line more), whose lines are
    # formatted in many blocks on every thread: the same output for any number of threads.
    "many_groups_threads": ("\"$GEN\" 350000 10 7 >g.csv && agg -j 1 --header -k 2 -p minute g.csv"
                            " >one && agg -j 7 --header -k 2 -p minute g.csv | cmp - one && wc -l "
                            "<one", None, 0, "40841\n", []),
    # --zlib writes the same text as standard output would, as one zlib stream; the sample has
    # every device in every hour of 21 days.
    "zlib_output": (
        "agg --zlib=z --header -k 2 -p hour \"$SAMPLE\" && agg --header -k 2 -p hour \"$SAMPLE\" "
        "2>/dev/null >txt && python3 -c 'import zlib; print(zlib.decompress(open(\"z\", \"rb\")"
        ".read()) == open(\"txt\", \"rb\").read())' && wc -l <txt", None, 0,
        f"True\n{21 * 24 * 4 + 1}\n", ["24192 rows read, 24192 grouped, 0 skipped; period Hour"]),
    # The output never replaces the input, however either is named.
    "output_onto_input": (
        "agg --zlib in.csv -p hour in.csv; agg -p hour in.csv >>in.csv; agg --gzip in.csv -p hour"
        " - <in.csv; cat in.csv | agg --gzip /dev/stdin -p hour -; agg -p hour - <in.csv >>in.csv"
        " || echo $?", HOURS, 0, "2\n",
        ["'in.csv' is the input file: give --zlib another file",
         "standard output is the input file 'in.csv'",
         "'in.csv' is the input file: give --gzip another file",
         "'/dev/stdin' is the input file: give --gzip another file",
         "standard output is the input file '-'"]),
    # A failed run leaves an earlier output file as it was; a good one replaces it, keeping its
    # mode, and leaves no temporary file.
    "output_replaced": (
        "echo old >o.gz; chmod 640 o.gz; agg --gzip o.gz -p hour no.csv; " + BAD_GZIP +
        " | agg --gzip o.gz -p hour -; agg --strict --gzip o.gz -p hour - <in.csv; cat o.gz; "
        "sed 1d in.csv | agg --gzip o.gz -p hour - && gzip -dc o.gz && stat -c %a o.gz && ls -A",
        "x,1\n" + HOURS, 0, "old\n" + HOURS_OUT + "640\nagg\nin.csv\no.gz\n",
        ["cannot open 'no.csv': No such file or directory",
         "-: the compressed data is corrupt (invalid stored block lengths)",
         "-:1: time does not parse: 'x'", "1 row read, 0 grouped, 1 skipped; period Hour",
         "3 rows read, 3 grouped, 0 skipped; period Hour"]),
    # jsonl replaces each byte of a sequence that is no UTF-8 (overlong, a surrogate, above
    # U+10FFFF) with U+FFFD, and keeps U+10FFFF itself.
    "jsonl_utf8": ("agg -k 2 -a count --format jsonl -p day in.csv", b"".join(
        b"2026-03-02 10:00:00,%s,1\n" % k for k in (b"\xed\xa0\x80", b"\xf4\x90\x80\x80",
                                                   b"\xf0\x80\x80\x80", b"\xf4\x8f\xbf\xbf",
                                                   b"\xe0\x80\x80")), 0, "".join(
        '{"period":"2026-03-02 00:00:00","c2":"%s","count":1}\n' % k for k in (
            "\\ufffd" * 3, "\\ufffd" * 3, "\\ufffd" * 4, "\U0010ffff", "\\ufffd" * 4)), []),
    "zlib_unopenable": ("agg --zlib no/such/dir.z -p hour no.csv", None, 2, "",
                        ["cannot open 'no/such/dir.z': No such file or directory"]),
    # Write errors end with status 2, for every kind of output.
    "output_full": ("for a in --help --version '--sql ts -p hour' '-p hour in.csv'; do "
                    "agg $a >/dev/full || echo $?; done", HOURS, 0, "2\n" * 4, FULL * 4),
    "sample_is_generated": ("\"$GEN\" | cmp - \"$SAMPLE\"", None, 0, "", []),
    # --fill prints the empty hour whose end the clocks skip, and no hour for the skipped one.
    "fill_before_gap": ("agg --tz America/New_York --dst --fill -p hour in.csv",
                        "2026-03-08 00:30:00,1\n2026-03-08 04:30:00,2\n", 0, H2 + "".join(
                            f"2026-03-08 0{h}:00:00\t{c}\n" for h, c in (
                                (0, "1\t1\t1\t1\t1"), (1, "0\t\t\t\t"), (3, "0\t\t\t\t"),
                                (4, "1\t2\t2\t2\t2"))), []),
}

# Time layouts, one row each, by the minute: "!" does not parse, "~" lies outside the calendar.
# --dates=month-first (or its old spelling qel) reads month-first layouts first, then the
# year-first ones. The other year-first layouts are drawn by agg_differential.py.
LAYOUTS = {"year-first": [("69-03-02", "1969-03-02 00:00:00"), ("0069-01-01", "~"),
                          ("1900-12-31 23:00", "~")], "month-first": [
    ("3/2/26 2:05 PM", "2026-03-02 14:05:00"), ("3/2/69", "1969-03-02 00:00:00"),
    ("12/31/2026 12:00 AM", "2026-12-31 00:00:00"), ("2026-03-02 10:00", "2026-03-02 10:00:00"),
    ("1/5/26 1:30 AM", "2026-01-05 01:30:00"), ("3/2/2026 13:05 PM", "!"), ("3/2", "!"),
    ("3/2/2026 14:60", "!")], "qel": [("3/2/26 2:05 PM", "2026-03-02 14:05:00")]}
for dates, pairs in LAYOUTS.items():
    CASES[f"time_layouts_{dates.replace('-', '_')}"] = (
        f"agg --rows --dates={dates} -p minute in.csv", "".join(f"{t},1\n" for t, _ in pairs), 0,
        "".join(f"{n}\t{w}\n" for n, (_, w) in enumerate(pairs, 1) if w not in "!~"),
        [f"in.csv:{n}: time {'does not parse' if w == '!' else 'outside the calendar'}: '{t}'"
         for n, (t, w) in enumerate(pairs, 1) if w in "!~"])


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
