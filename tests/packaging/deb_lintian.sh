#!/usr/bin/env bash
# deb_lintian.sh <cpack> <build-dir> <project-version> <zarun executable>
# Builds the Debian package and checks it with lintian (no errors allowed), and that the
# package, the program's --version and the About box's source of truth agree on the version.
# Exits 77 (skipped) when lintian or dpkg-deb is missing.
set -uo pipefail

cpack=$1 build=$2 version=$3 zarun=$4
for tool in lintian dpkg-deb; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian packages lintian, dpkg)"
    exit 77
  fi
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! (cd "$build" && "$cpack" -G DEB -B "$out") >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"
  echo "FAIL: cpack did not build the package"
  exit 1
fi
deb=$(find "$out" -maxdepth 1 -name 'zarun_*.deb' | head -n 1)
[ -n "$deb" ] || { echo "FAIL: no package in $out"; exit 1; }

# Errors fail; warnings are shown for a look.
lintian --fail-on error --allow-root "$deb" || fail "lintian reports errors for $(basename "$deb")"

[ "$(dpkg-deb -f "$deb" Package)" = zarun ] || fail "the package is not named zarun"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is $(dpkg-deb -f "$deb" Version), not $version"
[ "$(QT_QPA_PLATFORM=offscreen "$zarun" --version)" = "zarun $version" ] ||
  fail "zarun --version prints '$("$zarun" --version)', not 'zarun $version'"
# The About box shows major.minor of the same build version (the program's own test checks its line).
grep -q "^zarun ($version)" <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/zarun/changelog.gz | gzip -dc) ||
  fail "the changelog's latest entry is not for $version"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/zarun.1.gz | gzip -dc | grep -q "\"zarun $version\"" ||
  fail "the manual page does not name version $version"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "$(basename "$deb") passes lintian; version $version everywhere"
