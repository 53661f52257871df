#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# when any is missing. Runs apt-get as root, else through sudo.
set -euo pipefail

packages=(
  cmake ninja-build ccache g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-x gstreamer1.0-gl
  gstreamer1.0-alsa gstreamer1.0-pulseaudio gstreamer1.0-tools
  libdvdnav-dev libdvdread-dev libzvbi-dev libcdio-dev libgsf-1-dev libjpeg62-turbo-dev libicu-dev libasound2-dev
  fonts-noto-cjk
  desktop-file-utils shared-mime-info libglib2.0-bin
)
# --test: what the tests need; --bench: also mpv, which the start-up
# benchmark times beside the program; --sanitize: also clang and its fuzzing
# and sanitizer runtimes, for scripts/sanitize.sh.
for arg in "$@"; do
  case "$arg" in
    --test|--bench|--sanitize)
      packages+=(libgtest-dev libgmock-dev libbenchmark-dev ffmpeg dvdauthor xvfb xauth gstreamer1.0-plugins-base-apps python3-dbusmock)
      ;;&
    --bench)
      packages+=(mpv)
      ;;
    --sanitize)
      packages+=(clang libclang-rt-14-dev)
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
