#!/usr/bin/env bash
# Runs readonly_folder_fault_tests.exe (argument 1) under Wine in a folder of the prefix
# set aside for it, and makes that folder writable again and removes it however the tests
# end: chattr +i binds root too, and a folder left immutable would stop the prefix from
# being removed.
set -u
: "${WINEPREFIX:?the Wine prefix of the test run}"
exe=$1
root_unix="$WINEPREFIX/drive_c/quorvane-immutable"

release() {
  chattr -R -i "$root_unix" 2>/dev/null || true
  rm -rf "$root_unix"
}
release
mkdir -p "$root_unix"
trap release EXIT

QUORVANE_FAULT_ROOT='C:\quorvane-immutable\' QUORVANE_FAULT_ROOT_UNIX="$root_unix/" \
  wine "$exe" --gtest_color=no
