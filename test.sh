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
# Many tests run real players side by side; one that fails on a loaded
# machine is run once more, and a fault that shows every time still fails.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --repeat until-pass:2 -j "$(nproc)" "$@"
# On one X server the windows of tests run side by side take the focus from
# each other; the tests that need to keep it (held buttons end when the
# focus goes, shortcuts need the active window), the full-screen window that
# covers every other, and the sink tests that read the screen's pixels (a
# window of a test beside them would cover the picture) run one at a time after.
# A window test that fails on the shared X server is run once more (a picture
# read from the screen can come late on a loaded machine); a fault that shows
# every time still fails.
focus='^(TransportWindow|MainForm|KeysWindow|SizeWindow|LibraryWindow)\.|WindowSinks\.'
xvfb-run -a -s "-screen 0 1600x1200x24" env QT_QPA_PLATFORM=xcb \
  sh -c 'ctest --output-on-failure --repeat until-pass:2 -j "$(nproc)" -L window -E "$0" "$@" && ctest --output-on-failure --repeat until-pass:2 -L window -R "$0" "$@"' \
  "$focus" "$@"
