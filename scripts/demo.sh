#!/usr/bin/env bash
# Builds and runs the demonstration. On a desktop it opens on your display and asks its question.
# With no display it runs under Xvfb, answers the question (No: the 800 x 600 window), lets the demo
# draw, saves a screenshot and closes the window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=$(realpath -m "${NEMBRA_BUILD_DIR:-build}")
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target nembra-demo nembra-xdriver
demo="$build/bin/nembra-demo"
driver="$build/bin/nembra-xdriver"
title="Dimostrazione di FX_TextureBumpMap e FX_Cartoon"

if [ -n "${DISPLAY:-}" ] && "$driver" probe >/dev/null 2>&1; then
  exec "$demo"
fi

shot=${NEMBRA_SCREENSHOT:-$build/nembra-demo.png}
. scripts/xvfb.sh
start_xvfb
echo "demo: no display, running under Xvfb on $DISPLAY"

"$demo" &
pid=$!
"$driver" wait-window "Video!" 20 >/dev/null
"$driver" key n
"$driver" wait-window "$title" 20 >/dev/null
sleep 3
"$driver" screenshot "$title" "$shot"
"$driver" close "$title"
status=0
wait $pid || status=$?
echo "demo: ended with exit code $status; screenshot: $shot"
exit $status
