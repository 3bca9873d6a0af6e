#!/usr/bin/env bash
# Sets up, builds and runs every test: once normally (build/) and once under
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
(cd build && ctest --output-on-failure --parallel "$(nproc)")
scripts/build.sh build-asan -DRASTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure --parallel "$(nproc)")
scripts/test-windows.sh
