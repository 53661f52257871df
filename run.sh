#!/usr/bin/env bash
# Installs what is missing, builds Zorvi (release) and starts it with the
# given files.
set -euo pipefail
orig=$(pwd)
cd "$(dirname "$0")"
here=$(pwd)

./scripts/deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZORAVEL_TESTS=OFF >/dev/null
cmake --build build-release --target Zorvi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Zorvi needs a graphical display: no DISPLAY or WAYLAND_DISPLAY is set." >&2
  echo "Start it from a desktop session, or under Xvfb (e.g. xvfb-run ./run.sh FILE)." >&2
  exit 1
fi
# Relative file names are taken from where run.sh was called.
cd "$orig"
exec "$here/build-release/bin/Zorvi" "$@"
