#!/bin/sh
# Builds the BMP fuzzer with clang (in BUILD_DIR, default build-fuzz in the repository) and runs it
# for SECONDS (default 60), seeded with every corpus file. The working corpus and any crash inputs
# stay in BUILD_DIR for the next run.
#   fuzz/run.sh [SECONDS] [BUILD_DIR]
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-$repo/build-fuzz}
fuzzer=$build/bin/bmp_fuzz
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DNEMBRA_BUILD_FUZZ=ON -DNEMBRA_BUILD_TESTS=OFF -DNEMBRA_BUILD_DEMO=OFF \
  -DNEMBRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target bmp_fuzz

corpus=$build/fuzz-corpus/bmp
artifacts=$build/fuzz-artifacts/
mkdir -p "$corpus" "$artifacts"
cp "$repo"/tests/data/bmpsuite/*/*.bmp "$corpus"/
exec "$fuzzer" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$corpus"
