#!/usr/bin/env bash
# Checks the Debian package that `make package` built, without installing it into this
# system: its files and fields, lintian, the calculator and manual page unpacked into a
# temporary folder, and a staged `make install DESTDIR=...`.
# Usage: tests/package_check.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
deb=$(ls "$build"/exactcalc_*.deb)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "package check: $*" >&2
  exit 1
}

echo "== $deb"
contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
for path in ./usr/bin/exactcalc ./usr/share/man/man1/exactcalc.1.gz \
  ./usr/share/doc/exactcalc/copyright; do
  grep -qx "$path" <<<"$contents" || fail "the package lacks $path"
done

depends=$(dpkg-deb --field "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }' | sort | xargs)
[ "$names" = "libc6 libedit2 libgcc-s1 libstdc++6" ] || fail "unexpected Depends: $depends"
[ "$(dpkg-deb --field "$deb" Section)" = math ] || fail "Section is not math"
[ "$(dpkg-deb --field "$deb" Priority)" = optional ] || fail "Priority is not optional"
grep -q '<.*@.*>' <<<"$(dpkg-deb --field "$deb" Maintainer)" || fail "no Maintainer address"

# lintian may warn; an error fails the check.
report=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -z "$report" ] || echo "$report"
! grep -q '^E:' <<<"$report" || fail "lintian reports errors"

dpkg-deb -x "$deb" "$work/unpacked"
calculator=$work/unpacked/usr/bin/exactcalc
answer=$(printf '(2 ^ 10) choose 3\n' | "$calculator")
[ "$answer" = "Exp: ((2 ^ 10) choose 3) = 178433024
Exp: " ] || fail "the unpacked calculator answered: $answer"
version=$("$calculator" --version)
[ "$(sed -n 1p <<<"$version")" = "exactcalc $(dpkg-deb --field "$deb" Version)" ] ||
  fail "--version does not give the package's version: $version"
grep -q 'MIT License' <<<"$(sed -n 2p <<<"$version")" || fail "--version names no licence"
page=$(MANWIDTH=80 man -l "$work/unpacked/usr/share/man/man1/exactcalc.1.gz" 2>&1)
grep -q 'exact calculator for integers and fractions' <<<"$page" ||
  fail "the manual page does not render: $page"

make -s -C "$root" install BUILD="$build" PREFIX=/usr DESTDIR="$work/stage" >/dev/null
for path in usr/bin/exactcalc usr/share/man/man1/exactcalc.1.gz; do
  [ -f "$work/stage/$path" ] || fail "make install DESTDIR put no $path"
done
echo "== package check passed"
