#!/usr/bin/env bash
# The crash campaign: the service cut off after each of its changes in turn, over a small
# mixed list, then started again; about one cut-off in ten followed by a real boot of the
# prefix. crash_campaign.exe (argument 1) builds each scene and checks what the two runs
# left; a boot ends every Wine program of the prefix, so this script drives from outside.
# A failing cut-off is reproduced alone with: crash_campaign.sh EXE SEED CUT.
set -u
: "${WINEPREFIX:?the Wine prefix of the test run}"
exe=$1
source "$(dirname "$0")/../support/wine_boot.sh"
helper() { wine "$exe" "$@" </dev/null; }

seeds=(1 2 3 4 5 6)
only_cut=
if [ $# -ge 3 ]; then seeds=("$2"); only_cut=$3; fi

helper clear >/dev/null
failed=0
for seed in "${seeds[@]}"; do
  # The uncut run names every boundary.
  helper trace "$seed" >/dev/null && helper run >/dev/null || { echo "crash campaign: the traced run of seed $seed failed"; exit 1; }
  changes=$(helper count "$seed" | tr -d '\r')
  echo "crash campaign: seed $seed, $changes changes"
  for cut in $(seq 1 "$changes"); do
    [ -n "$only_cut" ] && [ "$cut" != "$only_cut" ] && continue
    helper setup "$seed" "$cut" >/dev/null || { echo "crash campaign: seed $seed cut $cut: no scene"; failed=1; continue; }
    helper run >/dev/null
    helper normal >/dev/null
    booted=-
    if [ $(( (seed * 7 + cut) % 10 )) -eq 0 ]; then
      booted=boot
      # A service set to start with the system runs at the boot; one that was not, after it.
      start_type=$(helper starttype | tr -d '\r')
      runs=$(helper runs | tr -d '\r')
      wine_boot
      if [ "$start_type" = 2 ]; then helper wait $((runs + 1)) >/dev/null; else helper run >/dev/null; fi
    else
      helper run >/dev/null
    fi
    helper check "$seed" "$cut" "$booted" || failed=1
  done
done
if [ -z "$only_cut" ]; then helper summary "${seeds[@]}" || failed=1; fi
helper clear >/dev/null
exit $failed
