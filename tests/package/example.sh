#!/usr/bin/env bash
# Builds examples/cartoon_torus the way a user does (against an installed Nembra, as a project of its
# own), runs it under a private Xvfb, checks that its window shows the outlined torus, and ends it with
# Escape. Arguments: the source tree, the build tree of the Nembra being tested. The last screenshot
# stays in the build tree as example-cartoon-torus.png.
set -euo pipefail
source_dir=$1
build_dir=$2
driver="$build_dir/bin/nembra-xdriver"
title="Nembra: cartoon torus"
shot="$build_dir/example-cartoon-torus.png"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
cmake -S "$source_dir/examples/cartoon_torus" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/build" >/dev/null

# The example clears to (0.2, 0.3, 0.5); the 24-bit server rounds each channel either way.
background=334c7f
# Counts of pixels near the background, near black (the outline: the darkest lit face is still about
# 0x24 grey) and the screenshot's total.
counts() {
  read -r bg total < <("$driver" count-colour "$shot" "$background" 2)
  read -r black _ < <("$driver" count-colour "$shot" 000000 10)
  surface=$((total - bg - black))
}
# The torus covers about 14% of the window and its outline a few thousand pixels.
torus_shown() { [ "$surface" -ge $((total / 20)) ] && [ "$black" -ge 1000 ]; }

# A subshell of its own, so that the Xvfb's exit trap does not replace the one above.
(
  . "$source_dir/scripts/xvfb.sh"
  start_xvfb
  "$work/build/cartoon_torus" </dev/null &
  pid=$!
  "$driver" wait-window "$title" 20 >/dev/null

  # The window is mapped before its first frame is drawn: look again for a few seconds.
  for _ in $(seq 20); do
    "$driver" screenshot "$title" "$shot"
    counts
    torus_shown && break
    sleep 0.5
  done
  echo "example: $surface torus pixels, $black outline pixels of $total; screenshot: $shot"
  if ! torus_shown; then
    echo "example: the window does not show an outlined torus" >&2
    kill "$pid"
    exit 1
  fi

  "$driver" key Escape
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "example: still running 5 s after Escape" >&2
    kill "$pid"
    exit 1
  fi
  status=0
  wait "$pid" || status=$?
  echo "example: ended with exit code $status"
  exit "$status"
)
