# Sourced: the unprivileged test user "vmtest" and the Wine prefix a test run gives it.
# Each run has a folder of its own in the user's home (prefix, executable copies, lock), so two
# runs on one machine never share a prefix, a lock or a wine server.
vm_unpriv_user=vmtest

# Creates the user when missing and prints its home folder.
vm_unpriv_home() {
  id "$vm_unpriv_user" >/dev/null 2>&1 ||
    useradd --system --create-home --shell /bin/bash "$vm_unpriv_user" 2>/dev/null ||
    id "$vm_unpriv_user" >/dev/null
  getent passwd "$vm_unpriv_user" | cut -d: -f6
}

# As root: makes this run's folder, owned by the user, and exports VM_UNPRIV_DIR.
vm_unpriv_begin() {
  [ "$(id -u)" = 0 ] || return 0
  local home; home=$(vm_unpriv_home)
  mkdir -p "$home"
  VM_UNPRIV_DIR=$(mktemp -d "$home/run.XXXXXXXX")
  chown "$vm_unpriv_user": "$VM_UNPRIV_DIR"
  export VM_UNPRIV_DIR
}

# Ends the wine server of this run's prefix only, then deletes the run's folder.
vm_unpriv_end() {
  [ -n "${VM_UNPRIV_DIR:-}" ] && [ -d "$VM_UNPRIV_DIR" ] || return 0
  if [ -d "$VM_UNPRIV_DIR/prefix" ]; then
    runuser -u "$vm_unpriv_user" -- env WINEPREFIX="$VM_UNPRIV_DIR/prefix" wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$VM_UNPRIV_DIR"
}
