#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# make package-test: as root, installs libqelkit1, libqelkit-dev and qelkit-tools from DIR with
# dpkg -i, builds tests/install/consumer against them with plain cmake (find_package) and with
# pkg-config, runs /usr/bin/qelkit-agg on agg_sample.csv (output worked out by hand in
# agg_sample.tsv), then purges the packages and checks that none of their paths is left and
# that ldconfig no longer lists the library. The packages are purged on every way out. When a
# qelkit package, or a file of theirs, is on the machine already, it refuses to run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:?usage: deb_test.sh DIR-HOLDING-THE-DEB-FILES}
pkgs=(libqelkit1 libqelkit-dev qelkit-tools)
unset LD_LIBRARY_PATH PKG_CONFIG_PATH CMAKE_PREFIX_PATH
fail() { echo "deb_test: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "must run as root: it installs and purges packages"
ma=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

debs=()
for p in "${pkgs[@]}"; do
  f=("$dir/${p}"_*.deb)
  [ ${#f[@]} -eq 1 ] && [ -f "${f[0]}" ] || fail "expected one ${p}_*.deb in $dir"
  debs+=("${f[0]}")
done
present=$({ dpkg-query -W -f '${db:Status-Abbrev} ${Package}\n' '*qelkit*' 2>/dev/null || true; } |
          awk 'substr($1, 2, 1) != "n" { print $2 }' | xargs)
[ -z "$present" ] || fail "qelkit packages are installed already; remove them first: $present"
# The packages' paths that do not exist yet: all of them must be gone again after the purge.
new=()
while IFS= read -r p; do
  if [ -e "$p" ] || [ -L "$p" ]; then
    [ -d "$p" ] || fail "$p exists already, and installing would overwrite it"
  else
    new+=("$p")
  fi
done < <(for d in "${debs[@]}"; do dpkg-deb --fsys-tarfile "$d" | tar -t; done |
         sed -n 's|^\.\(/.*[^/]\)/*$|\1|p' | sort -u)

work=$(mktemp -d)
installed=0
cleanup() {
  if [ $installed -eq 1 ]; then dpkg --purge "${pkgs[@]}" >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
quiet() { "$@" >"$work/log" 2>&1 || { cat "$work/log" >&2; fail "failed: $*"; }; }
# Whether the file named first is the installed library (/lib may be a link to /usr/lib).
is_lib() { [ -n "$1" ] && [ "$(realpath -- "$1")" = "$(realpath -- "$lib")" ]; }
# The file that the dynamic linker takes for libqelkit.so.1 in a program, and in its cache.
loads() { ldd "$1" | sed -n 's|^\s*libqelkit\.so\.1 => \(\S*\).*|\1|p'; }
cached() { ldconfig -p | sed -n 's|^\s*libqelkit\.so\.1 (.*) => \(\S*\)$|\1|p' | head -n 1; }

lib=/usr/lib/$ma/libqelkit.so.1
installed=1
quiet dpkg -i "${debs[@]}"
is_lib "$(cached)" || fail "ldconfig does not list $lib"
runtime=$(dpkg -L libqelkit1 | grep -v '^/usr/share/' |
          while read -r f; do [ -d "$f" ] || basename "$f"; done | sort | xargs)
[[ $runtime =~ ^libqelkit\.so\.1\ libqelkit\.so\.1\.[0-9]+\.[0-9]+$ ]] ||
  fail "libqelkit1 holds more or less than the versioned library: $runtime"

quiet cmake -S "$here/consumer" -B "$work/cmake" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
grep -qx "qelkit_DIR:PATH=/usr/lib/$ma/cmake/qelkit" "$work/cmake/CMakeCache.txt" ||
  fail "find_package(qelkit) did not take the installed package"
quiet cmake --build "$work/cmake"
quiet c++ -Wall -Wextra -Werror "$here/consumer/main.cc" $(pkg-config --cflags --libs qelkit) \
  -o "$work/pkg-config-consumer"
for prog in "$work/cmake/qelkit_consumer" "$work/pkg-config-consumer" /usr/bin/qelkit-agg; do
  is_lib "$(loads "$prog")" || fail "$prog does not load $lib"
done
# The consumer's sums per quarter hour and key of agg_sample.csv, worked out by hand.
sums=$'2026-01-05 10:00:00\ta\t1.5\n2026-01-05 10:00:00\tb\t4\n'
sums+=$'2026-01-05 10:45:00\ta\t2.5\n2026-01-05 11:30:00\ta\t-1'
for prog in "$work/cmake/qelkit_consumer" "$work/pkg-config-consumer"; do
  [ "$(TZ=UTC "$prog" "$here/agg_sample.csv" 0 1 2)" = "$sums" ] || fail "$prog printed other sums"
done
TZ=UTC /usr/bin/qelkit-agg --header -k 2 -p hour -q "$here/agg_sample.csv" >"$work/agg.tsv"
diff -u "$here/agg_sample.tsv" "$work/agg.tsv" || fail "qelkit-agg printed other groups"

quiet dpkg --purge "${pkgs[@]}"
installed=0
for p in "${new[@]}"; do
  if [ -e "$p" ] || [ -L "$p" ]; then fail "$p is left after the purge"; fi
done
if [ -n "$(cached)" ]; then fail "ldconfig still lists libqelkit.so.1"; fi
echo "deb_test: the three packages install, build, run and purge cleanly"
