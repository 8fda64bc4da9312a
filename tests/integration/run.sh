#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks that the SQL grouping qelkit-agg prints (--sql, NqTimeAggregation::oracleToChar) puts
# rows together exactly as the tool's own periods do (--rows, NqTimeAggregation::truncate), on
# a real PostgreSQL server, for the periods One Minute, Hour, Day, Week and Month.
#
# A private server is started in a fresh temporary directory (data and socket there, no TCP) and
# is stopped, and the directory removed, on every way out. As root, the server programs run as
# the postgres user. Everything runs in UTC (TZ for the tool, TimeZone for the SQL session).
#
# Per period: the readings go into table `raw` (line, ts, station); the tool's --rows output
# into table `grp` (line, period start, station). The check passes when
#   - the tool grouped every line of the file, each with its own station;
#   - grouping `raw` by (to_char expression, station) gives the same sets of lines as grouping
#     `grp` by (period start, station), compared as sorted line lists;
#   - each row's period start falls in the same to_char group as the row itself.
# For Week the column is a `date`: the expression adds one day to it.
#
# Environment: QELKIT_AGG (the tool; default: built in QELKIT_BUILD_DIR, default build/release
# with the release preset), PG_BINDIR (PostgreSQL's programs; default the newest
# /usr/lib/postgresql/*/bin), QELKIT_PG_PORT (the socket's port number, default 54329),
# QELKIT_ROWS (clusters of readings to generate, default 1500).
# Prints one line per period; exits 1 on any mismatch, 2 when the setup fails.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export TZ=UTC
# The periods checked, by code and by the text that names them to the tool (--period is read by
# NqTimeAggregation::fromString).
periods=(O:minute H:hour D:day W:week M:month)

fail_setup() {
  echo "integration: $*" >&2
  exit 2
}

# ---- PostgreSQL ---------------------------------------------------------------------------------
find_pg_bindir() {
  if [ -n "${PG_BINDIR:-}" ]; then
    echo "$PG_BINDIR"
    return
  fi
  local dir
  dir=$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
  [ -d "$dir" ] && echo "$dir"
}
pg_bindir=$(find_pg_bindir || true)
if [ -z "$pg_bindir" ] || [ ! -x "$pg_bindir/initdb" ]; then
  [ "$(id -u)" -eq 0 ] || fail_setup "PostgreSQL not found: apt-get install postgresql"
  echo "integration: installing PostgreSQL"
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq postgresql >/dev/null
  pg_bindir=$(find_pg_bindir || true)
  if [ -z "$pg_bindir" ] || [ ! -x "$pg_bindir/initdb" ]; then
    fail_setup "PostgreSQL still not found"
  fi
fi

# The server refuses to run as root: run its programs as postgres then.
as_pg=()
if [ "$(id -u)" -eq 0 ]; then
  id postgres >/dev/null 2>&1 || fail_setup "running as root, but there is no postgres user"
  as_pg=(runuser -u postgres --)
fi

# ---- The tool -----------------------------------------------------------------------------------
agg=${QELKIT_AGG:-}
if [ -z "$agg" ]; then
  build=${QELKIT_BUILD_DIR:-$root/build/release}
  # Configure (again): a tree configured before the tool existed has no qelkit-agg target.
  if [ -f "$build/CMakeCache.txt" ]; then
    cmake "$build" >/dev/null || fail_setup "cannot configure $build"
  else
    (cd "$root" && cmake --preset release >/dev/null) || fail_setup "cannot configure $build"
  fi
  cmake --build "$build" --target qelkit-agg -j2 >/dev/null || fail_setup "cannot build qelkit-agg"
  agg=$build/tools/qelkit-agg
fi
[ -x "$agg" ] || fail_setup "no qelkit-agg at $agg"

# ---- Scratch directory and server, removed on every exit -----------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/qelkit-integration.XXXXXX")
pg_started=0
# shellcheck disable=SC2317  # called by the EXIT trap
cleanup() {
  if [ "$pg_started" -eq 1 ]; then
    "${as_pg[@]}" "$pg_bindir/pg_ctl" -D "$work/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

chmod 755 "$work"
mkdir "$work/data" "$work/socket"
[ ${#as_pg[@]} -eq 0 ] || chown postgres: "$work/data" "$work/socket"
port=${QELKIT_PG_PORT:-54329}

"${as_pg[@]}" "$pg_bindir/initdb" -D "$work/data" -U postgres -A trust -E UTF8 --locale=C \
  --no-sync >"$work/initdb.log" 2>&1 || { cat "$work/initdb.log" >&2; fail_setup "initdb failed"; }
touch "$work/server.log"
[ ${#as_pg[@]} -eq 0 ] || chown postgres: "$work/server.log"
pg_started=1
"${as_pg[@]}" "$pg_bindir/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 60 \
  -o "-k $work/socket -p $port -h '' -c fsync=off -c full_page_writes=off" start >/dev/null ||
  { cat "$work/server.log" >&2; fail_setup "the server did not start"; }

# psql on the private socket, UTC, stopping at the first error; reads standard input.
sql() {
  PGOPTIONS="-c TimeZone=UTC" "${as_pg[@]}" "$pg_bindir/psql" -X -q -A -t -v ON_ERROR_STOP=1 \
    -h "$work/socket" -p "$port" -U postgres -d postgres "$@"
}

# ---- The data sets -----------------------------------------------------------------------------
# Generated readings that sit on every kind of period boundary, then the demo's sample data (three
# weeks of five-minute readings, with a header line). Each is loaded into `raw` with its physical
# line numbers, which is how the tool's --rows output names the rows.
readings=$work/readings.csv
perl "$here/make_readings.pl" "${QELKIT_ROWS:-1500}" >"$readings"
chmod 644 "$readings"
sql >/dev/null <<'EOF'
CREATE TABLE raw (line int PRIMARY KEY, ts timestamp NOT NULL, station text NOT NULL);
CREATE TABLE grp (line int PRIMARY KEY, period_start timestamp NOT NULL, station text NOT NULL);
EOF

# load FILE HEADER(0|1): fills `raw` and sets data, total and agg_opts for check_period.
load() {
  data=$1
  agg_opts=(-k 2 -v 3)
  [ "$2" -eq 1 ] && agg_opts+=(--header)
  total=$(awk -v h="$2" 'NR > h' "$data" | wc -l)
  sql -c "TRUNCATE raw" >/dev/null
  awk -F, -v OFS='\t' -v h="$2" 'NR > h { print NR, $1, $2 }' "$data" |
    sql -c "COPY raw FROM STDIN"
}

# ---- One period ---------------------------------------------------------------------------------
# Prints the result line; returns 1 on a mismatch.
check_period() {
  local code=${1%%:*} name=${1#*:} expr type rows_file summary
  expr=$("$agg" --sql ts --period "$name") || { echo "period $code: --sql failed"; return 1; }
  type="timestamp"
  [ "$code" = W ] && type="date"
  rows_file=$work/rows-$code.tsv
  if ! "$agg" --rows --period "$name" "${agg_opts[@]}" "$data" >"$rows_file" \
       2>"$work/agg-$code.err"; then
    echo "period $code: qelkit-agg --rows failed: $(tail -n 1 "$work/agg-$code.err")"
    return 1
  fi
  summary=$(tail -n 1 "$work/agg-$code.err")

  local result
  result=$(
    {
      echo "TRUNCATE grp;"
      echo "COPY grp FROM STDIN;"
      cat "$rows_file"
      echo '\.'
      cat <<EOF
WITH
  src AS (SELECT line, station, ts::$type AS ts FROM raw),
  sql_groups AS (
    SELECT string_agg(line::text, ',' ORDER BY line) AS members
      FROM (SELECT line, station, $expr AS g FROM src) x GROUP BY g, station),
  tool_groups AS (
    SELECT string_agg(line::text, ',' ORDER BY line) AS members
      FROM grp GROUP BY period_start, station),
  starts AS (SELECT line, period_start::$type AS ts FROM grp)
SELECT (SELECT count(*) FROM grp),
       (SELECT count(*) FROM raw LEFT JOIN grp USING (line)
         WHERE grp.line IS NULL OR grp.station <> raw.station),
       (SELECT count(*) FROM sql_groups),
       (SELECT count(*) FROM tool_groups),
       (SELECT count(*) FROM (SELECT members FROM sql_groups
                              EXCEPT ALL SELECT members FROM tool_groups) a),
       (SELECT count(*) FROM (SELECT members FROM tool_groups
                              EXCEPT ALL SELECT members FROM sql_groups) b),
       (SELECT count(*) FROM (SELECT line, $expr AS g FROM src) r
                        JOIN (SELECT line, $expr AS g FROM starts) s USING (line)
         WHERE r.g <> s.g);
EOF
    } | sql -F ' '
  ) || { echo "period $code: the SQL check failed to run"; return 1; }

  local grouped missing sql_n tool_n only_sql only_tool outside
  read -r grouped missing sql_n tool_n only_sql only_tool outside <<<"$result"
  local what
  what="$(basename "$data"), period $code, $name ($expr): $grouped of $total rows, $tool_n groups"
  if [ "$grouped" -eq "$total" ] && [ "$missing" -eq 0 ] && [ "$sql_n" -eq "$tool_n" ] &&
     [ "$only_sql" -eq 0 ] && [ "$only_tool" -eq 0 ] && [ "$outside" -eq 0 ]; then
    echo "$what: same grouping in SQL"
    return 0
  fi
  echo "$what: MISMATCH: $sql_n SQL groups, $only_sql only in SQL, $only_tool only in the tool," \
       "$missing rows lost or rekeyed, $outside period starts outside their row's SQL group" \
       "[$summary]"
  return 1
}

status=0
for set in "$readings:0" "$root/data/sample.csv:1"; do
  load "${set%:*}" "${set##*:}"
  for period in "${periods[@]}"; do
    check_period "$period" || status=1
  done
done
exit $status
