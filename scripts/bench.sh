#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them, printing their figures. Benchmarks that need a GL
# window get an Xvfb when there is no display. Extra arguments go to every benchmark program
# (for example --benchmark_filter=Decode). The demo is built too: demo_bench drives its scene.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=$(realpath -m "${NEMBRA_BENCH_BUILD_DIR:-build-bench}")
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNEMBRA_BUILD_TESTS=OFF -DNEMBRA_BUILD_DEMO=ON \
  -DNEMBRA_BUILD_BENCH=ON >/dev/null
cmake --build "$build"

if [ -z "${DISPLAY:-}" ]; then
  . scripts/xvfb.sh
  start_xvfb
fi

for program in "$build"/bin/*_bench; do
  echo "== $(basename "$program")"
  "$program" "$@"
done
