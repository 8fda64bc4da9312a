#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The DuckDB driver of run.sh: loads WORK_DIR/raw.tsv into an in-memory database of duckdb.mjs,
# groups it by every duckdb expression of WORK_DIR/expr.tsv and writes the groups to
# WORK_DIR/out-duckdb.tsv. Usage: duckdb.sh WORK_DIR
set -euo pipefail
work=$1
if ! command -v node >/dev/null; then
  echo "duckdb.sh: node not found: install the Debian package nodejs" \
       "(.ci/deps integration does)" >&2
  exit 2
fi
{
  echo "CREATE TABLE raw AS SELECT * FROM read_csv('$work/raw.tsv', delim = '\t', header = false,"
  echo "  columns = {'src': 'VARCHAR', 'line': 'INTEGER', 'ts': 'TIMESTAMP', 'station': 'VARCHAR'});"
  while IFS=$'\t' read -r dialect id expr; do
    [ "$dialect" = duckdb ] || continue
    echo "SELECT 'duckdb', $id, src, strftime(g, '%Y-%m-%d %H:%M:%S'), station,"
    echo "  string_agg(CAST(line AS VARCHAR), ',')"
    echo "  FROM (SELECT src, line, station, $expr AS g FROM raw) GROUP BY src, g, station;"
  done <"$work/expr.tsv"
} | node "$(dirname "$0")/duckdb.mjs" >"$work/out-duckdb.tsv"
