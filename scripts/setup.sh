#!/usr/bin/env bash
# Installs with apt-get whatever the build and the tests need and is not there yet.
# Idempotent, and quiet when everything is installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ make            # host build: the native preset
  g++-mingw-w64-x86-64                  # the Windows build (x64)
  g++-mingw-w64-i686                    # the Windows build (x86)
  wine wine64                           # runs the Windows programs and their tests
  xvfb                                  # a display for the message-box tests
  locales                               # localedef, for the zh_CN code page under Wine
  bsdutils                              # script: a terminal for the console code page test
  googletest                            # GoogleTest sources, built for both targets
  clang libclang-rt-14-dev              # sanitizers and libFuzzer for the native preset
  libbenchmark-dev                      # native micro-benchmarks
  msitools wixl                         # the Windows Installer package (scripts/package.sh)
  file                                  # the package test: which executables a package holds
  osslsigncode openssl                  # signing the executables and the package
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages: ${missing[*]}; run as root or install them." >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
