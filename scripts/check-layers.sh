#!/usr/bin/env bash
# Holds every #include under src/ and tools/ to the layer order of src/CMakeLists.txt: a
# file may include its own layer and the layers below it, never one above or beside. The
# build enforces the same through each layer's include root; this names every offence at
# once, with its file and line.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A below=(
  [platform]=""
  [ownfiles]="platform"
  [errortext]="platform"
  [activitylog]="platform ownfiles"
  [trust]="platform errortext activitylog"
  [fileops]="platform ownfiles trust"
  [service]="platform"
  [osversion]="platform"
  [pendinglist]="platform ownfiles errortext activitylog fileops service"
  [eventlog]="platform errortext activitylog pendinglist"
  [driver]="platform ownfiles errortext activitylog trust fileops service pendinglist eventlog"
  [tools]="platform ownfiles errortext activitylog trust fileops service osversion pendinglist eventlog driver"
)

# The layer of a path under src/ or tools/ ("eventlog/format_msg.h" is errortext's).
layer_of() {
  case "$1" in
    eventlog/format_msg.*|eventlog/format_msg_calls.h|eventlog/message_source.*) echo errortext ;;
    *) echo "${1%%/*}" ;;
  esac
}

offences=0
while IFS= read -r file; do
  own=$(layer_of "${file#src/}")
  [ -n "${below[$own]+x}" ] || continue
  while IFS=: read -r line text; do
    included=$(sed -E 's/^#include "([^"]+)".*/\1/' <<<"$text")
    [[ "$included" == */* ]] || continue
    layer=$(layer_of "$included")
    [ -n "${below[$layer]+x}" ] || continue
    if [ "$layer" != "$own" ] && [[ " ${below[$own]} " != *" $layer "* ]]; then
      echo "check-layers: $file:$line: $own includes $included ($layer is not below it)" >&2
      offences=$((offences + 1))
    fi
  done < <(grep -n '^#include "' "$file" || true)
done < <(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h')

if [ "$offences" -gt 0 ]; then
  echo "check-layers: $offences includes reach up or across" >&2
  exit 1
fi
echo "check-layers: every include of src/ and tools/ runs downward"
