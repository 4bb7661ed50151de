#!/usr/bin/env bash
# Runs full_disk_fault_tests.exe (argument 1) under Wine with a small tmpfs mounted inside
# the prefix's drive_c, where the tests put the service's folder and fill it up. The
# mount needs root (CI runs as root); it is undone however the tests end, and a failed
# mount fails the test rather than skipping it.
set -u
: "${WINEPREFIX:?the Wine prefix of the test run}"
exe=$1
mount_unix="$WINEPREFIX/drive_c/quorvane-full"

release() {
  if mountpoint -q "$mount_unix"; then
    umount "$mount_unix" 2>/dev/null || umount -l "$mount_unix"
  fi
  rmdir "$mount_unix" 2>/dev/null || true
}
release
mkdir -p "$mount_unix"
trap release EXIT
# Mode 0755, owned by root, the Wine user: a folder above the service's that others may
# write (0777) would stop every run before its list.
if ! mount -t tmpfs -o size=32m,mode=0755 quorvane-full "$mount_unix"; then
  echo "full_disk_test.sh: cannot mount a tmpfs at $mount_unix (run as root)" >&2
  exit 1
fi

QUORVANE_FULL_ROOT='C:\quorvane-full\' wine "$exe" --gtest_color=no
