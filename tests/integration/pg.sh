#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The PostgreSQL driver of run.sh: starts a private server in WORK_DIR/pg (a Unix socket there,
# no TCP, so no port can collide), loads WORK_DIR/raw.tsv, groups it by every expression of the
# dialects postgresql, oracle and to_char in WORK_DIR/expr.tsv, writes WORK_DIR/out-postgresql.tsv
# and stops the server on every way out. As root, the server programs run as the postgres user.
# The session zone is UTC: PostgreSQL's TO_TIMESTAMP, used by the oracle forms, gives a time
# with zone, which must not meet a daylight-saving gap.
# Environment: PG_BINDIR (default: the newest /usr/lib/postgresql/*/bin).
# Usage: pg.sh WORK_DIR
set -euo pipefail
work=$1
dir=$work/pg

fail() {
  echo "pg.sh: $*" >&2
  exit 2
}

bindir=${PG_BINDIR:-$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)}
[ -x "$bindir/initdb" ] ||
  fail "PostgreSQL not found: install the Debian package postgresql (.ci/deps integration does)"
# The server refuses to run as root: run its programs as postgres then.
as_pg=()
if [ "$(id -u)" -eq 0 ]; then
  id postgres >/dev/null 2>&1 || fail "running as root, but there is no postgres user"
  as_pg=(runuser -u postgres --)
fi

mkdir -p "$dir/data"
[ ${#as_pg[@]} -eq 0 ] || chown -R postgres: "$dir"
started=0
# shellcheck disable=SC2317  # called by the traps
stop() {
  [ $started -eq 1 ] &&
    "${as_pg[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1
  started=0
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"${as_pg[@]}" "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C \
  --no-sync >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; fail "initdb failed"; }
started=1
"${as_pg[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
  -o "-k $dir -p 54329 -h '' -c fsync=off -c full_page_writes=off" start >/dev/null ||
  { cat "$dir/server.log" >&2; fail "the server did not start"; }

{
  echo "CREATE TABLE raw (src text, line int, ts timestamp, station text);"
  echo "COPY raw FROM STDIN;"
  cat "$work/raw.tsv"
  echo '\.'
  echo "ANALYZE raw;"
  while IFS=$'\t' read -r dialect id expr; do
    case $dialect in
      to_char) label=g ;;
      oracle | postgresql) label="to_char(g, 'YYYY-MM-DD HH24:MI:SS')" ;;
      *) continue ;;
    esac
    echo "SELECT '$dialect', $id, src, $label, station, string_agg(line::text, ',')"
    echo "  FROM (SELECT src, line, station, $expr AS g FROM raw) x GROUP BY src, g, station;"
  done <"$work/expr.tsv"
} | PGOPTIONS="-c TimeZone=UTC" "${as_pg[@]}" "$bindir/psql" -X -q -A -t -F $'\t' \
      -v ON_ERROR_STOP=1 -h "$dir" -p 54329 -U postgres -d postgres >"$work/out-postgresql.tsv"
