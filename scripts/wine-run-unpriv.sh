#!/usr/bin/env bash
# Runs a Windows test executable under Wine as the unprivileged user "vmtest".
# Wine running as root ignores the read-only attribute when writing, so tests of
# read-only refusals run through this script. Without root it is plain wine-run.sh.
# The prefix lies in the run's folder VM_UNPRIV_DIR (made by test.sh); CTest started by
# hand gets a folder per build's prefix instead, kept for the next run.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "$(id -u)" != 0 ]; then exec "$here/wine-run.sh" "$@"; fi
. "$here/unpriv.sh"
user=$vm_unpriv_user
home=$(vm_unpriv_home)
run=${VM_UNPRIV_DIR:-}
kept=0
if [ -z "$run" ]; then
  run="$home/build.$(printf '%s' "${WINEPREFIX:-$HOME}" | md5sum | cut -c1-12)"
  install -d -o "$user" "$run"
  kept=1
fi
prefix="$run/prefix"
# The build and source folders tell end-to-end tests where the program is.
env_args=(DISPLAY="${DISPLAY:-}" WINEPREFIX="$prefix" HOME="$home" PATH="$PATH"
          VM_BINARY_DIR="${VM_BINARY_DIR:-}" VM_SOURCE_DIR="${VM_SOURCE_DIR:-}")
# Boot the run's prefix once and start its services with our output detached (a kept
# prefix's server may have ended since: start it again, a running one stays as it is).
(
  flock 9
  if [ ! -f "$prefix/.vellmorant-ready" ] || [ "$kept" = 1 ]; then
    # The persistent wineserver must not inherit the lock: it would hold it for good.
    runuser -u "$user" -- env "${env_args[@]}" bash -c ". '$here/wine-env.sh'; '$here/wine-prefix.sh'; wineserver -p; wine cmd.exe /c exit" </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$run/lock"
# The executable must be readable by the user: give it a copy in the run's folder.
exe="$1"; shift
copy="$run/bin/$(basename "$exe")"
install -D -o "$user" -m 755 "$exe" "$copy"
exec runuser -u "$user" -- env "${env_args[@]}" bash -c ". '$here/wine-env.sh'; exec wine \"\$0\" \"\$@\"" "$copy" "$@"
