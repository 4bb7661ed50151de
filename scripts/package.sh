#!/usr/bin/env bash
# Builds the Windows Installer package build/package/QuorvaneShield-<version>-<arch>.msi
# from packaging/QuorvaneShield.wxs: QuorvaneService.exe and QuorvaneTool.exe into
# [ProgramFiles64Folder]Quorvane\ (x64) or [ProgramFilesFolder]Quorvane\ (x86, refused on
# 64-bit Windows), the service QuorvaneShield registered, and its event source.
#
#   scripts/package.sh [--arch x64|x86] [--sign PFX] [--bin DIR] [--out DIR] [--version X.Y.Z]
#
#   --arch A       x64 (the default; the windows preset) or x86 (the windows-x86 preset)
#   --sign PFX     sign both executables, then the package, with osslsigncode; the PFX's
#                  password comes from the environment variable QUORVANE_SIGN_PASSWORD
#                  (set it empty for a PFX without one). Without --sign nothing is signed.
#   --bin DIR      package the executables in DIR instead of building them (the arch's preset)
#   --out DIR      where the package goes (build/package)
#   --version V    the package's version, when it is to differ from the project's (for a
#                  test of an upgrade); the executables keep their own
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

arch=x64 pfx= bin= out="$root/build/package" version=
usage() { sed -n '7,17s/^# \{0,1\}//p' "$0" >&2; exit "${1:-2}"; }
while [ $# -gt 0 ]; do
  case $1 in
    --arch) [ $# -ge 2 ] || usage; arch=$2; shift 2 ;;
    --sign) [ $# -ge 2 ] || usage; pfx=$2; shift 2 ;;
    --bin) [ $# -ge 2 ] || usage; bin=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    --version) [ $# -ge 2 ] || usage; version=$2; shift 2 ;;
    -h|--help) usage 0 ;;
    *) echo "package: unknown argument: $1" >&2; usage ;;
  esac
done

fail() { echo "package: $*" >&2; exit 1; }

case $arch in
  x64) preset=windows format=pei-x86-64 ;;
  x86) preset=windows-x86 format=pei-i386 ;;
  *) fail "--arch is x64 or x86, not '$arch'" ;;
esac

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
  (cd "$root" && cmake --preset "$preset" >/dev/null &&
     cmake --build --preset "$preset" --target QuorvaneService QuorvaneTool)
  bin="$root/build/$preset/bin"
fi
for exe in QuorvaneService.exe QuorvaneTool.exe; do
  [ -f "$bin/$exe" ] || fail "no $exe in $bin"
  # Whole outputs in variables: under pipefail, grep -q ending a pipe early fails it.
  header=$(LC_ALL=C x86_64-w64-mingw32-objdump -f "$bin/$exe")
  grep -q "file format $format\$" <<<"$header" || fail "$bin/$exe is no $arch executable"
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

# One product code for each version and architecture: the same package built twice is the
# same product, never a second entry in Programs and Features. A name-based (SHA-1) GUID;
# the x64 name has no suffix, as before there was an x86 package.
name="QuorvaneShield $version"
[ "$arch" = x64 ] || name+=" $arch"
hash=$(printf '%s' "$name" | sha1sum)
variant=$(printf '%x' $(( (0x${hash:16:1} & 0x3) | 0x8 )))
product_code="${hash:0:8}-${hash:8:4}-5${hash:13:3}-${variant}${hash:17:3}-${hash:20:12}"

# wixl resolves the File sources relative to its working folder.
(cd "$work/stage" && wixl -a "$arch" -D Arch="$arch" -D Version="$version" \
   -D ProductCode="$product_code" -D BinDir=. \
   -o "$work/package.msi" "$root/packaging/QuorvaneShield.wxs") || fail "wixl failed"
# wixl drops the mark of an expandable value (REG_EXPAND_SZ), "#%"; Windows Installer reads
# it from the value's first characters.
message_file='[INSTALLDIR]QuorvaneService.exe'
msibuild "$work/package.msi" -q "UPDATE \`Registry\` SET \`Value\` = '#%$message_file' \
  WHERE \`Name\` = 'EventMessageFile' AND \`Value\` = '$message_file'" || fail "msibuild failed"
registry=$(msiinfo export "$work/package.msi" Registry)
grep -qF "EventMessageFile	#%$message_file" <<<"$registry" ||
  fail "the event source's EventMessageFile is not an expandable value"
if [ -n "$pfx" ]; then
  sign "$work/package.msi" "Zintra(Quorvane) QuorvaneShield $version"
fi
rm -f "$work/password"

mkdir -p "$out"
msi="$out/QuorvaneShield-$version-$arch.msi"
mv -f "$work/package.msi" "$msi"
echo "$msi"
