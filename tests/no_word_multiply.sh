#!/usr/bin/env bash
# The integer arithmetic multiplies and divides words only by shifts and additions: no
# multiply or divide instruction may appear in its object code, also none that the
# compiler made of a chain of shifts. limits.cpp, which bounds sizes, is left out.
# Usage: no_word_multiply.sh OBJECT...
set -euo pipefail
[ $# -gt 0 ] || { echo "no object files given" >&2; exit 2; }
found=0
checked=0
for object in "$@"; do
  case "$object" in
    */integer/limits.cpp.o) continue ;;
    */integer/*.o) ;;
    *) continue ;;
  esac
  # A file objdump cannot read fails the check, rather than passing with nothing seen.
  listing=$(objdump -d --no-show-raw-insn "$object")
  checked=$((checked + 1))
  hits=$(grep -E $'\t(i?mul[a-z]*|i?div[a-z]*|mulx[a-z]*)[ \t]' <<<"$listing" || true)
  if [ -n "$hits" ]; then
    echo "$object:" && echo "$hits"
    found=1
  fi
done
if [ "$checked" -eq 0 ]; then
  echo "no integer object file among the arguments" >&2
  exit 2
fi
exit $found
