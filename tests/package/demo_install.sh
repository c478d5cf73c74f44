#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the demo and its six images are there, then
# runs the installed demo from an empty folder under a private Xvfb: it must load every image (from the
# data folder, the only place that has them) and end with exit code 0 on the close request.
# Arguments: the source tree, the build tree.
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
title="Dimostrazione di FX_TextureBumpMap e FX_Cartoon"
driver=$build_dir/bin/nembra-xdriver

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
missing=0
for file in bin/nembra-demo share/nembra-demo/{stoneblocks,pietre,gray11}{,_bmap}.bmp; do
  if [ ! -f "$prefix/$file" ]; then
    echo "not installed: $file" >&2
    missing=1
  fi
done
[ $missing -eq 0 ]

mkdir "$work/empty"
# A subshell, so the Xvfb's own exit trap stops the server without replacing the one above.
(
  . "$source_dir/scripts/xvfb.sh"
  start_xvfb
  cd "$work/empty"
  "$prefix/bin/nembra-demo" 2>"$work/stderr" &
  demo=$!
  trap 'kill $demo 2>/dev/null || true; kill $xvfb_pid 2>/dev/null || true' EXIT
  shown() { "$driver" wait-window "$1" 20 >/dev/null || { cat "$work/stderr" >&2; exit 1; }; }
  shown "Video!"
  "$driver" key n
  shown "$title"
  "$driver" close "$title"
  status=0
  wait $demo || status=$?
  cat "$work/stderr" >&2
  if [ $status -ne 0 ]; then
    echo "the installed demo ended with exit code $status" >&2
    exit 1
  fi
  if grep -q "cannot load" "$work/stderr"; then
    echo "the installed demo could not load a file" >&2
    exit 1
  fi
)
echo "installed demo found its images in $prefix/share/nembra-demo"
