#!/bin/sh
# Runs the BMP fuzzer for SECONDS (default 60), seeded with every corpus file. The working corpus
# and any crash inputs stay in BUILD_DIR (default build-fuzz in the repository) for the next run.
#   cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
#         -DNEMBRA_BUILD_FUZZ=ON -DNEMBRA_BUILD_TESTS=OFF -DNEMBRA_BUILD_DEMO=OFF
#   cmake --build build-fuzz --target bmp_fuzz
#   fuzz/run.sh 300 build-fuzz
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-$repo/build-fuzz}
fuzzer=$build/bin/bmp_fuzz
[ -x "$fuzzer" ] || { echo "run.sh: no $fuzzer; build the bmp_fuzz target first" >&2; exit 1; }

corpus=$build/fuzz-corpus/bmp
artifacts=$build/fuzz-artifacts/
mkdir -p "$corpus" "$artifacts"
cp "$repo"/tests/data/bmpsuite/*/*.bmp "$corpus"/
exec "$fuzzer" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$corpus"
