#!/usr/bin/env bash
# Holds every #include under src/ and tools/ to the layer order of src/CMakeLists.txt: a
# file may include its own layer and the layers below it, never one above or beside. The
# build enforces the same through each layer's include root; this names every offence at
# once, with its file and line.
set -euo pipefail
cd "$(dirname "$0")/.."

# The order as src/CMakeLists.txt declares it, read from its quorvane_layer() calls: each
# layer's BELOW list, and the files of a layer that lives in another layer's folder
# (errortext's in eventlog/). tools/ links every layer.
declare -A below=() owner=()
while read -r kind key value; do
  case "$kind" in
    below) below[$key]=$value ;;
    owner) owner[$key]=$value ;;
  esac
done < <(awk '
  /^quorvane_layer\(/ { inblock = 1; text = "" }
  inblock { text = text " " $0; if ($0 ~ /\)[[:space:]]*$/) { inblock = 0; emit(text) } }
  function emit(text,    words, n, i, name, folder, key, list, files) {
    gsub(/quorvane_layer\(|\)/, " ", text)
    n = split(text, words, /[[:space:]]+/)
    name = ""; folder = ""; key = ""; list = ""; files = ""
    for (i = 1; i <= n; i++) {
      if (words[i] == "") continue
      if (name == "") { name = words[i]; continue }
      if (words[i] ~ /^(FOLDER|HEADERS|PURE|WINDOWS|BELOW|SYSTEM)$/) { key = words[i]; continue }
      if (key == "FOLDER") folder = words[i]
      else if (key == "BELOW") list = list " " words[i]
      else if (key == "HEADERS" || key == "PURE" || key == "WINDOWS") files = files " " words[i]
    }
    print "below", name, list
    all = all " " name
    if (folder != "") { n = split(files, words, " "); for (i = 1; i <= n; i++) if (words[i] != "") print "owner", folder "/" words[i], name }
  }
  END { print "below", "tools", all }
' src/CMakeLists.txt)
[ "${#below[@]}" -gt 1 ] || { echo "check-layers: no layers read from src/CMakeLists.txt" >&2; exit 1; }

# The layer of a path under src/ or tools/, into $layer: no subshell, since it runs for
# every include and the test command runs this each time.
layer_of() {
  layer=${owner[$1]:-${1%%/*}}
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
