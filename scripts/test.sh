#!/usr/bin/env bash
# Builds everything and runs every test: the Windows build under Wine (its own prefix,
# display and code page), then the host build of the code free of windows.h.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh

cmake --preset windows >/dev/null
cmake --build --preset windows

source scripts/wine-env.sh
# A read-only-folder fault test killed half-way leaves its immutable folder in the old
# prefix, which would stop the prefix from being removed.
chattr -R -i "$root/build/windows/wineprefix-test/drive_c/quorvane-immutable" 2>/dev/null || true
# Likewise the full-disk test's tmpfs, which would stop the prefix from being removed.
umount "$root/build/windows/wineprefix-test/drive_c/quorvane-full" 2>/dev/null || true
trap wine_env_stop EXIT
wine_env_start "$root/build/windows/wineprefix-test"
wine_env_persist
ctest --preset windows -j2
wine_env_stop
trap - EXIT

# The same pure code built for the host, under AddressSanitizer and UBSan.
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native -j2

# The list reader under libFuzzer: the committed seeds, then a minute of fuzzing.
scripts/fuzz.sh 60
