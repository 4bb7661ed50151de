#!/usr/bin/env bash
# Builds the service and runs its main job once under Wine's service control manager,
# in a throwaway prefix: registered with "sc create", started with "net start", and
# then shows the activity log, the list file and the service's final state.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target QuorvaneService >/dev/null

source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start "$root/build/windows/wineprefix-demo"

drive_c="$WINEPREFIX/drive_c"
app="$drive_c/Quorvane"
mkdir -p "$app"
cp build/windows/bin/QuorvaneService.exe "$app/"

to_utf8() { iconv -f GBK -t UTF-8 2>/dev/null || cat; }

echo "== Registering and starting the service"
wine sc create QuorvaneShield binPath= 'C:\Quorvane\QuorvaneService.exe /debugmode' </dev/null 2>&1 | to_utf8
wine net start QuorvaneShield </dev/null 2>&1 | to_utf8

state=""
for _ in $(seq 1 600); do
  state=$(wine sc query QuorvaneShield </dev/null 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $3, $4}')
  [ "${state%% *}" = "1" ] && break
  sleep 0.2
done
# The service writes its last entry after reporting stopped; wait for its process to end.
wineserver -w

echo
echo "== Activity log (C:\\Quorvane\\QuorvaneServiceLog.txt), converted to UTF-8"
to_utf8 < "$app/QuorvaneServiceLog.txt" | tr -d '\r'
echo
echo "== List file (C:\\Quorvane\\QuorvanePendingRebootList.dat)"
if [ -f "$app/QuorvanePendingRebootList.dat" ]; then
  echo "$(stat -c %s "$app/QuorvanePendingRebootList.dat") bytes"
else
  echo "not there"
fi
echo
echo "== Final state of QuorvaneShield: $state"
