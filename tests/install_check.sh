#!/usr/bin/env bash
# `make install` as a new user runs it: from a fresh clone of this repository (its
# committed state), staged under DESTDIR with PREFIX=/usr. The executable and the manual
# page must be there, and the installed calculator must answer.
# Usage: tests/install_check.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "install check: $*" >&2
  exit 1
}

git clone --quiet "$root" "$work/clone"
make -s -C "$work/clone" install DESTDIR="$work/stage" PREFIX=/usr >"$work/log" 2>&1 ||
  fail "make install failed: $(tail -5 "$work/log")"
for path in usr/bin/exactcalc usr/share/man/man1/exactcalc.1.gz; do
  [ -f "$work/stage/$path" ] || fail "make install put no $path under DESTDIR"
done
answer=$(printf '2 ^ 100\n' | "$work/stage/usr/bin/exactcalc")
[ "$answer" = "Exp: (2 ^ 100) = 1267650600228229401496703205376
Exp: " ] || fail "the installed calculator answered: $answer"
echo "== install check passed: $(cd "$work/stage" && find . -type f | sort | xargs)"
