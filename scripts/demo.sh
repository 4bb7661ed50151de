#!/usr/bin/env bash
# Builds the service and its tool and runs the service's job once under Wine's service
# control manager, in a throwaway prefix: QuorvaneTool writes a list naming a deletable
# file, a read-only file, a missing file, a directory and an entry to be left alone; the
# service is registered with "sc create" and started with "net start"; then the demo
# shows what became of each file, the activity log (as it stands and as QuorvaneTool log
# show reads it), the files staged for the restart, the delete-at-restart requests and
# the list file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target QuorvaneService QuorvaneTool >/dev/null

source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start "$root/build/windows/wineprefix-demo"
# One session for the whole demo: a new session of Wine's simulated Windows is a
# restart, which would already carry out the delete-at-restart requests.
wine_env_persist

drive_c="$WINEPREFIX/drive_c"
app="$drive_c/Program Files/Quorvane"  # writable by administrators only, as the service requires
files="$drive_c/DemoFiles"
mkdir -p "$app" "$files/a-directory"
cp build/windows/bin/QuorvaneService.exe build/windows/bin/QuorvaneTool.exe "$app/"
echo "delete me" > "$files/deletable.tmp"
echo "read only" > "$files/read-only.tmp"
echo "keep me"   > "$files/flagged.tmp"

# Output of Wine's own programs is in the ANSI code page (GBK here); the tool writes UTF-8
# when asked (--utf8).
to_utf8() { iconv -f GBK -t UTF-8 2>/dev/null || cat; }
quiet() { "$@" </dev/null 2>&1 | to_utf8; }
tool() { wine 'C:\Program Files\Quorvane\QuorvaneTool.exe' --utf8 "$@" </dev/null 2>&1 | tr -d '\r'; }

quiet wine cmd /c attrib +r 'C:\DemoFiles\read-only.tmp' >/dev/null

list='C:\Program Files\Quorvane\QuorvanePendingRebootList.dat'
echo "== The list, written with QuorvaneTool"
tool list create "$list"
tool list add "$list" 'C:\DemoFiles\deletable.tmp'
tool list add "$list" 'C:\DemoFiles\read-only.tmp'
tool list add "$list" 'C:\DemoFiles\missing.tmp'
tool list add "$list" 'C:\DemoFiles\a-directory'
tool list add "$list" 'C:\DemoFiles\flagged.tmp' --flag 1 --extra "left alone"
echo
tool list show "$list"
list_before=$(md5sum < "$app/QuorvanePendingRebootList.dat")

echo
echo "== Registering and starting the service"
quiet wine sc create QuorvaneShield binPath= '"C:\Program Files\Quorvane\QuorvaneService.exe" /debugmode'
quiet wine net start QuorvaneShield

state=""
for _ in $(seq 1 600); do
  state=$(wine sc query QuorvaneShield </dev/null 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $3, $4}')
  [ "${state%% *}" = "1" ] && break
  sleep 0.2
done
echo "Final state of QuorvaneShield: $state"

# The service writes its last entry, "stopped" (GBK CDA3 D6B9 C1CB), after reporting
# stopped; wait for it.
for _ in $(seq 1 100); do
  [ "$(tail -c 8 "$app/QuorvaneServiceLog.txt" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = "cda3d6b9c1cb0d0a" ] && break
  sleep 0.1
done

show_files() {
  local staged
  staged=$(tool staged)
  for f in deletable.tmp read-only.tmp missing.tmp a-directory flagged.tmp; do
    if [ -d "$files/$f" ]; then what="directory, untouched"
    elif [ -f "$files/$f" ]; then what="still there"
    elif grep -qF 'C:\DemoFiles\'"$f" <<<"$staged"; then what="staged in the service's folder for the restart"
    else what="gone"; fi
    printf '  %-16s %s\n' "$f" "$what"
  done
}

echo
echo "== What became of each file"
show_files

echo
echo "== Activity log (C:\\Program Files\\Quorvane\\QuorvaneServiceLog.txt), converted to UTF-8"
to_utf8 < "$app/QuorvaneServiceLog.txt" | tr -d '\r'

echo
echo "== The same run, as QuorvaneTool log show reads it"
tool log show 'C:\Program Files\Quorvane\QuorvaneServiceLog.txt'

echo
echo "== Staged for the restart (the read-only file, moved into the service's own folder)"
tool staged

echo
echo "== Delete-at-restart requests (PendingFileRenameOperations)"
quiet wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
  | tr -d '\r' | grep -v '^$' || true

echo
echo "== The list file after the run"
tool list verify "$list"
if [ "$(md5sum < "$app/QuorvanePendingRebootList.dat")" = "$list_before" ]; then
  echo "unchanged: the run never writes the list back, so the next start takes up every entry again"
fi
