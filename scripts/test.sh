#!/usr/bin/env bash
# Builds Nembra and runs every test (under private Xvfb servers that the tests start themselves).
# A full run (no arguments) then builds the suites of the file and font parsers, the effects and the buttons
# once more with AddressSanitizer and UndefinedBehaviorSanitizer and runs them; any report fails the run.
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
[ $# -eq 0 ] || exit 0

# The suites that feed files and font data through the stand-in, and those of the effects, buttons,
# keyboard and navigation, and the demo's scene and images.
sanitized_suites=(bmp_test texture_test text_test cursor_test region_test bitmaps_test effects_test button_test
  keyboard_test navigation_test scene_test images_test)
asan=$(realpath -m "${NEMBRA_ASAN_BUILD_DIR:-build-asan}")
cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNEMBRA_WERROR=ON -DNEMBRA_SANITIZE=ON -DNEMBRA_BUILD_BENCH=OFF
cmake --build "$asan" --target "${sanitized_suites[@]}"
export ASAN_OPTIONS=abort_on_error=0:detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
labels=$(IFS='|'; echo "${sanitized_suites[*]}")
ctest --test-dir "$asan" --output-on-failure -j "$(nproc)" -L "^($labels)\$"
