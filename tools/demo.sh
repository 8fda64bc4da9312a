#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# `make demo`: builds qelkit-agg from the dist preset (the library and the tool, no tests), then
# groups the bundled sample (three weeks of five-minute readings from four devices) by 15 minutes
# and device, and shows the Oracle expression the library pairs with that period.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset dist >/dev/null
cmake --build --preset dist --target qelkit-agg
AGG=build/dist/tools/qelkit-agg
SAMPLE=data/sample.csv

echo
echo "== $SAMPLE: $(($(wc -l <"$SAMPLE") - 1)) readings; the first lines:"
head -4 "$SAMPLE"
echo
echo "== qelkit-agg --header --keys 2 --values 3,5 --period \"15 minute\" $SAMPLE | head -15"
OUT=build/dist/demo-15-minute.tsv
"$AGG" --header --keys 2 --values 3,5 --period "15 minute" "$SAMPLE" >"$OUT"
head -15 "$OUT"
echo
echo "== The Oracle expression of the period start:" \
     "qelkit-agg --sql reading_time --period \"15 minute\" --dialect oracle"
"$AGG" --sql reading_time --period "15 minute" --dialect oracle
