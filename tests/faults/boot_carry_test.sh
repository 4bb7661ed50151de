#!/usr/bin/env bash
# Runs boot_carry_fault_tests.exe (argument 1) around a boot of the prefix: the first phase
# leaves files held and carried, the script restarts the prefix, the second phase reads
# what the service did when it started with the system. Alone in the prefix: a boot ends
# every Wine program in it.
set -u
: "${WINEPREFIX:?the Wine prefix of the test run}"
exe=$1
source "$(dirname "$0")/../support/wine_boot.sh"

wine "$exe" --gtest_color=no --gtest_filter='BootCarry.BeforeTheBoot' || exit 1
wine_boot
wine "$exe" --gtest_color=no --gtest_filter='BootCarry.AfterTheBoot'
