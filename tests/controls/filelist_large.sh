#!/usr/bin/env bash
# Makes a folder of 20,000 empty files on the Linux side (creating them through Wine takes
# far longer) and runs the file list's large-fill test on it.
# usage: filelist_large.sh <filelist_test.exe>
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exe=$1
dir=$(mktemp -d /tmp/vmfl_large.XXXXXX)
trap 'rm -rf "$dir"' EXIT
for d in $(seq 0 19); do
  mkdir "$dir/d$d"
  (cd "$dir/d$d" && printf 'f%d\0' $(seq 0 999) | xargs -0 touch)
done
count=$(find "$dir" -type f | wc -l)
[ "$count" = 20000 ] || { echo "made $count files, not 20000"; exit 1; }
export VM_LARGE_DIR="Z:${dir//\//\\}"
"$here/../../scripts/wine-run.sh" "$exe" --gtest_color=no --gtest_filter='FileListTest.StopFlagEndsALargeFillPromptly' \
  --gtest_also_run_disabled_tests 2>&1 | tee "$dir.log"
grep -q '^\[  PASSED  \] 1 test' "$dir.log" && ! grep -q 'SKIPPED' "$dir.log"
rc=$?
rm -f "$dir.log"
exit $rc
