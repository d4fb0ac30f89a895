#!/usr/bin/env bash
# Installs what is missing, builds and starts ZARUN.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
zarun_install_packages
zarun_build -DZARUN_BUILD_TESTS=OFF
exec "$ZARUN_BUILD/src/zarun"
