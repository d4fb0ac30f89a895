#!/usr/bin/env bash
# Installs what is missing, builds and runs every test; fails when any test fails.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
zarun_install_packages
zarun_build -DZARUN_BUILD_TESTS=ON
cd "$ZARUN_BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j "$(nproc)"
