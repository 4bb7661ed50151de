#!/usr/bin/env bash
# Checks that the shipped executables would load on the oldest Windows of their
# architecture: every imported name must be one the NT 5.1 (x86: XP SP3) or NT 5.2 (x64:
# XP x64, Server 2003 SP2) system DLL exports, and the PE header must ask for no later
# subsystem or OS version. Wine exports the later calls in every mode, so a run under
# Wine cannot show this; only the export lists in ../shared/xp-exports (beside the
# repository; scripts/xp-exports holds a copy of them) can.
#
#   scripts/check-imports.sh BIN_DIR ARCH      ARCH: x86 or x64
#
# Fails, naming the executable, the DLL and the call, on a name missing from the DLL's
# list, on a DLL with no list at all, on an import by ordinal (the lists hold names), on
# a header asking for too much, and on an executable of the wrong architecture. When
# BIN_DIR lies in a CMake build tree, each missing call is followed by the product's
# object files that import it (from x86_64-w64-mingw32-nm), so that it can be traced.
set -euo pipefail
export LC_ALL=C  # binutils' own texts, which the parsing below reads, untranslated
root=$(cd "$(dirname "$0")/.." && pwd)

usage() { sed -n '9s/^# \{0,1\}//p' "$0" >&2; exit 2; }
[ $# -eq 2 ] || usage
bin=$1 arch=$2
case $arch in
  x86) listdir=i386 format=pei-i386 max_major=5 max_minor=1 system="NT 5.1 (XP SP3, x86)" ;;
  x64) listdir=x86_64 format=pei-x86-64 max_major=5 max_minor=2 system="NT 5.2 (XP x64 / Server 2003 SP2)" ;;
  *) usage ;;
esac
# The x86_64 binutils of mingw-w64 read the PE files and objects of both architectures.
objdump=x86_64-w64-mingw32-objdump nm=x86_64-w64-mingw32-nm
# The lists beside the repository where they are; else the copy kept in it, so that a clone
# on its own (CI's) is checked against the same names.
lists="$root/../shared/xp-exports/$listdir"
[ -d "$lists" ] || lists="$root/scripts/xp-exports/$listdir"
[ -d "$lists" ] || { echo "check-imports: no export lists at $lists" >&2; exit 2; }
lists=$(cd "$lists" && pwd)
[ -d "$bin" ] || { echo "check-imports: no folder $bin" >&2; exit 2; }

# The product's own objects, for tracing a missing call to its source.
build=$(cd "$bin/.." && pwd)
objects=()
if [ -f "$build/CMakeCache.txt" ]; then
  mapfile -t objects < <(find "$build/src" "$build/tools" -name '*.obj' 2>/dev/null | sort)
fi

importers() {  # importers NAME: the product's object files that import NAME
  local name=$1 obj
  for obj in "${objects[@]}"; do
    # x64: __imp_Name; x86: __imp__Name@bytes (stdcall) or __imp__Name (cdecl)
    if grep -Eq "__imp__?${name}(@[0-9]+)?\$" <<<"$("$nm" -u "$obj" 2>/dev/null)"; then
      echo "${obj#"$build/"}"
    fi
  done
}

echo "check-imports: $arch executables in $bin against $system, lists in $lists"
faults=0
fault() { echo "  FAIL $*"; faults=$((faults + 1)); }
for exe in QuorvaneService.exe QuorvaneTool.exe; do
  file="$bin/$exe"
  echo "$exe:"
  if [ ! -f "$file" ]; then fault "$exe is missing"; continue; fi
  if ! dump=$("$objdump" -p "$file" 2>&1); then fault "not a PE file: $dump"; continue; fi

  got_format=$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$dump" | head -1)
  [ "$got_format" = "$format" ] || fault "file format $got_format, not $format"

  field() { awk -v f="$1" '$1 == f { print $2 + 0; exit }' <<<"$dump"; }
  for what in Subsystem OSystem; do
    major=$(field "Major${what}Version") minor=$(field "Minor${what}Version")
    label=$([ "$what" = OSystem ] && echo "OS version" || echo "subsystem version")
    if (( major > max_major || (major == max_major && minor > max_minor) )); then
      fault "PE header asks for $label $major.$minor, more than $max_major.$max_minor"
    else
      echo "  ok   PE header $label $major.$minor"
    fi
  done

  # objdump -p: a "DLL Name: X" line, then one "vma hint name" line per import.
  while IFS=$'\t' read -r dll name; do
    key=$(tr '[:upper:]' '[:lower:]' <<<"${dll%.[dD][lL][lL]}")
    if [ ! -f "$lists/$key.txt" ]; then
      fault "$dll!$name: no export list for $dll ($listdir/$key.txt)"
    elif [ -z "$name" ]; then
      fault "$dll: an import by ordinal, which the lists cannot check"
    elif ! grep -qxF -- "$name" "$lists/$key.txt"; then
      fault "$dll!$name: not exported by $system"
      while read -r obj; do echo "         imported by $obj"; done < <(importers "$name")
    fi
  done < <(awk '
    /^[ \t]*DLL Name:/ { dll = $3; members = 0; next }
    dll != "" && /^[ \t]*vma:[ \t]+Hint\/Ord/ { members = 1; next }
    /^The / { dll = ""; members = 0; next }
    /^[ \t]*$/ { members = 0; next }
    members { print dll "\t" ((NF < 3 || $NF == "<none>" || $2 ~ /^[Oo]rdinal/) ? "" : $NF) }' <<<"$dump")
  echo "  imports: $(grep -c 'DLL Name:' <<<"$dump") DLLs checked"
done

if [ "$faults" -gt 0 ]; then
  echo "check-imports: FAILED: $faults fault(s); the $arch executables would not load on $system"
  exit 1
fi
echo "check-imports: passed: the $arch executables load on $system and later"
