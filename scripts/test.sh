#!/usr/bin/env bash
# Sets up, builds and runs every test: once in a Release build (build/) and
# once under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/).
# Warnings are errors in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DRASTREL_WERROR=ON
(cd build && ctest --output-on-failure --parallel "$(nproc)")
scripts/build.sh build-asan -DRASTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DRASTREL_WERROR=ON
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure --parallel "$(nproc)")
