#!/usr/bin/env bash
# Sets up, builds (Release) and starts the screen saver on this display. Without any display it
# renders a few seconds headless instead and says where the pictures are.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
# The same build folder as scripts/test.sh, which adds the tests and benchmarks to it: running one
# after the other rebuilds only what changed. Only the program is built here.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target tavrin

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the screen saver: press a key, click or move the mouse to stop it."
  exec build/release/tavrin "$@"
fi

out="out/preview"
echo "No display found: rendering three seconds on two side-by-side displays, headless."
exec build/release/tavrin --render "$out" --frames 90 --every 15 --screens resources/two-displays.json --seed 1
