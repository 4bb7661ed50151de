#!/usr/bin/env bash
#   scripts/test.sh            builds everything and runs every test
#   scripts/test.sh --quick    the edit-and-test loop: the layer check, the host tests and the
#                              x64 tests labelled quick (no whole runs of the service, faults,
#                              packaging or crash campaign), building only what they need
#
# Every test: the layer check, the x64 build, the x86 service and tool, the import check of
# both, the x64 tests under Wine (its own prefix, display and code page), the x86 test
# programs built and run where a 32-bit Wine works, a selection of the x64 tests again with
# Wine reporting XP x64 / Server 2003, the host build of the code free of windows.h, and the
# fuzzer. A failed import check is reported at the end, after every test has run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd -P)
cd "$root"

quick=false
case "${1:-}" in
  "") ;;
  --quick) quick=true ;;
  *) sed -n '2,5s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
esac
started=$SECONDS
# Folders made by the runs (the build tree, the service folders of the tests) must not be
# writable by others, or the service's trust gate refuses them.
umask 022
# One compile or link per core: the static test programs' links are large.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

# The first folder from $1 up to / that others may write, if any. Wine gives Everyone write
# rights on a folder whose "other" write bit is set (/tmp: 1777), and the trust gate then
# refuses every service folder below it.
writable_by_others() {
  local dir=$1
  while :; do
    if [ -n "$(find "$dir" -maxdepth 0 -perm -0002)" ]; then echo "$dir"; return; fi
    [ "$dir" = / ] && return
    dir=$(dirname "$dir")
  done
}
open_dir=$(writable_by_others "$root")
if [ -n "$open_dir" ]; then
  copy="${HOME:?}/quorvane-test-copy"
  mkdir -p "$copy"
  copy=$(cd "$copy" && pwd -P)
  copy_open=$(writable_by_others "$copy")
  if [ -n "$copy_open" ]; then
    echo "test: others may write $open_dir above $root, and $copy_open above $copy: the trust" \
         "gate would refuse both; move the repository." >&2
    exit 1
  fi
  echo "test: others may write $open_dir, above this repository, which the trust gate refuses: running a copy in $copy"
  # Refreshed each run; its build tree is kept, and the copied files keep their times, so
  # only what changed is rebuilt.
  find "$copy" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
  tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" --no-same-permissions -xf -
  exec "$copy/scripts/test.sh" "$@"
fi

scripts/check-layers.sh

# The x64 tests that run once more in a prefix where Wine reports winxp64 (5.2 build 3790,
# Service Pack 2): full service runs under the service control manager (a deleted file, a
# staged read-only one, a missing one, the log complete), the list file, the file route
# (with the final path call withheld too) and its link faults, and the tool (its osversion
# command among them).
xp_mode_tests=(service_run_tests cleanup_run_tests pendinglist_tests fileops_tests list_fault_tests
               link_fault_tests quorvane_tool_tests os_version_tests)

scripts/setup.sh
source scripts/wine-env.sh
# fresh_prefix DIR: a test prefix with its server kept up, stopped on any exit until
# end_prefix; what a killed run left undone goes first.
fresh_prefix() {
  trap wine_env_stop EXIT
  # A read-only-folder fault test killed half-way leaves its immutable folder in the old
  # prefix, and the full-disk test its tmpfs; either would stop the prefix from being removed.
  chattr -R -i "$1/drive_c/quorvane-immutable" 2>/dev/null || true
  umount "$1/drive_c/quorvane-full" 2>/dev/null || true
  wine_env_start "$1"
  wine_env_persist
}
end_prefix() {
  wine_env_stop
  trap - EXIT
}

if $quick; then
  # The host tests first: they build and run in well under a minute.
  cmake --preset native >/dev/null
  cmake --build --preset native --target quorvane_quick_tests
  ctest --preset native -j2 -L quick
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target quorvane_quick_tests
  fresh_prefix "$root/build/windows/wineprefix-test"
  ctest --preset windows -j2 -L quick
  end_prefix
  echo "test: the quick tests passed in $((SECONDS - started)) s (scripts/test.sh runs every test)"
  exit 0
fi

cmake --preset windows >/dev/null
cmake --build --preset windows
# The x86 service and tool everywhere, for their import check and the x86 package; the x86
# test programs only where they can run (below).
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 --target QuorvaneService QuorvaneTool

import_check_failed=()
scripts/check-imports.sh build/windows/bin x64 || import_check_failed+=(x64)
scripts/check-imports.sh build/windows-x86/bin x86 || import_check_failed+=(x86)

fresh_prefix "$root/build/windows/wineprefix-test"
ctest --preset windows -j2

# Whether this Wine runs a 32-bit program at all: a tiny one that prints a line.
probe_dir="$root/build/windows-x86/wine32-probe"
mkdir -p "$probe_dir"
printf '#include <stdio.h>\nint main(void) { puts("32-bit ok"); return 0; }\n' >"$probe_dir/probe.c"
i686-w64-mingw32-gcc-win32 -o "$probe_dir/probe.exe" "$probe_dir/probe.c"
WINEDEBUG=err+all timeout 60 wine "$probe_dir/probe.exe" >"$probe_dir/out.txt" 2>"$probe_dir/err.txt" </dev/null || true
end_prefix

if [ "$(tr -d '\r' <"$probe_dir/out.txt")" = "32-bit ok" ]; then
  cmake --build --preset windows-x86
  fresh_prefix "$root/build/windows-x86/wineprefix-test"
  ctest --preset windows-x86 -j2
  end_prefix
else
  why=$(grep -m1 -E "wine32 is missing|load_wow64_ntdll|Exec format error" "$probe_dir/err.txt" || true)
  kernel=$(dmesg 2>/dev/null | grep -m1 -o "32-bit emulation disabled" || true)
  echo "test: SKIPPED the x86 tests, their programs not built: a 32-bit program does not run under this Wine."
  echo "test:   Wine said: ${why:-nothing, and the probe printed nothing}"
  [ -z "$kernel" ] || echo "test:   The kernel says: $kernel."
  if [ "$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null || true)" != "install ok installed" ]; then
    echo "test:   wine32 is not installed (scripts/setup.sh does not install it); do not install" \
         "it where the kernel has no 32-bit emulation: every wine command then fails."
  fi
  echo "test:   The x86 QuorvaneService and QuorvaneTool were built and their imports checked;" \
       "the x86 tests need a machine whose Wine runs 32-bit programs."
fi

# The selection again, with Wine reporting XP x64 / Server 2003 SP2. Wine still exports the
# later calls in this mode: it shows behaviour, and the import check shows loading.
xp_start=$SECONDS
fresh_prefix "$root/build/windows/wineprefix-winxp64"
# Read by each process as it starts, the services among them.
wine reg add 'HKCU\Software\Wine' /v Version /d winxp64 /f >/dev/null 2>&1 </dev/null
wine build/windows/bin/QuorvaneTool.exe osversion >"$root/build/windows/winxp64-osversion.txt" \
  2>/dev/null </dev/null || true
reported=$(head -n 1 "$root/build/windows/winxp64-osversion.txt" | tr -d '\r')
[ "$reported" = "Windows NT 5.2 Build 3790 SP 2" ] ||
  { echo "test: the winxp64 prefix reports '$reported', not Windows NT 5.2 Build 3790 SP 2" >&2; exit 1; }
echo "test: winxp64 prefix: QuorvaneTool osversion says $reported"
ctest --preset windows -j2 -R "^($(IFS='|'; echo "${xp_mode_tests[*]}"))\$"
end_prefix
echo "test: the winxp64 selection took $((SECONDS - xp_start)) s"

# The same pure code built for the host, under AddressSanitizer and UBSan.
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native -j2

# The list reader under libFuzzer: the committed seeds, then a minute of fuzzing.
scripts/fuzz.sh 60

if [ ${#import_check_failed[@]} -gt 0 ]; then
  echo "test: FAILED: the import check of the ${import_check_failed[*]} executables (see its output above):" \
       "they would not load on the oldest Windows of their architecture." >&2
  exit 1
fi
echo "test: all passed"
