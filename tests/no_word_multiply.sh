#!/usr/bin/env bash
# The integer arithmetic multiplies and divides words only by shifts and additions: no
# multiply or divide instruction may appear in its object code, also none that the
# compiler made of a chain of shifts. Every object file of integer/ is read.
#
# Floating-point multiplies (x86-64 mulsd and the like, arm64 fmul) are not products of
# words, and are let through.
#
# On arm64, GCC forms the end address of a loop over words as base + count * 32 with one
# multiply-add (umaddl with a non-zero addend): that is address arithmetic, not a product
# of words, so there umaddl alone is let through. Its plain product form, umull (a 32 by 32
# bit product, which a folded shift-and-add would give), is not.
#
# Usage: no_word_multiply.sh [--objdump PROGRAM] OBJECT...
set -euo pipefail
objdump=objdump
if [ "${1:-}" = --objdump ]; then
  objdump=$2
  shift 2
fi
[ $# -gt 0 ] || { echo "no object files given" >&2; exit 2; }
x86_64=$'\t(i?mul[a-z]*|i?div[a-z]*|mulx[a-z]*)[ \t]'
# Floating-point products and quotients (SSE and AVX, scalar and packed) work on no word:
# the progress note's cost models are reckoned in doubles.
x86_64_float=$'\tv?(mul|div)[sp][sd][ \t]'
aarch64=$'\t(mul|mneg|madd|msub|[su]mull|[su]mulh|[su]mnegl|smaddl|[su]msubl|[su]div)[ \t]'
found=0
checked=0
for object in "$@"; do
  case "$object" in
    */integer/*.o) ;;
    *) continue ;;
  esac
  # A file objdump cannot read fails the check, rather than passing with nothing seen.
  header=$("$objdump" -f "$object")
  # GNU objdump says "i386:x86-64" and "aarch64"; llvm-objdump "x86_64" and "aarch64".
  case "$header" in
    *"architecture: aarch64"*) pattern=$aarch64 ;;
    *"architecture: i386:x86-64"* | *"architecture: x86_64"*) pattern=$x86_64 ;;
    *)
      echo "$object: an architecture this check does not know" >&2
      exit 2
      ;;
  esac
  listing=$("$objdump" -d --no-show-raw-insn "$object")
  checked=$((checked + 1))
  hits=$(grep -E "$pattern" <<<"$listing" | grep -vE "$x86_64_float" || true)
  if [ -n "$hits" ]; then
    echo "$object:" && echo "$hits"
    found=1
  fi
done
if [ "$checked" -eq 0 ]; then
  echo "no integer object file among the arguments" >&2
  exit 2
fi
echo "no multiply or divide instruction in $checked object files"
exit $found
