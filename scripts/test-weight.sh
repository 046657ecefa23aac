#!/usr/bin/env bash
# Prints the test weight: non-blank lines of the tests (.cpp .h .rc .py .sh .cmake under
# tests/) against those of the library folders, and the ratio.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
count() { find "$@" -type f \( -name '*.cpp' -o -name '*.c' -o -name '*.h' -o -name '*.rc' -o -name '*.py' \
          -o -name '*.sh' -o -name '*.cmake' \) -print0 | xargs -0 cat | grep -cv '^[[:space:]]*$'; }
cd "$root"
code=$(count text system framework controls toolkit app zip)
tests=$(count tests)
awk -v c="$code" -v t="$tests" 'BEGIN { printf "code %d lines, tests %d lines, tests/code %.1f %%\n", c, t, 100 * t / c }'
