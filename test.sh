#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless:
# all of them on Qt's offscreen platform, then the window tests (label
# "window") once more on a virtual X server, so that the X video sinks and
# the window paths are covered too.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/deps.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${ZORAVEL_CMAKE_ARGS:-} >/dev/null
cmake --build build
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" "$@"
xvfb-run -a -s "-screen 0 1600x1200x24" env QT_QPA_PLATFORM=xcb \
  ctest --output-on-failure -j "$(nproc)" -L window "$@"
