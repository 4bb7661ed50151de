#!/usr/bin/env bash
# Builds the Windows Installer package build/package/QuorvaneShield-<version>-x64.msi from
# packaging/QuorvaneShield.wxs: QuorvaneService.exe and QuorvaneTool.exe into
# [ProgramFiles64Folder]Quorvane\ and the service QuorvaneShield registered.
#
#   scripts/package.sh [--sign PFX] [--bin DIR] [--out DIR] [--version X.Y.Z]
#
#   --sign PFX     sign both executables, then the package, with osslsigncode; the PFX's
#                  password comes from the environment variable QUORVANE_SIGN_PASSWORD
#                  (set it empty for a PFX without one). Without --sign nothing is signed.
#   --bin DIR      package the executables in DIR instead of building them (the windows preset)
#   --out DIR      where the package goes (build/package)
#   --version V    the package's version, when it is to differ from the project's (for a
#                  test of an upgrade); the executables keep their own
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

pfx= bin= out="$root/build/package" version=
usage() { sed -n '6,15s/^# \{0,1\}//p' "$0" >&2; exit "${1:-2}"; }
while [ $# -gt 0 ]; do
  case $1 in
    --sign) [ $# -ge 2 ] || usage; pfx=$2; shift 2 ;;
    --bin) [ $# -ge 2 ] || usage; bin=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    --version) [ $# -ge 2 ] || usage; version=$2; shift 2 ;;
    -h|--help) usage 0 ;;
    *) echo "package: unknown argument: $1" >&2; usage ;;
  esac
done

fail() { echo "package: $*" >&2; exit 1; }

if [ -z "$version" ]; then
  version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
fi
# Windows Installer compares three fields of 0-255, 0-255 and 0-65535.
[[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || fail "version '$version' is not X.Y.Z"
(( BASH_REMATCH[1] < 256 && BASH_REMATCH[2] < 256 && BASH_REMATCH[3] < 65536 )) ||
  fail "version '$version' is out of Windows Installer's range"
if [ -n "$pfx" ]; then
  [ -r "$pfx" ] || fail "cannot read $pfx"
  [ -n "${QUORVANE_SIGN_PASSWORD+set}" ] ||
    fail "set QUORVANE_SIGN_PASSWORD to the password of $pfx (empty for none)"
  pfx=$(cd "$(dirname "$pfx")" && pwd)/$(basename "$pfx")
fi

"$root/scripts/setup.sh"
if [ -z "$bin" ]; then
  (cd "$root" && cmake --preset windows >/dev/null &&
     cmake --build --preset windows --target QuorvaneService QuorvaneTool)
  bin="$root/build/windows/bin"
fi
for exe in QuorvaneService.exe QuorvaneTool.exe; do
  [ -f "$bin/$exe" ] || fail "no $exe in $bin"
done

# The staging folder also holds the password file: readable by this script's user only,
# and removed however the script ends.
work=$(umask 077 && mktemp -d "${TMPDIR:-/tmp}/quorvane-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/stage"
cp "$bin/QuorvaneService.exe" "$bin/QuorvaneTool.exe" "$work/stage/"

sign() {  # sign FILE DESCRIPTION
  osslsigncode sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256 -n "$2" \
    -in "$1" -out "$1.signed" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; fail "signing $(basename "$1") failed"; }
  mv -f "$1.signed" "$1"
}
if [ -n "$pfx" ]; then
  # printf is a shell builtin: the password never stands on a command line.
  (umask 077 && printf '%s' "$QUORVANE_SIGN_PASSWORD" >"$work/password")
  sign "$work/stage/QuorvaneService.exe" "Zintra(Quorvane) QuorvaneService"
  sign "$work/stage/QuorvaneTool.exe" "Zintra(Quorvane) QuorvaneTool"
fi

# One product code for each version: the same version built twice is the same product,
# never a second entry in Programs and Features. A name-based (SHA-1) GUID.
hash=$(printf 'QuorvaneShield %s' "$version" | sha1sum)
variant=$(printf '%x' $(( (0x${hash:16:1} & 0x3) | 0x8 )))
product_code="${hash:0:8}-${hash:8:4}-5${hash:13:3}-${variant}${hash:17:3}-${hash:20:12}"

# wixl resolves the File sources relative to its working folder.
(cd "$work/stage" && wixl -a x64 -D Version="$version" -D ProductCode="$product_code" -D BinDir=. \
   -o "$work/package.msi" "$root/packaging/QuorvaneShield.wxs") || fail "wixl failed"
if [ -n "$pfx" ]; then
  sign "$work/package.msi" "Zintra(Quorvane) QuorvaneShield $version"
fi
rm -f "$work/password"

mkdir -p "$out"
msi="$out/QuorvaneShield-$version-x64.msi"
mv -f "$work/package.msi" "$msi"
echo "$msi"
