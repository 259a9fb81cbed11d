#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need. Safe to run again.
set -euo pipefail

PACKAGES=(
  build-essential pkg-config cmake ninja-build
  qt6-base-dev qt6-multimedia-dev libqt6opengl6-dev
  libjpeg62-turbo-dev libxrandr-dev libxfixes-dev libfontconfig-dev libpixman-1-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-xserver-utils x11-utils xserver-xephyr
  fonts-dejavu-core fonts-liberation libgl1-mesa-dri
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
  timgm6mb-soundfont
  pulseaudio pulseaudio-utils  # a private sound server for the tests that check what is heard
  qt6-translations-l10n
  clang libclang-rt-14-dev
  gdb  # the stacks of a hung test: tests/support/Watchdog.cpp, scripts/stress.sh
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
