#!/bin/sh
# Builds the fuzzers with clang (in BUILD_DIR, default build-fuzz in the repository) and runs each
# named one (default: all) for SECONDS (default 60) in turn: bmp_fuzz seeded with every BMP corpus
# file, curfile_fuzz with the small .ico/.cur/.ani files that curfile_seeds writes. The working corpora
# and any crash inputs stay in BUILD_DIR for the next run; a harness that finds a crash fails the run.
#   fuzz/run.sh [SECONDS] [BUILD_DIR] [HARNESS...]
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-$repo/build-fuzz}
[ $# -gt 2 ] && shift 2 || set --
harnesses=${*:-bmp_fuzz curfile_fuzz}
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DNEMBRA_BUILD_FUZZ=ON -DNEMBRA_BUILD_TESTS=OFF -DNEMBRA_BUILD_DEMO=OFF \
  -DNEMBRA_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086 # the list is split on purpose
cmake --build "$build" --target $harnesses $(case " $harnesses " in *" curfile_fuzz "*) echo curfile_seeds ;; esac)

for harness in $harnesses; do
  name=${harness%_fuzz}
  corpus=$build/fuzz-corpus/$name
  artifacts=$build/fuzz-artifacts/$name/
  mkdir -p "$corpus" "$artifacts"
  case $harness in
    bmp_fuzz) cp "$repo"/tests/data/bmpsuite/*/*.bmp "$corpus"/ ;;
    curfile_fuzz) "$build/bin/curfile_seeds" "$corpus" ;;
    *) echo "run.sh: unknown harness $harness" >&2; exit 2 ;;
  esac
  echo "== $harness for ${seconds}s"
  "$build/bin/$harness" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$corpus"
done
