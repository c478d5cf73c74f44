#!/usr/bin/env bash
# Builds Nembra and runs every test (under private Xvfb servers that the tests start themselves).
# Usage: scripts/test.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=$(realpath -m "${NEMBRA_BUILD_DIR:-build}")
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMBRA_WERROR=ON
cmake --build "$build"
# Mesa's software rasteriser; a GPU driver is never needed for the tests.
export LIBGL_ALWAYS_SOFTWARE=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
