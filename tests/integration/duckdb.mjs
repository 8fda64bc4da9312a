// SPDX-License-Identifier: Apache-2.0
// Runs SQL statements in an in-memory DuckDB database, through the Node.js package pinned by
// package-lock.json beside this file (nothing to start or stop, no port), and prints the rows
// each statement returns, fields separated by tabs. The statements come on standard input,
// each ending with ";" at the end of a line.
// Usage: node duckdb.mjs [THREADS] <statements.sql   (THREADS: default, every core)
import { readFileSync } from 'node:fs';

let duckdb;
try {
  duckdb = await import('@duckdb/node-api');
} catch (e) {
  console.error(`duckdb.mjs: DuckDB's Node.js package is missing: run npm ci in ` +
                `tests/integration (.ci/deps integration does) (${e.message})`);
  process.exit(2);
}

const options = process.argv[2] ? { threads: process.argv[2] } : {};
const instance = await duckdb.DuckDBInstance.create(':memory:', options);
const connection = await instance.connect();
try {
  for (const statement of readFileSync(0, 'utf8').split(/;\s*\n/)) {
    if (statement.trim() === '') continue;
    const rows = (await connection.runAndReadAll(statement)).getRowsJson();
    if (rows.length) process.stdout.write(rows.map((r) => r.join('\t')).join('\n') + '\n');
  }
} catch (e) {
  console.error(`duckdb.mjs: ${e.message}`);
  process.exitCode = 1;
} finally {
  connection.closeSync();
  instance.closeSync();
}
