#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times qelkit-agg against (a) sqlite3 importing the CSV and grouping by a strftime expression and
# (b) a plain C++ program (baseline.cc: std::getline, strptime, mktime, std::map), all grouping
# the same generated file by 15 minutes and device. Prints the median wall time of 3 runs and the
# peak resident memory of each, then the ratios against the goals (>= 10x sqlite3, >= 1.5x the
# baseline, qelkit-agg's memory beyond the mapped file under 64 MiB).
#
# Usage: bench/agg/run.sh [ROWS] [BUILD_DIR]
#   ROWS       rows to generate (default 10000000, about 500 MB; 100 devices every 10 s)
#   BUILD_DIR  an optimised build holding tools/qelkit-agg and tools/qelkit-gen-sample
#              (default build/release, configured and built from the release preset if absent)
# Needs sqlite3, GNU time (/usr/bin/time) and g++. Scratch files go to $TMPDIR/qelkit-agg-bench.
set -euo pipefail
ROWS=${1:-10000000}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${2:-$ROOT/build/release}
WORK=${TMPDIR:-/tmp}/qelkit-agg-bench
export TZ=UTC LC_ALL=C

if [[ ! -x $BUILD/tools/qelkit-agg || ! -x $BUILD/tools/qelkit-gen-sample ]]; then
    (cd "$ROOT" && cmake --preset release >/dev/null &&
        cmake --build --preset release --target qelkit-agg qelkit-gen-sample)
    BUILD=$ROOT/build/release
fi
AGG=$BUILD/tools/qelkit-agg
mkdir -p "$WORK"
g++ -O2 -std=c++17 "$ROOT/bench/agg/baseline.cc" -o "$WORK/baseline"

DATA=$WORK/rows-$ROWS.csv
[[ -s $DATA ]] || "$BUILD/tools/qelkit-gen-sample" "$ROWS" 100 10 >"$DATA"
SIZE=$(stat -c %s "$DATA")

cat >"$WORK/group.sql" <<EOF
CREATE TABLE m(time TEXT, device TEXT, temperature REAL, humidity REAL, power REAL, flow REAL);
.mode csv
.import --skip 1 $DATA m
.mode tabs
SELECT strftime('%Y-%m-%d %H:', time) ||
       printf('%02d', CAST(strftime('%M', time) AS INTEGER) / 15 * 15) || ':00' AS period,
       device, count(*),
       sum(temperature), min(temperature), max(temperature), avg(temperature),
       sum(humidity), min(humidity), max(humidity), avg(humidity),
       sum(power), min(power), max(power), avg(power),
       sum(flow), min(flow), max(flow), avg(flow)
FROM m GROUP BY period, device ORDER BY period, device;
EOF

# measure NAME COMMAND...: runs 3 times; sets MEDIAN (seconds) and PEAK (KiB, the largest).
measure() {
    local name=$1
    shift
    local times=() peak=0
    for _ in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$WORK/time.txt" "$@" >"$WORK/$name.out" 2>/dev/null
        read -r seconds kib <"$WORK/time.txt"
        times+=("$seconds")
        ((kib > peak)) && peak=$kib
    done
    MEDIAN=$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)
    PEAK=$peak
    printf '%-12s median %8.2f s  (runs: %s)  peak RSS %8d KiB\n' "$name" "$MEDIAN" \
        "${times[*]}" "$PEAK"
}

echo "$ROWS rows, $SIZE bytes, grouped by 15 minutes and device; $(nproc) cores"
measure qelkit-agg "$AGG" --header -k 2 -p "15 minute" "$DATA"
AGG_TIME=$MEDIAN AGG_PEAK=$PEAK
measure baseline "$WORK/baseline" "$DATA"
BASE_TIME=$MEDIAN
measure sqlite3 sqlite3 :memory: -init "$WORK/group.sql" .quit
SQL_TIME=$MEDIAN

# The three must agree: byte for byte with the baseline; period, device and count with sqlite3.
cmp -s "$WORK/qelkit-agg.out" "$WORK/baseline.out" || echo "WARNING: baseline output differs"
cut -f1-3 "$WORK/qelkit-agg.out" | tail -n +2 >"$WORK/agg.keys"
cut -f1-3 "$WORK/sqlite3.out" >"$WORK/sql.keys"
cmp -s "$WORK/agg.keys" "$WORK/sql.keys" || echo "WARNING: sqlite3 groups differ"

awk -v a="$AGG_TIME" -v b="$BASE_TIME" -v s="$SQL_TIME" -v p="$AGG_PEAK" -v z="$SIZE" 'BEGIN {
    printf "speed-up vs sqlite3:  %6.1fx (goal >= 10x)\n", s / a
    printf "speed-up vs baseline: %6.1fx (goal >= 1.5x)\n", b / a
    printf "qelkit-agg memory beyond the mapped file: %.1f MiB (goal < 64 MiB)\n",
           (p * 1024 - z) / 1048576
}'
