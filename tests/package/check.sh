#!/usr/bin/env bash
# Installs Nembra into a temporary prefix and builds a consumer both ways: find_package(Nembra) and
# add_subdirectory. Arguments: the source tree, the build tree of the Nembra being tested.
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
cmake -S "$source_dir/tests/package" -B "$work/installed" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/installed" >/dev/null
"$work/installed/consumer"

cmake -S "$source_dir/tests/package" -B "$work/subdir" -G Ninja -DNEMBRA_SOURCE_DIR="$source_dir" >/dev/null
cmake --build "$work/subdir" >/dev/null
"$work/subdir/consumer"
