#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The ClickHouse driver of run.sh, on the two-shard cluster of clickhouse_cluster.sh in
# WORK_DIR. The rows of WORK_DIR/raw.tsv are inserted through a Distributed table over both
# shards (each shard must receive some), then grouped through that table by every clickhouse
# expression of WORK_DIR/expr.tsv; the groups go to WORK_DIR/out-clickhouse.tsv. The servers
# are stopped on every way out. The time column is a DateTime('UTC') holding the wall clock,
# while the servers run in a zone with daylight saving: the expressions must read the calendar
# in the column's zone, never the server's.
# Usage: clickhouse.sh WORK_DIR
set -euo pipefail
work=$1
# shellcheck source=tests/integration/clickhouse_cluster.sh
. "$(dirname "$0")/clickhouse_cluster.sh"
trap ch_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
ch_start "$work"

for n in 0 1; do
  ch $n -q "CREATE TABLE raw_local (src String, line UInt32, ts DateTime('UTC'), station String)
            ENGINE = MergeTree ORDER BY (src, line)"
done
ch 0 -q "CREATE TABLE raw AS raw_local ENGINE = Distributed(qelkit_two_shards, default, raw_local, line)"
ch 0 --insert_distributed_sync=1 -q "INSERT INTO raw FORMAT TabSeparated" <"$work/raw.tsv"
total=$(wc -l <"$work/raw.tsv")
counts=("$(ch 0 -q "SELECT count() FROM raw_local")" "$(ch 1 -q "SELECT count() FROM raw_local")")
if [ "${counts[0]}" -eq 0 ] || [ "${counts[1]}" -eq 0 ] ||
   [ $((counts[0] + counts[1])) -ne "$total" ]; then
  echo "clickhouse.sh: the shards hold ${counts[0]} and ${counts[1]} rows of $total" >&2
  exit 2
fi
echo "clickhouse.sh: $total rows inserted through the Distributed table:" \
     "${counts[0]} and ${counts[1]} on the two shards"

while IFS=$'\t' read -r dialect id expr; do
  [ "$dialect" = clickhouse ] || continue
  echo "SELECT 'clickhouse', $id, src, formatDateTime(g, '%Y-%m-%d %H:%M:%S', 'UTC'), station,"
  echo "  arrayStringConcat(arrayMap(x -> toString(x), groupArray(line)), ',')"
  echo "  FROM raw GROUP BY src, $expr AS g, station;"
done <"$work/expr.tsv" | ch 0 --multiquery --format TabSeparated >"$work/out-clickhouse.tsv"
