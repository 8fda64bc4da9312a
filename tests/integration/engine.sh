#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The engine driver of run.sh: starts ENGINE privately, loads the tables of run.sh with one
# loader, runs the grouping check and the query cases, and stops the engine on every way out.
#   - raw: WORK_DIR/raw.tsv (src, line, ts without a zone, station), grouped by every expression
#     of the engine's dialects in WORK_DIR/expr.tsv; the groups go to WORK_DIR/out-ENGINE.tsv:
#     dialect, expression id, src, period start as YYYY-MM-DD HH:MM:SS (for to_char: its text),
#     station, the lines of the group.
#   - readings: WORK_DIR/readings.tsv (ts, site, station, temp, hum, wind; \N for a missing
#     value); each query WORK_DIR/query/CASE.DIALECT.sql of the engine's
#     dialects runs on it as printed, and WORK_DIR/out-query-ENGINE.tsv gets a line "#query
#     CASE.DIALECT" and then the rows, fields separated by tabs, NULL as "" or \N.
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

# Each engine sets: its dialects and query dialects (those whose queries it runs); show, the
# text of the period start g; lines, the aggregate listing the lines; before and after, the text
# around the expression that makes g and groups by it; type, its column type of each kind (text,
# int, time, real: a number that may be missing); load NAME FILE COLUMNS (prints the statements
# that load a TSV file into a table, COLUMNS its "name:kind ..."), and run (runs statements from
# stdin).
declare -A type
case $engine in
  postgresql)
    dialects="postgresql oracle to_char" queries=postgresql
    show="to_char(g, 'YYYY-MM-DD HH24:MI:SS')" lines="string_agg(line::text, ',')"
    type=([text]=text [int]=int [time]=timestamp [real]="double precision")
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
      echo "CREATE TABLE $1 ($(columns "$3" ' ' ', '));"
      echo "COPY $1 FROM STDIN;"
      cat "$2"
      printf '\\.\nANALYZE %s;\n' "$1"
    }
    run() {
      PGOPTIONS="-c TimeZone=UTC" "${as_pg[@]}" "$bindir/psql" -X -q -A -t -F $'\t' \
        -v ON_ERROR_STOP=1 -h "$dir" -p 54329 -U postgres -d postgres
    } ;;
  clickhouse)
    dialects=clickhouse queries=clickhouse show="formatDateTime(g, '%Y-%m-%d %H:%M:%S', 'UTC')"
    lines="arrayStringConcat(arrayMap(x -> toString(x), groupArray(line)), ',')"
    before="raw GROUP BY src, " after=" AS g, station"
    type=([text]=String [int]=UInt32 [time]="DateTime('UTC')" [real]="Nullable(Float64)")
    # shellcheck source=tests/integration/clickhouse_cluster.sh
    . "$here/clickhouse_cluster.sh"
    stop() { ch_stop; }
    ch_start "$work"
    # A table NAME_local on each shard, NAME the Distributed table over them; the rows go in
    # through NAME, spread at random, and each shard must receive some.
    load() {
      local n counts
      for n in 0 1; do
        ch $n -q "CREATE TABLE $1_local ($(columns "$3" ' ' ', ')) ENGINE = MergeTree
                  ORDER BY ${3%%:*}"
      done
      ch 0 -q "CREATE TABLE $1 AS $1_local ENGINE = Distributed(qelkit_two_shards, default, $1_local, rand())"
      ch 0 --insert_distributed_sync=1 -q "INSERT INTO $1 FORMAT TabSeparated" <"$2"
      counts=("$(ch 0 -q "SELECT count() FROM $1_local")" "$(ch 1 -q "SELECT count() FROM $1_local")")
      if [ "${counts[0]}" -eq 0 ] || [ "${counts[1]}" -eq 0 ] ||
         [ $((counts[0] + counts[1])) -ne "$(wc -l <"$2")" ]; then
        fail "the shards hold ${counts[0]} and ${counts[1]} of the rows of $1"
      fi
      echo "engine.sh: $1 inserted through the Distributed table: ${counts[*]} rows on the shards" >&2
    }
    run() { ch 0 --multiquery --format TabSeparated; } ;;
  duckdb)
    dialects=duckdb queries=duckdb
    show="strftime(g, '%Y-%m-%d %H:%M:%S')" lines="string_agg(CAST(line AS VARCHAR), ',')"
    type=([text]=VARCHAR [int]=INTEGER [time]=TIMESTAMP [real]=DOUBLE)
    command -v node >/dev/null ||
      fail "node not found: install the Debian package nodejs (.ci/deps integration does)"
    load() {
      echo "CREATE TABLE $1 AS SELECT * FROM read_csv('$2', delim = '\t', header = false,"
      echo "  nullstr = '\\N', quote = '', columns = {$(columns "$3" ': ' ', ' "'")});"
    }
    run() { node "$here/duckdb.mjs"; } ;;
  *) fail "unknown engine" ;;
esac
: "${before=(SELECT src, line, station, }" "${after= AS g FROM raw) x GROUP BY src, g, station}"

# columns "name:kind ..." BETWEEN SEPARATOR [QUOTE]: the column list of a table, each name and
# its type (each enclosed in QUOTE) joined by BETWEEN.
columns() {
  local column list=
  for column in $1; do
    list+="${list:+$3}${4-}${column%%:*}${4-}$2${4-}${type[${column#*:}]}${4-}"
  done
  printf '%s' "$list"
}

{
  load raw "$work/raw.tsv" "src:text line:int ts:time station:text"
  while IFS=$'\t' read -r dialect id expr; do
    [[ " $dialects " = *" $dialect "* ]] || continue
    echo "SELECT '$dialect', $id, src, $([ "$dialect" = to_char ] && echo g || echo "$show"),"
    echo "  station, $lines FROM $before$expr$after;"
  done <"$work/expr.tsv"
  load readings "$work/readings.tsv" "ts:time site:text station:text temp:real hum:real wind:real"
  for query in "$work"/query/*."$queries".sql; do
    name=${query##*/}
    echo "SELECT '#query ${name%.sql}';"
    cat "$query"
  done
} | run >"$work/out-all-$engine.tsv"
# The grouping check's rows come before the first "#query" line.
awk -v groups="$work/out-$engine.tsv" -v queries="$work/out-query-$engine.tsv" '
  /^#query / { q = 1 } { print > (q ? queries : groups) }
  END { printf "" > groups; printf "" > queries }' "$work/out-all-$engine.tsv"
