#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs qelkit-agg as a user would and checks its output, messages and exit statuses.
# Usage: agg_cli_test.sh QELKIT_AGG GEN_SAMPLE SAMPLE_CSV   (run with TZ=UTC)
set -u
AGG=$1 GEN=$2 SAMPLE=$3
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 2
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS STDERR_TEXT ARGS...: the exit status and a text standard error must contain.
expect() {
    local status=$1 text=$2
    shift 2
    "$AGG" "$@" >out.txt 2>err.txt
    local got=$?
    [[ $got == "$status" ]] || fail "qelkit-agg $* exited $got, expected $status: $(cat err.txt)"
    [[ -z $text ]] || grep -qF -- "$text" err.txt || fail "qelkit-agg $*: stderr lacks '$text': $(cat err.txt)"
}

# same NAME EXPECTED_FILE: out.txt must equal the file.
same() { diff -u "$2" out.txt >diff.txt || fail "$1: $(cat diff.txt)"; }

printf 'time,dev,a,b\n' >header.csv
: >empty.csv
mkdir dir.csv
cat >small.csv <<'EOF'
time,dev,a,b
2026-03-02 10:01:00,x,1,10
2026-03-02 10:14:59,x,2,20
2026-03-02 10:15:00,x,4,40
2026-03-02 10:05:00,y,-1.5,0
2026-03-02 09:59:59,y,3,1e2
EOF
printf '2026-03-02 10:00:00,x,1\n2026-03-02 10:00:00,x\n2026-03-02 10:00:00,x,abc\n' >bad.csv
printf 'bad time,x,1\n2026-03-02 10:00:00,x,2\n' >badtime.csv
printf '2026-03-02 10:00:00,x,\n2026-03-02 10:00:00,x,1.5x\n2026-03-02 10:00:00,x,nan\n' >nan.csv
printf '2026-03-02 10:00:00,x,.\n2026-03-02 10:00:00,x,-\n' >>nan.csv
printf '2026-03-02 10:00:00\t\tx\t5\r\n2026-03-02 10:20:00\tx\t\t7\r\n\t2026-03-02 10:30:00\tx\t9\t\t\r\n' >tabs.csv
printf 'bad\tx\t1\n2026-03-02 10:40:00\tx\t\t3\n' >>tabs.csv

# Usage errors: the message names the problem, then the --help hint, status 2.
usage=(
    "unrecognized option '--frobnicate'|--frobnicate -p hour small.csv"
    "option '--d' is ambiguous|--d=x -p hour small.csv"
    "invalid option -- 'z'|-z -p hour small.csv"
    "option '--header' doesn't allow an argument|--header=yes -p hour small.csv"
    "option '--time' requires an argument|-p hour small.csv --time"
    "invalid delimiter 'ab'|-d ab -p hour small.csv"
    "invalid time column '0'|-t 0 -p hour small.csv"
    "invalid time column 'x'|--time=x -p hour small.csv"
    "invalid key columns '1,,2'|-k 1,,2 -p hour small.csv"
    "invalid key columns '2,2'|-k 2,2 -p hour small.csv"
    "invalid value columns ''|--values= -p hour small.csv"
    "invalid period 'fortnight'|-p fortnight small.csv"
    "invalid period 'hourglass': give one of minute, 2 minute|-p hourglass small.csv"
    "missing option '--period'|small.csv"
    "invalid argument 'iso' for '--dates'|--dates=iso -p hour small.csv"
    "invalid week start 'Tuesday'|--week-start=Tuesday -p week small.csv"
    "option '--zlib' needs a file name|--zlib= -p hour small.csv"
    "option '--sql' needs a column name|--sql= -p hour"
    "extra operand 'small.csv' with '--sql'|--sql t -p hour small.csv"
    "invalid dialect 'mysql'|--sql t -p hour --dialect mysql"
    "option '--dialect' goes with '--sql'|--dialect oracle -p hour small.csv"
    "missing FILE operand|-p hour"
    "extra operand 'b.csv'|-p hour small.csv b.csv"
    "column 2 is both the time and a key|-t 2 -k 2 -p hour small.csv"
    "column 3 is both a key and a value|-k 3 -v 3 -p hour small.csv"
)
expect 2 "qelkit-agg: invalid delimiter '"$'\r'"'" -d $'\r' -p hour small.csv
for case in "${usage[@]}"; do
    read -ra args <<<"${case#*|}"
    expect 2 "qelkit-agg: ${case%%|*}" "${args[@]}"
    grep -qF "Try 'qelkit-agg --help' for more information." err.txt || fail "no hint: ${case#*|}"
done

# Files that cannot be read or hold no data: status 2, nothing on standard output.
files=(
    "cannot open 'missing.csv': No such file or directory|missing.csv"
    "empty.csv: the file is empty|empty.csv"
    "cannot read 'dir.csv': Is a directory|dir.csv"
    "header.csv: no data after the header row|header.csv --header"
    "column 9 is beyond the 4 fields of the first row|small.csv -t 9"
)
for case in "${files[@]}"; do
    expect 2 "qelkit-agg: ${case%%|*}" -p hour ${case#*|}
    [[ -s out.txt ]] && fail "output for ${case#*|}"
done

# Bad rows are reported with file and line, skipped and counted; --strict stops at the first.
expect 0 "bad.csv:2: too few fields (2, need 3)" -k 2 -p hour bad.csv
grep -qF "bad.csv:3: column 3 is not a number: 'abc'" err.txt || fail "no report of 'abc'"
grep -qF "qelkit-agg: 3 rows read, 1 grouped, 2 skipped" err.txt || fail "bad.csv summary"
grep -qP '^2026-03-02 10:00:00\tx\t1\t1\t1\t1\t1$' out.txt || fail "bad.csv good row"
expect 0 "badtime.csv:1: time does not parse: 'bad time'" -k 2 -p hour badtime.csv
expect 1 "nan.csv:1: column 3 is not a number: ''" -k 2 -p hour nan.csv
grep -qF "nan.csv:2: column 3 is not a number: '1.5x'" err.txt || fail "1.5x read as a number"
grep -qF "nan.csv:3: column 3 is not a number: 'nan'" err.txt || fail "nan read as a number"
grep -qF "nan.csv:5: column 3 is not a number: '-'" err.txt || fail "- read as a number"
grep -qF "nan.csv:4: column 3 is not a number: '.'" err.txt || fail ". read as a number"
[[ $(wc -l <out.txt) == 1 ]] || fail "nan.csv rows grouped: $(cat out.txt)"
expect 1 "bad.csv:2: too few fields" --strict -k 2 -p hour bad.csv
grep -qF "bad.csv:3:" err.txt && fail "--strict went on after the first bad row"
[[ -s out.txt ]] && fail "--strict printed an aggregation"

# --help, --version and --sql.
expect 0 "" --help
grep -qF "Usage: qelkit-agg [OPTION]... FILE" out.txt || fail "--help text"
expect 0 "" --version
grep -qx "qelkit-agg (qelkit) [0-9]*\.[0-9]*\.[0-9]*" out.txt && grep -q "Apache License, Version 2.0" out.txt || fail "--version: $(cat out.txt)"
expect 0 "" --sql=ts --period=day
[[ $(cat out.txt) == "to_char(ts, 'YYYY-MM-DD')" && ! -s err.txt ]] || fail "--sql: $(cat out.txt)"
# The classic text keeps Sunday weeks and whole minutes: other weeks and 2-30 minute periods are
# printed with a warning; All Hours has no format. The other dialects group every period.
expect 0 "does not group rows as the Week periods of qelkit-agg with weeks starting on Monday" --sql=ts -p week --week-start=Monday
expect 0 "does not group rows as the Fifteen Minute periods" --sql=ts -p "15 minute"
expect 2 "to_char cannot express All Hours periods; try --dialect oracle" --sql=ts -p "all hours"
[[ ! -s out.txt ]] || fail "--sql -p 'all hours' printed $(cat out.txt)"
for dialect in oracle postgresql clickhouse duckdb; do
    expect 0 "" --sql=ts -p "all hours" --dialect=$dialect
    [[ -s out.txt && ! -s err.txt ]] || fail "--sql --dialect=$dialect: $(cat err.txt)"
done

# The small file by 15 minutes, worked out by hand: 10:14:59 still belongs to 10:00, 09:59:59
# to 09:45; groups in period order, then key order.
T=$'\t'
cat >expected.txt <<EOF
period${T}dev${T}count${T}sum_a${T}min_a${T}max_a${T}mean_a${T}sum_b${T}min_b${T}max_b${T}mean_b
2026-03-02 09:45:00${T}y${T}1${T}3${T}3${T}3${T}3${T}100${T}100${T}100${T}100
2026-03-02 10:00:00${T}x${T}2${T}3${T}1${T}2${T}1.5${T}30${T}10${T}20${T}15
2026-03-02 10:00:00${T}y${T}1${T}-1.5${T}-1.5${T}-1.5${T}-1.5${T}0${T}0${T}0${T}0
2026-03-02 10:15:00${T}x${T}1${T}4${T}4${T}4${T}4${T}40${T}40${T}40${T}40
EOF
expect 0 "qelkit-agg: 5 rows read, 5 grouped, 0 skipped" --header -k 2 -p "15 minute" small.csv
same "15-minute aggregation" expected.txt
# Without --header the header line is a bad row and the columns are named c<N>.
expect 0 "small.csv:1: time does not parse: 'time'" -k2 -v3 -p hour small.csv
printf 'period\tc2\tcount\tsum_c3\tmin_c3\tmax_c3\tmean_c3\n' >expected.txt
printf '2026-03-02 09:00:00\ty\t1\t3\t3\t3\t3\n2026-03-02 10:00:00\tx\t3\t7\t1\t4\t%s\n' \
    2.33333333333333 >>expected.txt
printf '2026-03-02 10:00:00\ty\t1\t-1.5\t-1.5\t-1.5\t-1.5\n' >>expected.txt
same "hourly aggregation without header" expected.txt

# Keys sort as text within a period, whatever order they came in; then two-column keys.
printf '2026-03-02 10:00:00,z,1,5\n2026-03-02 10:30:00,b,1,5\n2026-03-02 10:59:00,a,1,5\n' >keys.csv
printf '2026-03-02 10:00:00,10,1,5\n2026-03-02 10:00:00,9,1,5\n' >>keys.csv
expect 0 "" -k 2 -v 3 -p hour keys.csv
[[ $(cut -f2 out.txt | tr '\n' ' ') == "c2 10 9 a b z " ]] || fail "key order: $(cut -f2 out.txt)"
expect 0 "" -k 3,2 -p day keys.csv
[[ $(sed -n 2p out.txt) == "2026-03-02 00:00:00${T}1${T}10${T}1${T}5${T}5${T}5${T}5" ]] || fail "two keys: $(cat out.txt)"

# Tabs with collapsed runs and CRLF line ends; period "none" keeps each instant.
# Runs at either end of a row separate nothing; line numbers go on after them.
expect 0 "tabs.csv:4: time does not parse: 'bad'" -d tab --collapse -k 2 -p none tabs.csv
grep -qF "5 rows read, 4 grouped, 1 skipped" err.txt || fail "collapsed runs: $(cat err.txt)" 
printf 'period\tc2\tcount\tsum_c3\tmin_c3\tmax_c3\tmean_c3\n' >expected.txt
printf '2026-03-02 10:00:00\tx\t1\t5\t5\t5\t5\n2026-03-02 10:20:00\tx\t1\t7\t7\t7\t7\n' \
    >>expected.txt
printf '2026-03-02 10:30:00\tx\t1\t9\t9\t9\t9\n2026-03-02 10:40:00\tx\t1\t3\t3\t3\t3\n' >>expected.txt
same "tab-delimited, collapsed" expected.txt

# --rows with the week start: Monday 2 March starts its own week, else Sunday 1 March does.
expect 0 "" --rows --header -k 2 -p week --week-start=Monday small.csv
[[ $(head -1 out.txt) == "2${T}2026-03-02 00:00:00${T}x" ]] || fail "--rows: $(head -1 out.txt)"
[[ $(wc -l <out.txt) == 5 ]] || fail "--rows line count"
expect 0 "" --rows --header -v 3 -p week --week-start=Sunday small.csv
[[ $(tail -1 out.txt) == "6${T}2026-03-01 00:00:00" ]] || fail "--rows Sunday: $(tail -1 out.txt)"

# Period starts of Wednesday 2026-03-04 13:47:12 (UTC), one --rows run per period and week start.
periods=(
    "minute|Sunday|2026-03-04 13:47:00"       "2 minute|Sunday|2026-03-04 13:46:00"
    "five minute|Sunday|2026-03-04 13:45:00"  "ten minute|Sunday|2026-03-04 13:40:00"
    "quarter hour|Sunday|2026-03-04 13:45:00" "half hour|Sunday|2026-03-04 13:30:00"
    "HOUR|Sunday|2026-03-04 13:00:00"         "day|Sunday|2026-03-04 00:00:00"
    "week|Sunday|2026-03-01 00:00:00"         "week|Monday|2026-03-02 00:00:00"
    "week|Friday|2026-02-27 00:00:00"         "week|Saturday|2026-02-28 00:00:00"
    "week-hour|Monday|2026-03-02 13:00:00"    "month-hour|Sunday|2026-03-01 13:00:00"
    "month|Sunday|2026-03-01 00:00:00"        "year|Monday|2025-12-29 00:00:00"
    "year|Sunday|2025-12-28 00:00:00"         "all hours|Sunday|1970-01-01 00:00:00"
    "none|Sunday|2026-03-04 13:47:12"
)
printf '2026-03-04 13:47:12,1\n' >one.csv
for case in "${periods[@]}"; do
    IFS='|' read -r period day start <<<"$case"
    for dates in nq qel; do
        expect 0 "1 row read, 1 grouped" --rows --dates=$dates -p "$period" --week-start=$day one.csv
        [[ $(cat out.txt) == "1${T}$start" ]] || fail "$case ($dates): $(cat out.txt)"
    done
done

# --zlib writes the same text as standard output would, as one zlib stream.
"$AGG" --header -k 2 -p hour "$SAMPLE" >plain.txt 2>/dev/null
expect 0 "24192 rows read, 24192 grouped, 0 skipped" --zlib=out.z --header -k 2 -p hour "$SAMPLE"
[[ -s out.txt ]] && fail "--zlib also wrote to standard output"
python3 -c 'import sys, zlib; sys.stdout.buffer.write(zlib.decompress(open("out.z", "rb").read()))' \
    >unpacked.txt || fail "out.z is not a zlib stream"
cmp -s plain.txt unpacked.txt || fail "--zlib round trip differs"
[[ $(wc -l <plain.txt) == $((21 * 24 * 4 + 1)) ]] || fail "hourly groups of the sample"

# ---- Real-world files: each case of the reading rules, worked out by hand ---------------------

# Time layouts, one --rows run each ("!" does not parse, "~" lies outside the calendar).
layouts=(
    "2026-03-02|2026-03-02 00:00:00"                  "2026/03/02 14:05|2026-03-02 14:05:00"
    "2026-3-2 9:05:59|2026-03-02 09:05:00"            "2026-03-02T14:05:00|2026-03-02 14:05:00"
    "2026-03-02t14:05:30.123456|2026-03-02 14:05:00"  "2026-03-02T14:05:00Z|2026-03-02 14:05:00"
    "2026-03-02T14:05:00+05:00|2026-03-02 09:05:00"   "2026-03-02T00:30:00-0130|2026-03-02 02:00:00"
    "2026-03-01T23:59:00-00:01|2026-03-02 00:00:00"   " 2026-03-02 14:05 |2026-03-02 14:05:00"
    "26-03-02 14:05|2026-03-02 14:05:00"              "69-03-02|1969-03-02 00:00:00"
    "2026-03-02 14|!" "2026-03-02 garbage|!" "14.05|!" "2:05 PM|!" "x026-03-02|!" "abcd-03-02|!"
    "-2026-01-01|!" "2026-02-30|!" "2026-03-02 24:00|!" "2026-03-02 14:60|!" "202-03-02|!"
    "2026-03-02T14:05+5:00|!" "2026-03-02T14:05+05:3|!" "2026-03-02T14:05+05:60|!"
    "2026-03-02 10:00:5|!" "2026-03-02Z|!" "2026-03-02T23:30:00+23:00|2026-03-02 00:30:00" "3/2/26|!" "0069-01-01|~" "1900-12-31 23:00|~"
    "qel:3/2/26 2:05 PM|2026-03-02 14:05:00"          "qel:3/2/69|1969-03-02 00:00:00"
    "qel:12/31/2026 12:00 AM|2026-12-31 00:00:00"     "qel:2026-03-02 10:00|2026-03-02 10:00:00"
    "qel:1/5/26 1:30 AM|2026-01-05 01:30:00" "qel:3/2/2026 13:05 PM|!" "qel:3/2|!"
    "qel:3/2/2026 14:60|!"
)
for case in "${layouts[@]}"; do
    IFS='|' read -r text want <<<"$case"
    dates=nq
    [[ $text == qel:* ]] && dates=qel text=${text#qel:}
    printf '%s,1\n' "$text" >time.csv
    case $want in
    !) expect 1 "time.csv:1: time does not parse: '$text'" --rows --dates=$dates -p minute time.csv ;;
    "~") expect 1 "time.csv:1: time outside the calendar: '$text'" --rows --dates=$dates -p minute time.csv ;;
    *) expect 0 "1 row read, 1 grouped" --rows --dates=$dates -p minute time.csv
       [[ $(cat out.txt) == "1${T}$want" ]] || fail "time '$text' ($dates): $(cat out.txt)" ;;
    esac
done
# An explicit offset is converted into the working zone: frozen (no daylight time in Kolkata),
# or with --dst the rules of the day (London: BST in July, GMT in January).
printf '2026-03-02T14:05:00Z,1\n' >utc.csv
TZ=Asia/Kolkata expect 0 "" --rows -p minute utc.csv
[[ $(cat out.txt) == "1${T}2026-03-02 19:35:00" ]] || fail "Z in Kolkata: $(cat out.txt)"
printf '2026-07-01T12:00:00Z,1\n2026-01-15T12:00:00+01:00,1\n' >london.csv
TZ=Europe/London expect 0 "" --rows --dst -p minute london.csv
[[ $(cut -f2 out.txt | tr '\n' '|') == "2026-07-01 13:00:00|2026-01-15 11:00:00|" ]] || fail "London offsets: $(cat out.txt)"

# Weeks by calendar days across a daylight change: all four rows belong to the week of Sunday
# 29 March in London, and to that of Sunday 8 March in New York (week-hour: 5 o'clock of it).
printf '2026-03-29 00:30:00,1\n2026-03-30 00:30:00,2\n2026-04-01 00:30:00,4\n2026-04-04 00:30:00,16\n' >w.csv
for zone_opts in "Europe/London --dst" "Europe/London NQ"; do
    read -r zone opt <<<"$zone_opts"
    if [[ $opt == NQ ]]; then NQ_ENABLE_DST_RULES=1 TZ=$zone expect 0 "" --rows -p week w.csv
    else TZ=$zone expect 0 "" --rows $opt -p week w.csv; fi
    [[ $(cut -f2 out.txt | sort -u) == "2026-03-29 00:00:00" ]] || fail "weeks in $zone_opts: $(cat out.txt)"
done
printf '2026-03-08 00:30:00,1\n2026-03-09 00:30:00,2\n2026-03-14 23:30:00,4\n' >ny.csv
TZ=America/New_York expect 0 "" --rows --dst -p week ny.csv
[[ $(cut -f2 out.txt | sort -u) == "2026-03-08 00:00:00" ]] || fail "New York weeks: $(cat out.txt)"
printf '2026-03-10 05:10:00,1\n' >nyh.csv
TZ=America/New_York expect 0 "" --rows --dst -p week-hour nyh.csv
[[ $(cat out.txt) == "1${T}2026-03-08 05:00:00" ]] || fail "New York week-hour: $(cat out.txt)"

# The last year of the calendar: its week-numbering year starts on 3 January (Sunday weeks)
# or 4 January (Monday weeks, ISO); months work as before.
printf '9999-06-15 12:00:00,1\n9999-12-31 23:59:59,2\n' >y9999.csv
for case in "Sunday|9999-01-03" "Monday|9999-01-04"; do
    IFS='|' read -r day want <<<"$case"
    expect 0 "2 rows read, 2 grouped" --week-start=$day -p year y9999.csv
    [[ $(sed -n 2p out.txt | cut -f1,2) == "$want 00:00:00${T}2" ]] || fail "9999 $day: $(cat out.txt)"
done
expect 0 "" --rows -p month y9999.csv
[[ $(tail -1 out.txt) == "2${T}9999-12-01 00:00:00" ]] || fail "9999 month: $(cat out.txt)"

# Empty fields are fields; quoted fields hold delimiters, doubled quotes and line breaks, and
# line numbers stay physical; a BOM is skipped, CRLF works, blank lines are counted apart.
printf 'site,start,end,value,quality\nA,2026-03-02 10:00:00,x,5,0.9\n,2026-03-02 11:00:00,x,7,0.1\n' >s.csv
expect 0 "2 rows read, 2 grouped, 0 skipped" --header -k 1 -t 2 -v 4 -p hour s.csv
printf 'period\tsite\tcount\tsum_value\tmin_value\tmax_value\tmean_value\n' >expected.txt
printf '2026-03-02 10:00:00\tA\t1\t5\t5\t5\t5\n2026-03-02 11:00:00\t\t1\t7\t7\t7\t7\n' >>expected.txt
same "empty first field" expected.txt
printf '\xef\xbb\xbf\r\ntime,"k,ey",v\r\n"2026-03-02 10:00:00","a,b",1\r\n\r\n2026-03-02 10:00:00,"x\ny",2\n' >q.csv
printf '2026-03-02 10:00:00,"say ""hi""",4\r\nbad,z,8\r\n2026-03-02 10:00:00,"a,b",16' >>q.csv
expect 0 "q.csv:8: time does not parse: 'bad'" --header -k 2 -p hour q.csv
grep -qF "5 rows read, 4 grouped, 1 skipped, 2 blank lines; period Hour" err.txt || fail "q.csv summary: $(cat err.txt)"
printf 'period\tk,ey\tcount\tsum_v\tmin_v\tmax_v\tmean_v\n2026-03-02 10:00:00\ta,b\t2\t17\t1\t16\t8.5\n' >expected.txt
printf '2026-03-02 10:00:00\tsay "hi"\t1\t4\t4\t4\t4\n2026-03-02 10:00:00\tx\\ny\t1\t2\t2\t2\t2\n' >>expected.txt
same "quoted fields" expected.txt
expect 0 "" --rows --header -k 2 -p hour q.csv
[[ $(cut -f1 out.txt | tr '\n' ' ') == "3 5 7 9 " ]] || fail "physical line numbers: $(cat out.txt)"
expect 0 "" --format=csv --header -k 2 -p hour q.csv
printf 'period,"k,ey",count,sum_v,min_v,max_v,mean_v\n2026-03-02 10:00:00,"a,b",2,17,1,16,8.5\n' >expected.txt
printf '2026-03-02 10:00:00,"say ""hi""",1,4,4,4,4\n2026-03-02 10:00:00,"x\ny",1,2,2,2,2\n' >>expected.txt
same "--format=csv" expected.txt
printf '"2026-03-02 10:00:00",1\n2026-03-02 10:00:00,"2"\n' >nq.csv
expect 1 "nq.csv:2: column 2 is not a number: '\"2\"'" --no-quotes -p hour nq.csv
grep -qF "nq.csv:1: time does not parse: '\"2026-03-02 10:00:00\"'" err.txt || fail "--no-quotes: $(cat err.txt)"
printf 'x,"ab"c,1\n2026-03-02 10:00:00,"open\n' >broken.csv
expect 1 "broken.csv:1: text after the closing quote of a field" -p hour broken.csv
grep -qF "broken.csv:2: a quoted field is not closed at the end of the data" err.txt || fail "open quote"

# A row holding a NUL is skipped alone, nothing after it lost, line numbers unchanged.
printf '2026-03-02 10:00:00,1\n2026-03-02 10:10:00,2\n\0002026-03-02 10:20:00,4\n2026-03-02 10:30:00,8\n' >n.csv
printf '2026-03-02 10:40:00,16\0x\n2026-03-02 10:50:00,32\n' >>n.csv
expect 0 "n.csv:3: the row holds a NUL byte" -p hour n.csv
grep -qF "n.csv:5: the row holds a NUL byte" err.txt || fail "mid-line NUL: $(cat err.txt)"
grep -qF "6 rows read, 4 grouped, 2 skipped" err.txt || fail "NUL summary: $(cat err.txt)"
[[ $(sed -n 2p out.txt) == "2026-03-02 10:00:00${T}4${T}43${T}1${T}32${T}10.75" ]] || fail "NUL sums: $(cat out.txt)"

# Keys are tuples, and output fields are escaped: a\tb|c and a|b\tc stay two groups.
printf '2026-03-02 10:00:00,a\tb,c,1\n2026-03-02 10:00:00,a,b\tc,2\n2026-03-02 10:00:00,\\,,4\n' >t.csv
expect 0 "" -k 2,3 -v 4 -p hour t.csv
# Keys sort byte by byte: '\' (0x5C) before 'a'.
printf 'period\tc2\tc3\tcount\tsum_c4\tmin_c4\tmax_c4\tmean_c4\n2026-03-02 10:00:00\t\\\\\t\t1\t4\t4\t4\t4\n' >expected.txt
printf '2026-03-02 10:00:00\ta\tb\\tc\t1\t2\t2\t2\t2\n2026-03-02 10:00:00\ta\\tb\tc\t1\t1\t1\t1\t1\n' >>expected.txt
same "tuple keys" expected.txt

# Sums are compensated; an overflow to infinity is reported; 1e400 is out of range.
printf '2026-03-02 10:00:00,0.1\n2026-03-02 10:00:00,0.2\n2026-03-02 10:00:00,0.3\n' >sum.csv
expect 0 "" -p hour sum.csv
[[ $(sed -n 2p out.txt | cut -f3) == 0.6 ]] || fail "compensated sum: $(cat out.txt)"
printf '2026-03-02 10:00:00,1e308\n2026-03-02 10:00:00,1e308\n2026-03-02 10:00:00,1e400\n' >big.csv
expect 0 "big.csv:3: column 2 is out of range: '1e400'" -p hour big.csv
grep -qE "the sum of column 2 \('c2'\) overflowed to infinity in 1 group$" err.txt || fail "overflow: $(cat err.txt)"
# The same in the last of 5000 groups, whose lines another thread formats.
python3 -c 'for i in range(5000): print(f"2026-03-02 10:00:00,k{i:04d},{1e308 if i == 4999 else 1}")' >many.csv
printf '2026-03-02 10:00:00,k4999,1e308\n' >>many.csv
for jobs in 1 2; do
    expect 0 "the sum of column 3 ('c3') overflowed to infinity in 1 group" -j $jobs -k 2 -p hour many.csv
done

# Messages: long fields cut to 80 bytes, no internal names; "1 row".
printf '%0200d,1\n02-03-2026,1\n' 0 >long.csv
expect 1 "long.csv:1: time does not parse: '$(printf '%080d' 0)...'" -p hour long.csv
grep -qF "long.csv:2: time does not parse: '02-03-2026'" err.txt || fail "two-digit field: $(cat err.txt)"
grep -qiE "set|\(\)" err.txt && fail "internal names: $(cat err.txt)"

# The output never replaces the input, and an unwritable output fails before any work;
# write errors end with status 2, for every kind of output.
cp small.csv same.csv
expect 2 "qelkit-agg: 'same.csv' is the input file" --zlib same.csv -p hour same.csv
cmp -s small.csv same.csv || fail "--zlib overwrote its input"
"$AGG" -p hour same.csv >>same.csv 2>err.txt
[[ $? == 2 ]] && grep -qF "qelkit-agg: standard output is the input file 'same.csv'" err.txt ||
    fail "output appended to the input: $(cat err.txt)"
cmp -s small.csv same.csv || fail "standard output overwrote its input"
expect 2 "qelkit-agg: cannot open 'no/such/dir.z': No such file or directory" --zlib no/such/dir.z -p hour missing.csv
for args in "--help" "--version" "--sql ts -p hour" "-p hour small.csv"; do
    "$AGG" $args >/dev/full 2>err.txt
    [[ $? == 2 ]] && grep -qF "qelkit-agg: cannot write to standard output: No space left on device" err.txt ||
        fail "$args >/dev/full: $(cat err.txt)"
done

# The bundled sample is what the generator makes.
"$GEN" | cmp -s - "$SAMPLE" || fail "data/sample.csv differs from qelkit-gen-sample output"

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "all qelkit-agg checks passed"
