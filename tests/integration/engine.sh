#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The engine driver of run.sh: starts ENGINE privately, loads WORK_DIR/raw.tsv into a table raw
# (src, line, ts without a zone, station), groups it by every expression of the engine's dialects
# in WORK_DIR/expr.tsv and writes WORK_DIR/out-ENGINE.tsv: dialect, expression id, src, period
# start as YYYY-MM-DD HH:MM:SS (for to_char: its text), station, the lines of the group. The
# engine is stopped on every way out.
#   postgresql  dialects postgresql, oracle and to_char, on a server in WORK_DIR/pg listening on
#               a Unix socket there only (no port to collide); as root, the server programs run
#               as postgres. The session zone is UTC: TO_TIMESTAMP, used by the oracle forms,
#               gives a time with zone, which must not meet a daylight-saving gap.
#               PG_BINDIR: default the newest /usr/lib/postgresql/*/bin.
#   clickhouse  the two-shard cluster of clickhouse_cluster.sh: the rows are inserted through a
#               Distributed table (each shard must receive some) and grouped through it. ts is
#               a DateTime('UTC') holding the wall clock while the servers run in a zone with
#               daylight saving: the expressions must read the column's zone, not the server's.
#   duckdb      an in-memory database of duckdb.mjs.
# Usage: engine.sh ENGINE WORK_DIR
set -euo pipefail
engine=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "engine.sh: $engine: $*" >&2
  exit 2
}
stop() { :; }
trap 'stop' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Each engine sets: its dialects; show, the text of the period start g; lines, the aggregate
# listing the lines; before and after, the text around the expression that makes g and groups
# by it; load (prints the statements that load raw.tsv) and run (runs statements from stdin).
case $engine in
  postgresql)
    dialects="postgresql oracle to_char" show="to_char(g, 'YYYY-MM-DD HH24:MI:SS')"
    lines="string_agg(line::text, ',')"
    bindir=${PG_BINDIR:-$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)}
    [ -x "$bindir/initdb" ] ||
      fail "PostgreSQL not found: install the Debian package postgresql (.ci/deps integration does)"
    dir=$work/pg as_pg=()
    mkdir -p "$dir/data"
    if [ "$(id -u)" -eq 0 ]; then  # the server refuses to run as root
      id postgres >/dev/null 2>&1 || fail "running as root, but there is no postgres user"
      as_pg=(runuser -u postgres --)
      chown -R postgres: "$dir"
    fi
    # shellcheck disable=SC2317  # called by the EXIT trap
    stop() { "${as_pg[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop &>/dev/null || :; }
    "${as_pg[@]}" "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C \
      --no-sync >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; fail "initdb failed"; }
    "${as_pg[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-k $dir -p 54329 -h '' -c fsync=off -c full_page_writes=off" start >/dev/null ||
      { cat "$dir/server.log" >&2; fail "the server did not start"; }
    load() {
      echo "CREATE TABLE raw (src text, line int, ts timestamp, station text);"
      echo "COPY raw FROM STDIN;"
      cat "$work/raw.tsv"
      printf '\\.\nANALYZE raw;\n'
    }
    run() {
      PGOPTIONS="-c TimeZone=UTC" "${as_pg[@]}" "$bindir/psql" -X -q -A -t -F $'\t' \
        -v ON_ERROR_STOP=1 -h "$dir" -p 54329 -U postgres -d postgres
    } ;;
  clickhouse)
    dialects=clickhouse show="formatDateTime(g, '%Y-%m-%d %H:%M:%S', 'UTC')"
    lines="arrayStringConcat(arrayMap(x -> toString(x), groupArray(line)), ',')"
    before="raw GROUP BY src, " after=" AS g, station"
    # shellcheck source=tests/integration/clickhouse_cluster.sh
    . "$here/clickhouse_cluster.sh"
    stop() { ch_stop; }
    ch_start "$work"
    for n in 0 1; do
      ch $n -q "CREATE TABLE raw_local (src String, line UInt32, ts DateTime('UTC'), station String)
                ENGINE = MergeTree ORDER BY (src, line)"
    done
    ch 0 -q "CREATE TABLE raw AS raw_local ENGINE = Distributed(qelkit_two_shards, default, raw_local, line)"
    ch 0 --insert_distributed_sync=1 -q "INSERT INTO raw FORMAT TabSeparated" <"$work/raw.tsv"
    counts=("$(ch 0 -q "SELECT count() FROM raw_local")" "$(ch 1 -q "SELECT count() FROM raw_local")")
    if [ "${counts[0]}" -eq 0 ] || [ "${counts[1]}" -eq 0 ] ||
       [ $((counts[0] + counts[1])) -ne "$(wc -l <"$work/raw.tsv")" ]; then
      fail "the shards hold ${counts[0]} and ${counts[1]} of the rows"
    fi
    echo "engine.sh: the rows inserted through the Distributed table: ${counts[*]} on the shards"
    load() { :; }
    run() { ch 0 --multiquery --format TabSeparated; } ;;
  duckdb)
    dialects=duckdb show="strftime(g, '%Y-%m-%d %H:%M:%S')" lines="string_agg(CAST(line AS VARCHAR), ',')"
    command -v node >/dev/null ||
      fail "node not found: install the Debian package nodejs (.ci/deps integration does)"
    load() {
      echo "CREATE TABLE raw AS SELECT * FROM read_csv('$work/raw.tsv', delim = '\t', header = false,"
      echo "  columns = {'src': 'VARCHAR', 'line': 'INTEGER', 'ts': 'TIMESTAMP', 'station': 'VARCHAR'});"
    }
    run() { node "$here/duckdb.mjs"; } ;;
  *) fail "unknown engine" ;;
esac
: "${before=(SELECT src, line, station, }" "${after= AS g FROM raw) x GROUP BY src, g, station}"

{
  load
  while IFS=$'\t' read -r dialect id expr; do
    [[ " $dialects " = *" $dialect "* ]] || continue
    echo "SELECT '$dialect', $id, src, $([ "$dialect" = to_char ] && echo g || echo "$show"),"
    echo "  station, $lines FROM $before$expr$after;"
  done <"$work/expr.tsv"
} | run >"$work/out-$engine.tsv"
