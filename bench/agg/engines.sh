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
# Each runs 3 times; prints one line per engine, "median NAME SECONDS s (runs: ...)", with the
# peak resident memory where the engine runs in one process, then checks that the periods,
# devices and counts of its last run equal qelkit-agg's (a WARNING line when they do not).
#
# Usage: bench/agg/engines.sh ROWS DATA AGG_OUTPUT   (as run.sh calls it)
#   ROWS        the rows of DATA, for the heading
#   DATA        the CSV of run.sh: a header line, then time,device,temperature,humidity,power,flow
#   AGG_OUTPUT  qelkit-agg's output for DATA grouped by "15 minute" and device (a header line,
#               then period, device, count, ... separated by tabs)
# Environment: QELKIT_AGG (the tool that prints the expressions; default build/release's),
# QELKIT_BENCH_ENGINES (default "duckdb clickhouse"). Needs what .ci/deps integration
# installs. Scratch files go to a temporary directory, removed on every way out.
set -euo pipefail
ROWS=$1 DATA=$2 AGG_OUT=$3
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
# The select list after the period: device, count and the statistics.
stats() {
  local v list="device, count(*)"
  for v in "${VALUES[@]}"; do list+=", sum($v), min($v), max($v), avg($v)"; done
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
  printf 'median %-11s %8.2f s  (runs: %s)%s\n' "$name" \
    "$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)" "${times[*]}" "$peak"
  # Period, device and count must be qelkit-agg's, line for line once sorted.
  tail -n +2 "$AGG_OUT" | cut -f1-3 | sort >"$WORK/agg.keys"
  cut -f1-3 "$WORK/$name.out" | sort >"$WORK/$name.keys"
  cmp -s "$WORK/agg.keys" "$WORK/$name.keys" || echo "WARNING: $name groups differ from qelkit-agg's"
}

duckdb_group() {
  /usr/bin/time -f %M -a -o "$WORK/rss" node "$ROOT/tests/integration/duckdb.mjs" <"$WORK/duckdb.sql"
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
  ch 0 -q "SELECT formatDateTime(g, '%Y-%m-%d %H:%M:%S', 'UTC'), $(stats)
           FROM m GROUP BY $(expression clickhouse) AS g, device ORDER BY g, device"
}

echo "SQL engines on $ROWS rows, each grouped by qelkit-agg --sql ts -p \"15 minute\" --dialect NAME"
for engine in ${QELKIT_BENCH_ENGINES:-duckdb clickhouse}; do
  case $engine in
    duckdb)
      cat >"$WORK/duckdb.sql" <<EOF
SELECT strftime(g, '%Y-%m-%d %H:%M:%S'), $(stats)
FROM (SELECT *, $(expression duckdb) AS g FROM read_csv('$DATA', header = true, columns = {
  'ts': 'TIMESTAMP', 'device': 'VARCHAR', 'temperature': 'DOUBLE', 'humidity': 'DOUBLE',
  'power': 'DOUBLE', 'flow': 'DOUBLE'}))
GROUP BY g, device ORDER BY g, device;
EOF
      runs duckdb duckdb_group
      ;;
    clickhouse)
      ch_start "$WORK"
      runs clickhouse ch_load_and_group
      ch_stop
      ;;
    *)
      echo "engines.sh: unknown engine '$engine'" >&2
      exit 2
      ;;
  esac
done
