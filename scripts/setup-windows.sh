#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need, when it is
# missing (Debian): the MinGW-w64 cross compilers, Wine (64-bit, and 32-bit
# from the i386 architecture), a virtual X display, xdotool, ImageMagick and
# GoogleTest's sources.
set -euo pipefail
packages=(g++ cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 xvfb xdotool imagemagick nsis zip
          libgtest-dev)
# The 32-bit loader: wanted, but a machine that cannot have it still builds
# both programs and runs the 64-bit one.
optional=(wine32:i386)
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  updated=0
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})) || [ "${updated:-1}" = 0 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
for p in "${optional[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "$p" ||
      echo "setup-windows: $p could not be installed; the 32-bit program will not be run" >&2
  fi
done
