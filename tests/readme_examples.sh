#!/usr/bin/env bash
# The README's examples "In scripts", run as written with the built calculator first on
# PATH: their output and standard error must be what the comments beside them say.
# Usage: readme_examples.sh README EXACTCALC [LAUNCHER...]   (an emulator for a cross build)
set -euo pipefail
readme=$1
calculator=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
shift 2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
printf '#!/bin/sh\nexec %s "%s" "$@"\n' "$*" "$calculator" >"$folder/exactcalc"
chmod +x "$folder/exactcalc"
# The first indented block after the section's heading.
examples=$(awk '/^## In scripts/ { section = 1; next }
  section && /^    / { print substr($0, 5); started = 1; next }
  started && /^$/ { print ""; next }
  started { exit }' "$readme")
[ -n "$examples" ] || { echo "no examples found in $readme" >&2; exit 2; }
output=$(cd "$folder" && PATH="$folder:$PATH" bash -c "$examples" 2>"$folder/errors")
expected='5
20
121
1267650600228229401496703205376
2
6
2
4
8
status 1'
errors='exactcalc: Rational::Rational() - Zero denominator,'
status=0
[ "$output" = "$expected" ] || { echo "output:"; echo "$output"; status=1; }
[ "$(cat "$folder/errors")" = "$errors" ] || { echo "errors:"; cat "$folder/errors"; status=1; }
exit $status
