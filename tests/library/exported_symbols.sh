#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fails when the shared library exports a symbol that is not part of its public interface.
#   usage: exported_symbols.sh <libqelkit.so> <public header>...
# The rule, on every defined dynamic symbol:
#   - its demangled form must not name qelkit_internal:: or an anonymous namespace (not even
#     as the argument of a standard template);
#   - its outermost scope must be the standard library (std::, __gnu_cxx::: instantiations
#     over public types), an operator, or an identifier that the public headers contain.
# Only QELKIT_API puts names in the dynamic table, so a failure means an internal helper lost
# its hidden visibility, or a mark stands on something the headers do not offer.
set -euo pipefail
lib=$1
shift
allowed=$(grep -hoE '\b[A-Za-z_][A-Za-z0-9_]*\b' "$@" | sort -u | tr '\n' ' ')
# One line per symbol: the name, its demangled form, and (for a mangled name) what follows the
# _Z prefix, the special-name codes (a local entity, typeinfo, vtable, guard variable, thunks)
# and the nested-name and cv marks; c++filt and sed run once over the whole list.
# __odr_asan. is AddressSanitizer's marker of an exported variable: check the variable.
syms=$(nm -D --defined-only "$lib" | awk '{sub(/^__odr_asan\./, "", $NF); print $NF}')
bad=$(paste <(echo "$syms") <(c++filt <<<"$syms") <(sed -E '/^_Z/!s/.*/-/; s/^_ZZ?//;
    s/^(T[ISVT]|GV|Th[n]?[0-9]+_|Tv[n]?[0-9]+_[n]?[0-9]+_|Tc[^_]*_[^_]*_)//; s/^N?[rVK]*//' \
    <<<"$syms") | while IFS=$'\t' read -r sym demangled rest; do
  case $demangled in
    *qelkit_internal::* | *"(anonymous namespace)"*) echo "$demangled"; continue ;;
  esac
  case $sym in
    _init | _fini | _edata | _end | __bss_start) continue ;;
  esac
  if [[ $sym == _Z* ]]; then
    case $rest in
      St* | 9__gnu_cxx*) continue ;;   # standard library instantiations
      [a-z]*) continue ;;              # operators (pl, ls, rs, eq, ...)
    esac
    if [[ $rest =~ ^([0-9]+)(.*)$ ]]; then
      name=${BASH_REMATCH[2]:0:${BASH_REMATCH[1]}}
    else
      name=$rest
    fi
  else
    name=$sym
  fi
  [[ " $allowed " == *" $name "* ]] || echo "$demangled"
done)
if [ -n "$bad" ]; then
  echo "symbols exported by $lib that are not part of the public interface:" >&2
  echo "$bad" >&2
  exit 1
fi
echo "exported symbols of $(basename "$lib"): all public"
