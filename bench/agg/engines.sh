#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The SQL engines of the qelkit-agg benchmark (bench/agg/run.sh): the same CSV grouped by
# 15 minutes and device with the same statistics (count, and sum, min, max and mean of every
# value column), each grouping by the expression `qelkit-agg --sql ts -p "15 minute" --dialect D`
# prints for its dialect:
#   duckdb      DuckDB through its Node.js package (tests/integration/duckdb.mjs), reading the
#               CSV directly, with as many threads as cores;
#   clickhouse  the two-shard ClickHouse cluster of tests/integration/clickhouse_cluster.sh: the
#               rows loaded through a Distributed table, then grouped through it; the time is
#               load plus group (as information: the servers share the machine's cores).
# DuckDB also runs two more jobs when their files are given:
#   duckdb-quantiles  the same groups with quantile_cont(v, 0.5) and quantile_cont(v, 0.95) of
#                     every value column (qelkit-agg's -a median,p95);
#   duckdb-wide       the second data shape (gen_wide.py) read with explicit column types, the
#                     time as TIMESTAMPTZ, grouped by time_bucket(INTERVAL '15 minutes', ts) in
#                     UTC, site and device, with the default statistics of a, b and c.
# Each runs 3 times; prints one line per job, "median NAME SECONDS s (runs: ...)", with the
# peak resident memory where the engine runs in one process, then checks its last run against
# qelkit-agg's output (a WARNING line when they differ): periods, keys and counts equal, and
# for duckdb-quantiles every value within 1e-9 relative.
#
# Usage: bench/agg/engines.sh ROWS DATA AGG_OUTPUT [AGG_QUANTILES [DATA2 AGG2_OUTPUT]]
#   ROWS           the rows of DATA, for the heading
#   DATA           the CSV of run.sh: a header line, then time,device,temperature,humidity,power,flow
#   AGG_OUTPUT     qelkit-agg's output for DATA grouped by "15 minute" and device (a header line,
#                  then period, device, count, ... separated by tabs)
#   AGG_QUANTILES  qelkit-agg's output for the same with -a median,p95
#   DATA2          the CSV of gen_wide.py
#   AGG2_OUTPUT    qelkit-agg's output for DATA2 with -t time -k site,device -v a,b,c
# Environment: QELKIT_AGG (the tool that prints the expressions; default build/release's),
# QELKIT_BENCH_ENGINES (default "duckdb clickhouse"). Needs what .ci/deps integration
# installs. Scratch files go to a temporary directory, removed on every way out.
set -euo pipefail
ROWS=$1 DATA=$2 AGG_OUT=$3 AGG_QUANTILES=${4:-} DATA2=${5:-} AGG2_OUT=${6:-}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
AGG=${QELKIT_AGG:-$ROOT/build/release/tools/qelkit-agg}
[ -x "$AGG" ] || { echo "engines.sh: no qelkit-agg at $AGG (set QELKIT_AGG)" >&2; exit 2; }
export TZ=UTC LC_ALL=C
WORK=$(mktemp -d "${TMPDIR:-/tmp}/qelkit-engines-bench.XXXXXX")
# shellcheck source=tests/integration/clickhouse_cluster.sh
. "$ROOT/tests/integration/clickhouse_cluster.sh"
# shellcheck disable=SC2317  # called by the traps
cleanup() {
  ch_stop
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

VALUES=(temperature humidity power flow)
DEFAULT='sum(@), min(@), max(@), avg(@)'
# per_value TEMPLATE COLUMN...: ", TEMPLATE" once per column, each @ replaced by its name.
per_value() {
  local template=$1 v list=""
  shift
  for v; do list+=", ${template//@/$v}"; done
  echo "$list"
}
expression() { "$AGG" --sql ts --period "15 minute" --dialect "$1"; }

# runs NAME COMMAND...: times the command 3 times (its output to WORK/NAME.out); prints the line.
runs() {
  local name=$1 times=() start
  shift
  for _ in 1 2 3; do
    start=$EPOCHREALTIME
    "$@" >"$WORK/$name.out"
    times+=("$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')")
  done
  local peak=""
  [ -s "$WORK/rss" ] && peak="  peak RSS $(sort -n "$WORK/rss" | tail -n 1) KiB"
  rm -f "$WORK/rss"
  printf 'median %-16s %8.2f s  (runs: %s)%s\n' "$name" \
    "$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)" "${times[*]}" "$peak"
}

# check NAME AGG_OUTPUT FIELDS [VALUES]: NAME's last output against qelkit-agg's, line for line
# once sorted: the first FIELDS fields (period, keys, count) equal; with VALUES, every further
# field within 1e-9 relative.
check() {
  tail -n +2 "$2" | sort >"$WORK/agg.sorted"
  sort "$WORK/$1.out" >"$WORK/$1.sorted"
  awk -F'\t' -v fields="$3" -v values="${4:-}" 'function abs(x) { return x < 0 ? -x : x }
    FILENAME == ARGV[1] { line[FNR] = $0; lines = FNR; next }
    { if (split(line[FNR], a, "\t") != NF) bad++
      for (i = 1; i <= NF; i++)
        if (i <= fields ? a[i] != $i : values && abs(a[i] - $i) > 1e-9 * abs($i)) bad++ }
    END { exit bad > 0 || FNR != lines }' "$WORK/agg.sorted" "$WORK/$1.sorted" ||
    echo "WARNING: $1 output differs from qelkit-agg's"
}

duckdb_group() {
  /usr/bin/time -f %M -a -o "$WORK/rss" node "$ROOT/tests/integration/duckdb.mjs" <"$WORK/$1.sql"
}
# duckdb_by_device SELECT_LIST: DuckDB's statement grouping DATA by period and device.
duckdb_by_device() {
  cat <<EOF
SELECT strftime(g, '%Y-%m-%d %H:%M:%S'), device$1
FROM (SELECT *, $(expression duckdb) AS g FROM read_csv('$DATA', header = true, columns = {
  'ts': 'TIMESTAMP', 'device': 'VARCHAR', 'temperature': 'DOUBLE', 'humidity': 'DOUBLE',
  'power': 'DOUBLE', 'flow': 'DOUBLE'}))
GROUP BY g, device ORDER BY g, device;
EOF
}
duckdb_wide() {
  cat <<EOF
SET TimeZone = 'UTC';
SELECT strftime(g, '%Y-%m-%d %H:%M:%S'), site, device, count(*)$(per_value "$DEFAULT" a b c)
FROM (SELECT *, time_bucket(INTERVAL '15 minutes', ts) AS g FROM read_csv('$DATA2',
  header = true, columns = {'id': 'BIGINT', 'ts': 'TIMESTAMPTZ', 'site': 'VARCHAR',
  'status': 'VARCHAR', 'device': 'VARCHAR', 'a': 'DOUBLE', 'note': 'VARCHAR', 'b': 'DOUBLE',
  'rssi': 'INTEGER', 'c': 'DOUBLE', 'firmware': 'VARCHAR', 'battery': 'DOUBLE'}))
GROUP BY g, site, device ORDER BY g, site, device;
EOF
}
ch_load_and_group() {
  local n
  for n in 0 1; do
    ch $n -q "DROP TABLE IF EXISTS m_local"
    ch $n -q "CREATE TABLE m_local (ts DateTime('UTC'), device String, temperature Float64,
              humidity Float64, power Float64, flow Float64) ENGINE = MergeTree ORDER BY ts"
  done
  ch 0 -q "DROP TABLE IF EXISTS m"
  ch 0 -q "CREATE TABLE m AS m_local ENGINE = Distributed(qelkit_two_shards, default, m_local, rand())"
  ch 0 --insert_distributed_sync=1 -q "INSERT INTO m FORMAT CSVWithNames" <"$DATA"
  ch 0 -q "SELECT formatDateTime(g, '%Y-%m-%d %H:%M:%S', 'UTC'), device,
           count(*)$(per_value "$DEFAULT" "${VALUES[@]}")
           FROM m GROUP BY $(expression clickhouse) AS g, device ORDER BY g, device"
}

echo "SQL engines on $ROWS rows, each grouped by qelkit-agg --sql ts -p \"15 minute\" --dialect NAME"
for engine in ${QELKIT_BENCH_ENGINES:-duckdb clickhouse}; do
  case $engine in
    duckdb)
      duckdb_by_device ", count(*)$(per_value "$DEFAULT" "${VALUES[@]}")" >"$WORK/duckdb.sql"
      runs duckdb duckdb_group duckdb
      check duckdb "$AGG_OUT" 3
      if [ -n "$AGG_QUANTILES" ]; then
        duckdb_by_device "$(per_value 'quantile_cont(@, 0.5), quantile_cont(@, 0.95)' \
          "${VALUES[@]}")" >"$WORK/duckdb-quantiles.sql"
        runs duckdb-quantiles duckdb_group duckdb-quantiles
        check duckdb-quantiles "$AGG_QUANTILES" 2 values
      fi
      if [ -n "$DATA2" ]; then
        duckdb_wide >"$WORK/duckdb-wide.sql"
        runs duckdb-wide duckdb_group duckdb-wide
        check duckdb-wide "$AGG2_OUT" 4
      fi
      ;;
    clickhouse)
      ch_start "$WORK"
      runs clickhouse ch_load_and_group
      check clickhouse "$AGG_OUT" 3
      ch_stop
      ;;
    *)
      echo "engines.sh: unknown engine '$engine'" >&2
      exit 2
      ;;
  esac
done
