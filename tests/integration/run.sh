#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks on real SQL engines that the expressions qelkit-agg prints (--sql COLUMN --dialect D)
# group rows exactly as the tool's own periods do (--rows), for every period and every start of
# week the tool accepts (Sunday, Monday, Friday, Saturday):
#   - PostgreSQL runs the postgresql and the oracle forms (PostgreSQL reads the same text) and
#     the classic to_char expression;
#   - ClickHouse, two shards on 127.0.0.1, runs the clickhouse forms through a Distributed table;
#   - DuckDB, through its Node.js package, runs the duckdb forms.
# Each engine loads two data sets: the boundary readings of make_readings.pl and the demo sample
# (data/sample.csv). For each period, start of week, data set and dialect, the groups the engine
# makes by (expression, station) must be the tool's groups by (period start, station): the same
# rows together, and the engine's value of the expression equal to the tool's period start. The
# classic to_char text is compared by the rows only; where the tool says on standard error that
# it groups otherwise, the boundary readings must show the difference, and where the tool
# refuses it (exit 2), nothing is run.
#
# Free lengths and quarters are checked with weeks starting on Sunday only (no start of week
# changes them). The query check runs the whole query of each dialect (--sql-query) on a seeded
# table of make_readings.pl and compares it, line by line, with the tool's output for the same
# options.
#
# The tool runs with TZ=America/New_York: it freezes the zone at today's offset, so daylight
# saving days group as plain wall-clock time; the readings are that wall-clock time, stored in
# columns without a zone.
#
# engine.sh starts each engine privately and stops it on every way out; this script removes the
# scratch directory.
# Environment: QELKIT_AGG (the tool; default: build/release/tools/qelkit-agg of the release
# preset), QELKIT_ENGINES (default "postgresql clickhouse duckdb"), and those
# engine.sh names. Prints one line per engine and dialect, and each mismatch; exits 1 on any
# mismatch, 2 when the setup fails.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
engines=${QELKIT_ENGINES:-postgresql clickhouse duckdb}

fail_setup() {
  echo "integration: $*" >&2
  exit 2
}

# ---- The tool ------------------------------------------------------------------------------
agg=${QELKIT_AGG:-$root/build/release/tools/qelkit-agg}
[ -x "$agg" ] || fail_setup "no qelkit-agg at $agg: build it (make integration does)"

# ---- Scratch directory; the engine driver runs as a child, stopped with us ------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/qelkit-integration.XXXXXX")
child=
# shellcheck disable=SC2317  # called by the traps
cleanup() {
  if [ -n "$child" ]; then
    kill -TERM "$child" 2>/dev/null || true
    wait "$child" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
chmod 755 "$work"

# ---- The data sets: src b (boundary readings) and s (sample, with a header line) ------------
perl "$here/make_readings.pl" >"$work/b.csv"
cp "$root/data/sample.csv" "$work/s.csv"
# raw.tsv: src, line number in its file, time, station; the tool names rows by line number.
{
  awk -F, -v OFS='\t' '{ print "b", NR, $1, $2 }' "$work/b.csv"
  awk -F, -v OFS='\t' 'NR > 1 { print "s", NR, $1, $2 }' "$work/s.csv"
} >"$work/raw.tsv"
chmod -R a+rX "$work"

# ---- The tool's groups and expressions ------------------------------------------------------
codes=(O:minute B:"2 minute" F:"5 minute" T:"10 minute" Q:"15 minute" P:"half hour" H:hour
       A:"all hours" U:week-hour V:month-hour D:day W:week M:month Y:year N:none
       S:"45 second" L:"20 minute" G:"7 hour" E:"2 day" R:quarter)
free_codes=" S L G E R "
starts=(7:Sunday 1:Monday 5:Friday 6:Saturday)
dialects=(oracle postgresql clickhouse duckdb to_char)
export TZ=America/New_York

# tool.tsv: code, start of week, src, period start, station, the lines of the group.
# combos.tsv: dialect, code, start of week, expression id, exact|inexact|refused.
# expr.tsv: dialect, expression id, expression (ids are per distinct text).
: >"$work/tool.tsv"
: >"$work/combos.tsv"
: >"$work/expr.tsv"
declare -A expr_id=()
for c in "${codes[@]}"; do
  code=${c%%:*} period=${c#*:}
  for s in "${starts[@]}"; do
    sow=${s%%:*} day=${s#*:}
    [[ $free_codes = *" $code "* ]] && [ "$sow" != 7 ] && continue
    for src in b s; do
      opts=(-k 2 -v 3)
      [ $src = s ] && opts+=(--header)
      "$agg" --rows --period "$period" --week-start "$day" "${opts[@]}" "$work/$src.csv" \
        >"$work/rows.tsv" 2>"$work/agg.err" ||
        fail_setup "qelkit-agg --rows -p '$period' failed: $(tail -n 1 "$work/agg.err")"
      [ "$(wc -l <"$work/rows.tsv")" -eq "$(grep -c "^$src" "$work/raw.tsv")" ] ||
        fail_setup "qelkit-agg --rows -p '$period' did not group every row of $src.csv"
      awk -F'\t' -v OFS='\t' -v code="$code" -v sow="$sow" -v src="$src" '
        { k = $2 OFS $3; if (k in m) m[k] = m[k] "," $1; else m[k] = $1 }
        END { for (k in m) print code, sow, src, k, m[k] }' "$work/rows.tsv" >>"$work/tool.tsv"
    done
    for dialect in "${dialects[@]}"; do
      status=0
      expr=$("$agg" --sql ts --period "$period" --week-start "$day" \
             --dialect "$dialect" 2>"$work/sql.err") || status=$?
      # PostgreSQL adds a number of days to a date, not to a timestamp (Oracle adds to both);
      # --sql takes a column name only, so the cast goes into the text here.
      [ "$dialect/$code" = to_char/W ] && expr=${expr//"(ts)"/"(CAST(ts AS date))"}
      case "$status/$(wc -c <"$work/sql.err")" in
        0/0) flag=exact ;;
        0/*) flag=inexact ;;
        2/*) flag=refused ;;
        *) fail_setup "qelkit-agg --sql -p '$period' --dialect $dialect: $(cat "$work/sql.err")" ;;
      esac
      [ "$dialect" = to_char ] || [ $flag = exact ] ||
        fail_setup "qelkit-agg --sql -p '$period' --dialect $dialect: $(cat "$work/sql.err")"
      id=${expr_id["$dialect/$expr"]:-}
      if [ $flag != refused ] && [ -z "$id" ]; then
        id=${#expr_id[@]}
        expr_id["$dialect/$expr"]=$id
        printf '%s\t%s\t%s\n' "$dialect" "$id" "$expr" >>"$work/expr.tsv"
      fi
      printf '%s\t%s\t%s\t%s\t%s\n' "$dialect" "$code" "$sow" "${id:--}" $flag >>"$work/combos.tsv"
    done
  done
done
echo "integration: ${#codes[@]} periods x ${#starts[@]} starts of week x 2 data sets" \
     "($(grep -c . "$work/raw.tsv") rows); ${#expr_id[@]} distinct expressions"

# ---- The query check ------------------------------------------------------------------------
# The whole query of --sql-query, as printed, for each case (name|period|aggregates|from|to),
# against what the tool prints for the same options.
cases=("length|3 hour|count,n,sum,min,max,mean||"
       "odd-length|7 hour|median,p95,p99.9,p0,p100,stddev,var|2023-12-30 10:00:00|2024-01-02 05:00:00"
       "quarter|quarter|count,n,first,last,mean,p25||"
       "day|day|count,sum,min,max,mean,first,last,stddev||2024-01-02 00:00:00")
mkdir "$work/query"
perl "$here/make_readings.pl" query "$work/q.csv" "$work/readings.tsv"
for c in "${cases[@]}"; do
  IFS='|' read -r name period aggregates from to <<<"$c"
  opts=(-t ts -k site,station -v temp,hum,wind -a "$aggregates" -p "$period"
        ${from:+--from "$from"} ${to:+--to "$to"})
  "$agg" --header --format csv --null NA "${opts[@]}" "$work/q.csv" >"$work/query/$name.csv" \
    2>"$work/agg.err" || fail_setup "case $name: $(tail -n 1 "$work/agg.err")"
  for dialect in postgresql clickhouse duckdb; do
    "$agg" --sql-query readings --dialect "$dialect" "${opts[@]}" \
      >"$work/query/$name.$dialect.sql" 2>"$work/sql.err" ||
      fail_setup "--sql-query, case $name, $dialect: $(cat "$work/sql.err")"
    sed "s/^[^:]*: /$dialect: /" "$work/sql.err" >>"$work/notes.txt"
  done
done
echo "integration: ${#cases[@]} query cases on $(grep -c . "$work/readings.tsv") readings"

# ---- The engines ----------------------------------------------------------------------------
for engine in $engines; do
  start=$SECONDS
  # In the background, so that a signal to this script can stop it.
  "$here/engine.sh" "$engine" "$work" &
  child=$!
  wait "$child" || fail_setup "$engine: the driver failed"
  child=
  echo "integration: $engine ran in $((SECONDS - start)) s"
done
status=0
perl "$here/compare.pl" "$work" $engines || status=$?
[ ! -s "$work/notes.txt" ] || { echo "integration: the notes of --sql-query:"; sort -u "$work/notes.txt"; }
exit $status
