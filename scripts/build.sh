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
cmake -S . -B "$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
