# Sourced: starts Xvfb on a free display unless one is usable, and exports DISPLAY.
# Sets VM_XVFB_PID when it started one.
vm_start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local fifo; fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  VM_XVFB_PID=$!
  local n; read -r n < "$fifo"; rm -f "$fifo"
  export DISPLAY=":$n"
}
vm_stop_xvfb() {
  [ -n "${VM_XVFB_PID:-}" ] && kill "$VM_XVFB_PID" 2>/dev/null && wait "$VM_XVFB_PID" 2>/dev/null
  return 0
}
