#!/usr/bin/env bash
# Takes the README's pictures under Xvfb: the program on a small sample project after a text
# search, an open menu, and the text and value search dialogs, into docs/*.png.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$(id -u)" = 0 ]; then "$root/scripts/install-deps.sh"; fi
export BUILD_DIR=${BUILD_DIR:-$root/build}
"$root/scripts/build.sh" Vellmorant e2e_pictures_test
export WINEPREFIX=$BUILD_DIR/pictures-prefix
"$root/scripts/wine-prefix.sh" --fresh
. "$root/scripts/wine-env.sh"
. "$root/scripts/xvfb.sh"
unset DISPLAY
vm_start_xvfb
trap 'wineserver -k >/dev/null 2>&1 || true; vm_stop_xvfb' EXIT
out=$(mktemp -d)
VM_PICTURES_DIR=$(winepath -w "$out") VM_SOURCE_DIR="$root" VM_BINARY_DIR="$BUILD_DIR" \
  wine "$BUILD_DIR/tests/e2e/pictures_test.exe" --gtest_color=no
for name in main-window menu text-search value-search; do
  convert "$out/$name.bmp" "$root/docs/$name.png"
done
rm -rf "$out"
echo "pictures written to docs/"
