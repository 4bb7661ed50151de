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

# The layer of a path under src/ or tools/ ("eventlog/format_msg.h" is errortext's), into
# $layer: no subshell, since it runs for every include and the test command runs this each time.
layer_of() {
  case "$1" in
    eventlog/format_msg.*|eventlog/format_msg_calls.h|eventlog/message_source.*) layer=errortext ;;
    *) layer=${1%%/*} ;;
  esac
}

offences=0
include_re='^#include "([^"]+)"'
while IFS= read -r file; do
  layer_of "${file#src/}"
  own=$layer
  [ -n "${below[$own]+x}" ] || continue
  while IFS=: read -r line text; do
    [[ "$text" =~ $include_re ]] || continue
    included=${BASH_REMATCH[1]}
    [[ "$included" == */* ]] || continue
    layer_of "$included"
    [ -n "${below[$layer]+x}" ] || continue
    if [ "$layer" != "$own" ] && [[ " ${below[$own]} " != *" $layer "* ]]; then
      echo "check-layers: $file:$line: $own includes $included ($layer is not below it)" >&2
      offences=$((offences + 1))
    fi
  done < <(grep -n '^#include "' "$file" || true)
# find, not git: the test command may run it in a copy of the tree without .git, and a new
# file counts before it is added.
done < <(find src tools -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

if [ "$offences" -gt 0 ]; then
  echo "check-layers: $offences includes reach up or across" >&2
  exit 1
fi
echo "check-layers: every include of src/ and tools/ runs downward"
