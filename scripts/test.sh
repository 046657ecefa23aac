#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine (CTest).
# Extra arguments go to ctest (for example: -R text -V).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$(id -u)" = 0 ]; then "$root/scripts/install-deps.sh"; fi
export BUILD_DIR=${BUILD_DIR:-$root/build}
# VM_BUILD_TARGETS: build only these targets (handy while other folders are mid-change).
"$root/scripts/build.sh" ${VM_BUILD_TARGETS:-}

# One fresh prefix per run, booted once, served by one persistent wineserver.
export WINEPREFIX=$BUILD_DIR/wineprefix
if [ "${VM_REUSE_PREFIX:-0}" = 1 ]; then "$root/scripts/wine-prefix.sh"; else "$root/scripts/wine-prefix.sh" --fresh; fi
. "$root/scripts/wine-env.sh"
. "$root/scripts/xvfb.sh"
. "$root/scripts/unpriv.sh"
vm_start_xvfb
wineserver -p
# Start Wine's services now, detached from our output: a service started by the first test
# would inherit that test's pipes, and CTest would wait for it to end.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
# Tests run as the unprivileged user get a prefix of this run's own (see unpriv.sh).
# Clean-up ends only this run's wine servers: another checkout may be testing beside us.
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  vm_unpriv_end
  vm_stop_xvfb >/dev/null 2>&1
}
trap cleanup EXIT
vm_unpriv_begin
rc=0
ctest --test-dir "$BUILD_DIR" -j"$(nproc)" --output-on-failure --no-label-summary "$@" || rc=$?
exit $rc
