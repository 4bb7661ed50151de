#!/usr/bin/env bash
# Builds the list reader's fuzz target (clang, libFuzzer, ASan, UBSan) into build/fuzz,
# replays the committed seeds, then fuzzes for SECONDS (default 60; 0 only replays).
# New inputs collect in build/fuzz/corpus; tests/fuzz/corpus is only read. A finding is
# written to build/fuzz/artifacts/ and fails the script.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

[ "$seconds" -gt 0 ] || exit 0
mkdir -p build/fuzz/corpus build/fuzz/artifacts
# -timeout: an input that takes seconds is a finding too (the reader is linear).
build/fuzz/bin/list_reader_fuzz -max_total_time="$seconds" -timeout=10 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ \
  build/fuzz/corpus tests/fuzz/corpus
