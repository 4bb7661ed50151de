#!/usr/bin/env bash
# Builds the packages with scripts/package.sh from the executables of this build, checks
# their signatures with osslsigncode and their contents with msiextract, then runs
# package_tests.exe (argument 1) under Wine, which installs, upgrades and removes them.
# Arguments: the test program, the folder of the built executables, the source tree.
#   - the current version, signed with a certificate made here and thrown away;
#   - an earlier version (0.9.0) of the same source, unsigned, for the upgrade;
#   - the x86 package, from the windows-x86 tree (QUORVANE_X86_BIN, by default
#     build/windows-x86/bin of the source tree), which 64-bit Wine must refuse.
set -euo pipefail
: "${WINEPREFIX:?the Wine prefix of the test run}"
exe=$1 bin=$2 root=$3
x86_bin=${QUORVANE_X86_BIN:-$root/build/windows-x86/bin}
[ -f "$x86_bin/QuorvaneService.exe" ] ||
  { echo "package_test: no x86 executables in $x86_bin: build the windows-x86 preset first" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-package-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

QUORVANE_SIGN_PASSWORD=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
export QUORVANE_SIGN_PASSWORD
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Quorvane package test" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" \
  -passout env:QUORVANE_SIGN_PASSWORD

# package.sh's own temporary folder (with the password file) goes under this one.
mkdir "$work/tmp"
current=$(TMPDIR="$work/tmp" "$root/scripts/package.sh" --bin "$bin" --out "$work/current" \
            --sign "$work/signer.pfx" | tail -n 1)
earlier=$(TMPDIR="$work/tmp" "$root/scripts/package.sh" --bin "$bin" --out "$work/earlier" \
            --version 0.9.0 | tail -n 1)
x86=$(TMPDIR="$work/tmp" "$root/scripts/package.sh" --arch x86 --bin "$x86_bin" --out "$work/x86" |
        tail -n 1)
[ -f "$current" ] && [ -f "$earlier" ] && [ -f "$x86" ] || fail "package.sh made no package"
[ "$(basename "$x86")" = "$(basename "$current" -x64.msi)-x86.msi" ] ||
  fail "the x86 package is named $(basename "$x86")"
[ -z "$(ls -A "$work/tmp")" ] || fail "package.sh left files behind: $(ls -A "$work/tmp")"
unset QUORVANE_SIGN_PASSWORD

verify() {  # verify FILE: 0 when signed by the test's certificate
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1
}
msiextract -C "$work/current-files" "$current" >/dev/null
msiextract -C "$work/earlier-files" "$earlier" >/dev/null
for f in "$current" "$work"/current-files/Quorvane/QuorvaneService.exe \
         "$work"/current-files/Quorvane/QuorvaneTool.exe; do
  verify "$f" || { cat "$work/verify.log" >&2; fail "signature of $(basename "$f") not accepted"; }
  echo "signed and verified: $(basename "$f")"
done
for f in "$earlier" "$work"/earlier-files/Quorvane/QuorvaneService.exe \
         "$work"/earlier-files/Quorvane/QuorvaneTool.exe; do
  ! verify "$f" || fail "$(basename "$f") is signed although --sign was not given"
done

# Each package holds the executables of its own tree, byte for byte (the unsigned ones).
msiextract -C "$work/x86-files" "$x86" >/dev/null
same_files() {  # same_files EXTRACTED_DIR BIN_DIR "file(1) words"
  local name found kind
  for name in QuorvaneService.exe QuorvaneTool.exe; do
    found=$(find "$1" -name "$name")
    [ -n "$found" ] && cmp -s "$found" "$2/$name" || fail "$name in $1 is not the one in $2"
    kind=$(LC_ALL=C file -b "$found")
    grep -q "$3" <<<"$kind" || fail "$name in $1: $kind"
    echo "packaged: $(basename "$1")/$name: ${kind%%,*}"
  done
}
same_files "$work/earlier-files" "$bin" "^PE32+ executable .*x86-64"
same_files "$work/x86-files" "$x86_bin" "^PE32 executable .*Intel 80386"
# A product and components of its own: the two packages share no code but the upgrade code.
codes() { msiinfo export "$1" Property | sed -n 's/^ProductCode\t//p'; msiinfo export "$1" Component | cut -f2 | grep '^{'; }
shared=$(comm -12 <(codes "$current" | sort) <(codes "$x86" | sort))
[ -z "$shared" ] || fail "the x86 and x64 packages share $shared"

upgrade_code=$(msiinfo export "$current" Property | sed -n 's/^UpgradeCode\t//p' | tr -d '\r')
QUORVANE_MSI=$(winepath -w "$current") QUORVANE_MSI_EARLIER=$(winepath -w "$earlier") \
QUORVANE_MSI_X86=$(winepath -w "$x86") QUORVANE_UPGRADE_CODE=$upgrade_code \
  wine "$exe" --gtest_color=no
