#!/usr/bin/env bash
# Runs second_drive_tests.exe (argument 1) under Wine with a small tmpfs of its own mapped
# as drive D: of the prefix: another volume, which a rename cannot reach. The mount needs
# root (CI runs as root); it is undone however the tests end, and a failed mount fails the
# test rather than skipping it.
set -u
: "${WINEPREFIX:?the Wine prefix of the test run}"
exe=$1
mount_unix="$WINEPREFIX/quorvane-second-drive"
drive_link="$WINEPREFIX/dosdevices/d:"

release() {
  rm -f "$drive_link"
  if mountpoint -q "$mount_unix"; then
    umount "$mount_unix" 2>/dev/null || umount -l "$mount_unix"
  fi
  rmdir "$mount_unix" 2>/dev/null || true
}
release
if [ -e "$drive_link" ] || [ -L "$drive_link" ]; then
  echo "second_drive_test.sh: the prefix already has a D: drive" >&2
  exit 1
fi
mkdir -p "$mount_unix"
trap release EXIT
if ! mount -t tmpfs -o size=8m,mode=0777 quorvane-second "$mount_unix"; then
  echo "second_drive_test.sh: cannot mount a tmpfs at $mount_unix (run as root)" >&2
  exit 1
fi
ln -s "$mount_unix" "$drive_link"

QUORVANE_SECOND_DRIVE='D:\' wine "$exe" --gtest_color=no
