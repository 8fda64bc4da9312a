#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times qelkit-agg against (a) sqlite3 importing the CSV and grouping by a strftime expression,
# (b) a plain C++ program (baseline.cc: std::getline, strptime, mktime, std::map) and (c) the
# engines of bench/agg/engines.sh when it is present (DuckDB, ClickHouse), all grouping the same
# generated file by 15 minutes and device. qelkit-agg runs with every core, with --jobs 1 and
# --jobs 2, on a .gz copy of the file and behind `zcat FILE |`; the same work done with the
# library's public classes (engine_bench.cc, when BUILD_DIR holds it) runs beside it. Two more
# jobs go to qelkit-agg and DuckDB: the same file with -a median,p95, and a second shape
# (gen_wide.py: 12 columns, a quoted text column, ISO 8601 times with Z and +00:00) grouped by
# 15 minutes, site and device over three value columns named in its header. Prints the median
# wall time of 3 runs and the peak resident memory of each, then the ratios against the goals.
#
# Usage: bench/agg/run.sh [ROWS] [BUILD_DIR] [ROWS2]
#   ROWS       rows to generate (default 10000000, about 500 MB; 100 devices every 10 s)
#   BUILD_DIR  an optimised build holding tools/qelkit-agg and tools/qelkit-gen-sample
#              (default build/release, configured and built from the release preset if absent)
#   ROWS2      rows of the second shape (default 5000000, about 560 MB)
#   AGG_BEFORE=PATH  also time another qelkit-agg (an older build) the same way, for a ratio.
# Needs sqlite3, gzip, GNU time (/usr/bin/time), g++ and python3. Scratch files go to
# $TMPDIR/qelkit-agg-bench.
#
# engines.sh is called as `engines.sh ROWS DATA AGG_OUTPUT AGG_QUANTILES DATA2 AGG2_OUTPUT` (the
# outputs: qelkit-agg's on the files, to check the engines against); its output is shown as it
# is, and its lines "median duckdb SECONDS", "median duckdb-quantiles ..." and
# "median duckdb-wide ..." enter the ratios.
set -euo pipefail
ROWS=${1:-10000000}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${2:-$ROOT/build/release}
ROWS2=${3:-5000000}
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
[[ -s $DATA.gz && $DATA.gz -nt $DATA ]] || gzip -c "$DATA" >"$DATA.gz"
SIZE=$(stat -c %s "$DATA")
DATA2=$WORK/wide-$ROWS2.csv
[[ -s $DATA2 ]] || { "$ROOT/bench/agg/gen_wide.py" "$ROWS2" >"$DATA2.part" && mv "$DATA2.part" "$DATA2"; }

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
    printf '%-16s median %8.2f s  (runs: %s)  peak RSS %8d KiB\n' "$name" "$MEDIAN" \
        "${times[*]}" "$PEAK"
}

ARGS=(--header -k 2 -p "15 minute")
echo "$ROWS rows, $SIZE bytes, grouped by 15 minutes and device; $(nproc) cores"
echo "load before: $(uptime)"
measure qelkit-agg "$AGG" "${ARGS[@]}" "$DATA"
AGG_TIME=$MEDIAN AGG_PEAK=$PEAK
# The threads drop the mapped pages they have read, so the peak RSS no longer holds the whole
# file: the memory beyond the mapping is the peak of the anonymous memory, sampled each ms.
AGG_ANON=$("$ROOT/bench/agg/peak_anon.py" "$AGG" "${ARGS[@]}" "$DATA")
ENGINE_TIME=
if [[ -x $BUILD/bench/qelkit_agg_engine_bench ]]; then
    measure engine "$BUILD/bench/qelkit_agg_engine_bench" "$DATA" "$(nproc)"
    ENGINE_TIME=$MEDIAN
fi
measure jobs-1 "$AGG" --jobs 1 "${ARGS[@]}" "$DATA"
J1_TIME=$MEDIAN
measure jobs-2 "$AGG" --jobs 2 "${ARGS[@]}" "$DATA"
J2_TIME=$MEDIAN
measure gz "$AGG" "${ARGS[@]}" "$DATA.gz"
GZ_TIME=$MEDIAN GZ_PEAK=$PEAK
measure zcat-pipe sh -c 'zcat "$1" | "$2" --header -k 2 -p "15 minute" -' sh "$DATA.gz" "$AGG"
PIPE_TIME=$MEDIAN
measure quantiles "$AGG" "${ARGS[@]}" -a median,p95 "$DATA"
QUANT_TIME=$MEDIAN
echo "second shape: $ROWS2 rows, $(stat -c %s "$DATA2") bytes, 12 columns"
measure wide "$AGG" --header -t time -k site,device -v a,b,c -p "15 minute" "$DATA2"
WIDE_TIME=$MEDIAN
BEFORE_TIME=
if [[ -n ${AGG_BEFORE:-} ]]; then
    measure before "$AGG_BEFORE" "${ARGS[@]}" "$DATA"
    BEFORE_TIME=$MEDIAN
fi
measure baseline "$WORK/baseline" "$DATA"
BASE_TIME=$MEDIAN
measure sqlite3 sqlite3 :memory: -init "$WORK/group.sql" .quit
SQL_TIME=$MEDIAN
ENGINES=$WORK/engines.txt
: >"$ENGINES"
if [[ -x $ROOT/bench/agg/engines.sh ]]; then
    "$ROOT/bench/agg/engines.sh" "$ROWS" "$DATA" "$WORK/qelkit-agg.out" "$WORK/quantiles.out" \
        "$DATA2" "$WORK/wide.out" | tee "$ENGINES" || true
fi
echo "load after: $(uptime)"

# They must agree: every run of qelkit-agg byte for byte; the baseline on periods, devices and
# counts, its numbers within rounding (it sums naively); sqlite3 on periods, devices and counts.
for name in jobs-1 jobs-2 gz zcat-pipe ${ENGINE_TIME:+engine}; do
    cmp -s "$WORK/qelkit-agg.out" "$WORK/$name.out" || echo "WARNING: $name output differs"
done
awk -F'\t' 'function abs(x) { return x < 0 ? -x : x }
    NR == FNR { line[FNR] = $0; lines = FNR; next }
    { split(line[FNR], a, "\t")
      for (i = 1; i <= NF; i++)
          if (i <= 3 ? a[i] != $i : abs(a[i] - $i) > 1e-9 * (1 + abs($i))) bad++ }
    END { exit bad > 0 || FNR != lines }' \
    "$WORK/qelkit-agg.out" "$WORK/baseline.out" || echo "WARNING: baseline output differs"
cut -f1-3 "$WORK/qelkit-agg.out" | tail -n +2 >"$WORK/agg.keys"
cut -f1-3 "$WORK/sqlite3.out" >"$WORK/sql.keys"
cmp -s "$WORK/agg.keys" "$WORK/sql.keys" || echo "WARNING: sqlite3 groups differ"

engine_median() { awk -v name="$1" '$1 == "median" && $2 == name { print $3 }' "$ENGINES"; }
awk -v a="$AGG_TIME" -v j1="$J1_TIME" -v j2="$J2_TIME" -v gz="$GZ_TIME" -v pipe="$PIPE_TIME" \
    -v b="$BASE_TIME" -v s="$SQL_TIME" -v d="$(engine_median duckdb)" -v before="$BEFORE_TIME" \
    -v q="$QUANT_TIME" -v dq="$(engine_median duckdb-quantiles)" \
    -v w="$WIDE_TIME" -v dw="$(engine_median duckdb-wide)" \
    -v p="$AGG_PEAK" -v anon="$AGG_ANON" -v gp="$GZ_PEAK" -v e="$ENGINE_TIME" 'BEGIN {
    printf "speed-up vs sqlite3:         %6.1fx (goal >= 15x)\n", s / a
    printf "speed-up vs baseline:        %6.1fx (goal >= 1.5x)\n", b / a
    if (d != "") printf "speed-up vs DuckDB:          %6.1fx (goal >= 5x)\n", d / a
    if (dq != "") printf "median,p95 vs DuckDB:        %6.1fx (goal >= 2x)\n", dq / q
    if (dw != "") printf "second shape vs DuckDB:      %6.1fx (goal >= 4x)\n", dw / w
    printf "--jobs 2 over --jobs 1:      %6.2fx (goal >= 1.8x)\n", j1 / j2
    printf ".gz over zcat | qelkit-agg -: %6.2fx (goal >= 0.8x)\n", pipe / gz
    if (before != "") printf "time against AGG_BEFORE:     %6.2fx (goal <= 1.03x)\n", a / before
    if (e != "") printf "library classes vs the tool: %6.2fx its time (goal <= 1x)\n", e / a
    printf "memory beyond the mapped file: %.1f MiB (goal < 64 MiB; peak RSS in all %.1f MiB);",
           anon / 1024, p / 1024
    printf " .gz input: %.1f MiB\n", gp / 1024
}'
