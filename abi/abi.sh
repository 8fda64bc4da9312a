#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The binary interface of libqelkit against the baseline committed beside this script.
#   usage: abi/abi.sh check|baseline <build dir>
# The build must be shared and carry debug information (the debug preset, build/debug). It is
# installed into <build dir>/abi-stage, so that only the installed (public) headers decide
# which types belong to the interface.
#   check     abidiff of the baseline against the built library: added functions, variables
#             and types pass; a removed symbol or a changed type or signature fails.
#   baseline  rewrites abi/libqelkit.abi from the built library.
set -euo pipefail
if [ $# -ne 2 ] || [ ! -d "$2" ]; then
  echo "usage: $0 check|baseline <build dir>" >&2
  exit 2
fi
mode=$1
build=$(cd "$2" && pwd)
baseline=$(cd "$(dirname "$0")" && pwd)/libqelkit.abi
stage=$build/abi-stage
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null
lib=$(find "$stage" -name 'libqelkit.so.*.*.*' -type f | head -n 1)
if [ -z "$lib" ]; then
  echo "error: no shared libqelkit in $build (configure with BUILD_SHARED_LIBS=ON)" >&2
  exit 1
fi
headers=$stage/include
case $mode in
  baseline)
    abidw --headers-dir "$headers" --drop-private-types --no-corpus-path --no-comp-dir-path \
          --no-show-locs --type-id-style hash --out-file "$baseline" "$lib"
    echo "wrote $baseline from $lib"
    ;;
  check)
    status=0
    abidiff --no-added-syms --headers-dir2 "$headers" "$baseline" "$lib" || status=$?
    if [ "$status" -ne 0 ]; then
      echo "error: the ABI of $lib differs from $baseline (abidiff status $status)." >&2
      echo "A removed or changed interface needs a new SONAME (see README, 'Binary interface')." >&2
      exit 1
    fi
    echo "ABI check: $(basename "$lib") keeps every interface of the baseline"
    ;;
  *)
    echo "usage: $0 check|baseline <build dir>" >&2
    exit 2
    ;;
esac
