#!/usr/bin/env bash
# Runs a command in a private desktop where the stand-in IDE (zarun_fake_ide,
# built with the tests) opens .vbp files and builds them on "/make":
#   scripts/with-fake-ide.sh build/src/zarun
# Nothing is written to the real home folder; the folder is removed afterwards.
# ZARUN_FAKE_IDE names the stand-in when it is not in $ZARUN_BUILD/tests.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZARUN_BUILD:-$root/build}
ide=${ZARUN_FAKE_IDE:-$build/tests/zarun_fake_ide}
[ -x "$ide" ] || { echo "build the tests first: $ide is missing" >&2; exit 1; }
# A desktop entry needs the full path; with a relative one the desktop would pick another program.
ide=$(realpath -- "$ide")
[ $# -gt 0 ] || { echo "usage: $0 command [arguments...]" >&2; exit 2; }

desk=$(mktemp -d)
trap 'rm -rf "$desk"' EXIT
mkdir -p "$desk/data/applications" "$desk/data/mime/packages" "$desk/config" "$desk/calls"
cp "$root/packaging/zarun-mime.xml" "$desk/data/mime/packages/"
XDG_DATA_HOME="$desk/data" update-mime-database "$desk/data/mime"

# Exec quoting, then the desktop file's escape of backslashes.
quoted=$(printf '%s' "$ide" | sed -e 's/[\\"`$]/\\&/g' -e 's/%/%%/g' -e 's/\\/\\\\/g')
cat > "$desk/data/applications/zarun-fake-ide.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Fake IDE
NoDisplay=true
MimeType=text/x-vbproject;
Exec="$quoted" %f
DESKTOP
cat > "$desk/config/mimeapps.list" <<LIST
[Default Applications]
text/x-vbproject=zarun-fake-ide.desktop
LIST

export XDG_DATA_HOME="$desk/data" XDG_CONFIG_HOME="$desk/config" ZARUN_FAKE_IDE_LOG="$desk/calls"
# The system's applications stay available for folders, text files and addresses.
export XDG_DATA_DIRS="${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
"$@"
