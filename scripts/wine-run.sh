#!/usr/bin/env bash
# Runs a Windows executable under Wine with the project's environment (CTest's emulator).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
[ -d "$WINEPREFIX/drive_c" ] || "$here/wine-prefix.sh" >/dev/null 2>&1
exec wine "$@"
