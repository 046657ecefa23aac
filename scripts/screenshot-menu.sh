#!/usr/bin/env bash
# Makes docs/menu.png: the program under Xvfb with its "Bearbeiten" menu open. A small helper
# (built here with MinGW) opens the menu by the keyboard route, as Alt+B would.
# Usage: BUILD_DIR=build bash scripts/screenshot-menu.sh [folder shown by the program]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
. "$root/scripts/wine-env.sh"
export WINEPREFIX=$BUILD_DIR/wineprefix
"$root/scripts/wine-prefix.sh"
. "$root/scripts/xvfb.sh"
unset DISPLAY
vm_start_xvfb
helper=$BUILD_DIR/open_menu.exe
cat > "$BUILD_DIR/open_menu.c" <<'SRC'
#include <windows.h>
static BOOL CALLBACK Find(HWND h, LPARAM out) {
  char t[256];
  if (IsWindowVisible(h) && GetMenu(h) && GetWindowTextA(h, t, sizeof t) && strstr(t, "Vellmorant")) {
    *(HWND *)out = h;
    return FALSE;
  }
  return TRUE;
}
int main(int argc, char **argv) {
  HWND main = 0;
  for (int i = 0; i < 200 && !main; ++i) { EnumWindows(Find, (LPARAM)&main); if (!main) Sleep(100); }
  if (!main) return 1;
  if (argc > 1 && argv[1][0] == '-') return !PostMessageA(main, WM_CLOSE, 0, 0);
  SetForegroundWindow(main);
  Sleep(1500);
  PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, argc > 1 ? argv[1][0] : 'b');
  Sleep(500);
  PostMessageA(main, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(main, WM_KEYDOWN, VK_DOWN, 0);
  return 0;
}
SRC
i686-w64-mingw32-gcc -O2 -o "$helper" "$BUILD_DIR/open_menu.c" -luser32
wine "$BUILD_DIR/app/Vellmorant.exe" "${1:-C:\\windows}" &
app=$!
wine "$helper" b
sleep 2
import -window root -crop 560x460+0+0 "$root/docs/menu.png"
wine "$helper" - || true
wait "$app" || true
vm_stop_xvfb
