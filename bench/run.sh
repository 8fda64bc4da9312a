#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs every benchmark executable of a build tree five times and prints the median of each
# benchmark. Full results (mean, median, standard deviation per benchmark) go to
# <build>/bench-<name>.json. Further arguments are passed to every executable.
#   usage: bench/run.sh <build dir> [benchmark options]
#   e.g.   bench/run.sh build/release --benchmark_filter=Format
set -euo pipefail

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 <build dir> [benchmark options]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
shift

mapfile -t benches < <(find "$build/bench" -maxdepth 1 -type f -perm -u+x \
                         -name 'qelkit_*_bench' 2>/dev/null | sort)
if [ ${#benches[@]} -eq 0 ]; then
  echo "error: no benchmark executables in $build/bench (configure with -DQELKIT_BENCH=ON)" >&2
  exit 1
fi

status=0
for exe in "${benches[@]}"; do
  name=$(basename "$exe")
  name=${name#qelkit_}
  name=${name%_bench}
  json="$build/bench-$name.json"
  echo "== $name (median of 5 runs; all results in $json)"
  # The console table has a header, a rule, then mean/median/stddev/cv rows per benchmark:
  # keep the header and the median rows, without the suffix, printing each as it comes.
  if ! "$exe" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
         --benchmark_out="$json" --benchmark_out_format=json --benchmark_color=false "$@" |
       awk '/^Benchmark[ \t]/ || /^-+$/ { print; fflush(); next }
            $1 ~ /_median$/ { sub(/_median/, "       "); print; fflush() }'; then
    echo "error: $exe failed" >&2
    status=1
  fi
  echo
done
exit $status
