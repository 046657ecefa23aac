#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program under Wine
# (under Xvfb when there is no display). Arguments go to the program.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$(id -u)" = 0 ]; then "$root/scripts/install-deps.sh"; fi
export BUILD_DIR=${BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
"$root/scripts/wine-prefix.sh"
. "$root/scripts/wine-env.sh"
. "$root/scripts/xvfb.sh"
vm_start_xvfb
trap vm_stop_xvfb EXIT
wine "$BUILD_DIR/app/Vellmorant.exe" "$@"
