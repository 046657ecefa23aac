# Sourced by the run and test scripts: the environment every Wine process of ours sees.
# A German Windows: ANSI code page 1252, OEM 850; a fixed time zone with daylight saving.
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=de_DE.UTF-8
export LC_ALL=de_DE.UTF-8
export TZ=${VM_TZ:-Europe/Berlin}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-vellmorant}
