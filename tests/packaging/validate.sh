#!/usr/bin/env bash
# validate.sh <cmake> <build-dir> <project-version>
# Installs the build into a temporary DESTDIR under /usr and checks what lands there:
# the file list, the links to the program folder, the desktop file, the AppStream
# metadata and the MIME types. Exits 77 (skipped) when a validator is missing.
set -uo pipefail

cmake=$1 build=$2 version=$3
id=org.example.zarun

for tool in desktop-file-validate appstreamcli update-mime-database; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian packages desktop-file-utils, appstream, shared-mime-info)"
    exit 77
  fi
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! DESTDIR=$root "$cmake" --install "$build" --prefix /usr >"$root.log" 2>&1; then
  cat "$root.log"; rm -f "$root.log"
  echo "FAIL: cmake --install did not succeed"
  exit 1
fi
rm -f "$root.log"
usr=$root/usr

# Exactly these files and links, nothing from the tests or benchmarks.
expected="usr/bin/zarun
usr/lib/zarun/readme.txt
usr/lib/zarun/zarun
usr/share/applications/$id.desktop
usr/share/doc/zarun/changelog.gz
usr/share/doc/zarun/copyright
usr/share/doc/zarun/readme.txt
usr/share/icons/hicolor/32x32/apps/$id.png
usr/share/icons/hicolor/64x64/apps/$id.png
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/zarun.1.gz
usr/share/metainfo/$id.metainfo.xml
usr/share/mime/packages/$id.xml"
actual=$(cd "$root" && find . -mindepth 1 ! -type d | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
  fail "installed files differ from the expected list"
  diff <(echo "$expected") <(echo "$actual")
fi

# The program finds readme.txt beside its resolved executable; links must be relative
# so that they hold in the package and under any DESTDIR.
for link in bin/zarun share/doc/zarun/readme.txt; do
  target=$(readlink "$usr/$link")
  [ -L "$usr/$link" ] || fail "$link is not a symbolic link"
  case $target in /*) fail "$link points to the absolute path $target" ;; esac
done
exe=$(readlink -f "$usr/bin/zarun")
[ "$exe" = "$usr/lib/zarun/zarun" ] || fail "bin/zarun resolves to $exe"
[ -x "$exe" ] && [ -f "$exe" ] || fail "the executable is missing or not executable"
[ -f "$(dirname "$exe")/readme.txt" ] || fail "readme.txt is not beside the executable"
[ "$(readlink -f "$usr/share/doc/zarun/readme.txt")" = "$usr/lib/zarun/readme.txt" ] ||
  fail "share/doc/zarun/readme.txt does not lead to the program's readme.txt"

desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $id.metainfo.xml"
# Also checks that the metadata, the desktop file and the icons fit together.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree rejects the installed tree"

key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Exec)" = "zarun %f" ] || fail "Exec is '$(key Exec)'; a catalogue from the file manager must reach the program"
[ -n "$(key 'Name\[ja\]')" ] && [ -n "$(key 'Comment\[ja\]')" ] || fail "Japanese Name or Comment missing"
icon=$(key Icon)
for size in 32x32 64x64; do
  [ -f "$usr/share/icons/hicolor/$size/apps/$icon.png" ] || fail "no $size icon named $icon"
done
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"
for png in "$usr"/share/icons/hicolor/*x*/apps/*.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  # PNG header: width and height as big-endian 32-bit numbers at bytes 16 and 20.
  real=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
  [ "$real" = "$size" ] || fail "$png is $real, installed as $size"
done

grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metadata does not launch $id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" ||
  fail "the metadata has no release entry for version $version"
for lang in '' ' xml:lang="ja"'; do
  grep -q "<summary$lang>" "$metainfo" || fail "summary$lang missing"
  grep -q "<p$lang>" "$metainfo" || fail "description$lang missing"
done

# The MIME package compiles and defines the types the program and the desktop file use.
XDG_DATA_DIRS=$usr/share update-mime-database "$usr/share/mime" || fail "update-mime-database rejects the MIME package"
globs=$usr/share/mime/globs2
grep -q ':text/x-vbproject:\*\.vbp$' "$globs" || fail "*.vbp is not text/x-vbproject"
grep -q ':application/x-zarun-catalogue:\*\.zrd$' "$globs" || fail "*.zrd is not application/x-zarun-catalogue"
IFS=';' read -ra types <<<"$(key MimeType)"
for type in "${types[@]}"; do
  [ -f "$usr/share/mime/$type.xml" ] || fail "the desktop file claims $type, which is not installed"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "Installed tree is valid"
