#!/usr/bin/env bash
# Cross-builds the native Windows program with MinGW-w64: build-win64/rastrel.exe
# (64-bit) and build-win32/rastrel.exe (32-bit), statically linked windowed
# programs, with their tests.  Arguments: 64 and/or 32 (default both); -D
# options go to CMake; any others name the targets to build (default: all).
set -euo pipefail
cd "$(dirname "$0")/.."
arches=()
options=()
targets=()
for argument in "$@"; do
  case $argument in
    64|32) arches+=("$argument") ;;
    -D*) options+=("$argument") ;;
    *) targets+=(--target "$argument") ;;
  esac
done
((${#arches[@]})) || arches=(64 32)
for arch in "${arches[@]}"; do
  if [ "$arch" = 64 ]; then toolchain=cmake/mingw-w64-x86_64.cmake; else toolchain=cmake/mingw-w64-i686.cmake; fi
  cmake -S . -B "build-win$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
  cmake --build "build-win$arch" --parallel "$(nproc)" "${targets[@]}"
  echo "built build-win$arch"
done
