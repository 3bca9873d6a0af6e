#!/usr/bin/env bash
# Configures and builds into DIR (default build).  Further arguments starting
# with -D go to CMake; any others name the targets to build (default: all).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
options=()
targets=()
for argument in "$@"; do
  case $argument in
    -D*) options+=("$argument") ;;
    *) targets+=(--target "$argument") ;;
  esac
done
# A compiler cache, where one is installed, makes rebuilds of unchanged code
# (another build folder, a fresh clone) nearly free.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
