#!/usr/bin/env bash
# Shared by run.sh and test.sh: installs what is missing, then configures and builds.
set -euo pipefail

ZARUN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZARUN_BUILD=${ZARUN_BUILD:-$ZARUN_ROOT/build}

ZARUN_PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-translations-l10n libglib2.0-dev
  shared-mime-info desktop-file-utils appstream lintian
  xvfb xauth xdotool x11-utils openbox fonts-noto-cjk
)

zarun_install_packages() {
  local missing=()
  for p in "${ZARUN_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

zarun_build() {
  cmake -S "$ZARUN_ROOT" -B "$ZARUN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$ZARUN_BUILD" --parallel "$(nproc)"
}
