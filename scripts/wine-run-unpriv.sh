#!/usr/bin/env bash
# Runs a Windows test executable under Wine as the unprivileged user "vmtest".
# Wine running as root ignores the read-only attribute when writing, so tests of
# read-only refusals run through this script. Without root it is plain wine-run.sh.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "$(id -u)" != 0 ]; then exec "$here/wine-run.sh" "$@"; fi
user=vmtest
id "$user" >/dev/null 2>&1 || useradd --system --create-home --shell /bin/bash "$user" 2>/dev/null || id "$user" >/dev/null
home=$(getent passwd "$user" | cut -d: -f6)
prefix="$home/wineprefix"
env_args=(DISPLAY="${DISPLAY:-}" WINEPREFIX="$prefix" HOME="$home" PATH="$PATH")
# Boot the user's prefix once and start its services with our output detached.
(
  flock 9
  if [ ! -f "$prefix/.vellmorant-ready" ] || ! runuser -u "$user" -- env "${env_args[@]}" bash -c 'pgrep -u "$(id -u)" -x wineserver32 >/dev/null || pgrep -u "$(id -u)" wineserver >/dev/null'; then
    # The persistent wineserver must not inherit the lock: it would hold it for good.
    runuser -u "$user" -- env "${env_args[@]}" bash -c ". '$here/wine-env.sh'; '$here/wine-prefix.sh'; wineserver -p; wine cmd.exe /c exit" </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>/tmp/vellmorant-unpriv.lock
# The executable must be readable by the user: give it a copy in the user's home.
exe="$1"; shift
copy="$home/bin/$(basename "$exe")"
install -D -o "$user" -m 755 "$exe" "$copy"
exec runuser -u "$user" -- env "${env_args[@]}" bash -c ". '$here/wine-env.sh'; exec wine \"\$0\" \"\$@\"" "$copy" "$@"
