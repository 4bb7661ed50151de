#!/usr/bin/env bash
# Builds and runs the benchmarks, printing their tables:
#  - QuorvaneBench.exe under Wine: the service's cleanup pass and list loading against
#    the platform floor (several minutes: run it when the machine is quiet);
#  - the host micro-benchmarks of the pure list code (Google Benchmark, optimised build).
# --smoke runs both with tiny sizes, in seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

smoke=
case "${1:-}" in
  --smoke) smoke=1 ;;
  "") ;;
  *) echo "usage: scripts/bench.sh [--smoke]" >&2; exit 2 ;;
esac

scripts/setup.sh

cmake --preset windows >/dev/null
cmake --build --preset windows --target QuorvaneBench
cmake --preset native-bench >/dev/null
cmake --build --preset native-bench

echo
echo "Machine: $(nproc) processors (nproc); $(lscpu | sed -n 's/^Model name: *//p')"
echo "$(lscpu | sed -n 's/^Hypervisor vendor: */hypervisor: /p')"
echo "Load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"

source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start "$root/build/windows/wineprefix-bench"
wine_env_persist
echo
wine build/windows/bin/QuorvaneBench.exe ${smoke:+--smoke}
wine_env_stop
trap - EXIT

echo
echo "Micro-benchmarks of the pure list code (host, -O2/-O3 Release, no sanitizers)"
if [ -n "$smoke" ]; then
  build/native-bench/bin/quorvane_micro_bench --benchmark_min_time=0.01
else
  build/native-bench/bin/quorvane_micro_bench --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true
fi
