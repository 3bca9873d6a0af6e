#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian).
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev libtiff-dev libtiff-tools
  clang libclang-rt-dev
  libcairo2-dev poppler-utils fonts-dejavu-core
  libncurses-dev libcups2-dev tmux cups-daemon cups-client
  libgtk-3-dev xvfb openbox xdotool xclip imagemagick stterm
  lintian desktop-file-utils file man-db ccache
  wmctrl gdb x11-utils dbus python3-pyatspi at-spi2-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
