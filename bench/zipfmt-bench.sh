#!/usr/bin/env bash
# Prints timings of the entry table (adding with lookup, finding, sorting) and of reading and
# writing the directory of a Python-made archive with 200,000 entries. Not a test.
# Usage: BUILD_DIR=... bash bench/zipfmt-bench.sh [count]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
count=${1:-200000}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
work=$(mktemp -d /tmp/zipfmt_bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$root/tests/zip/zipfmt_peers.py" mkmany "$work/many.zip" "$count"
"$root/scripts/wine-run.sh" "$build/tests/zip/zipfmt_tool.exe" bench "$count" "Z:${work//\//\\}\\many.zip"
