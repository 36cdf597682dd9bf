#!/usr/bin/env bash
# The integer arithmetic multiplies and divides words only by shifts and additions: no
# multiply or divide instruction may appear in its object code, also none that the
# compiler made of a chain of shifts. limits.cpp, which bounds sizes, is left out.
# Usage: no_word_multiply.sh OBJECT...
set -euo pipefail
found=0
for object in "$@"; do
  case "$object" in
    */integer/limits.cpp.o) continue ;;
    */integer/*.o) ;;
    *) continue ;;
  esac
  hits=$(objdump -d --no-show-raw-insn "$object" | grep -E $'\t(i?mul[a-z]*|i?div[a-z]*|mulx[a-z]*)[ \t]' || true)
  if [ -n "$hits" ]; then
    echo "$object:" && echo "$hits"
    found=1
  fi
done
exit $found
