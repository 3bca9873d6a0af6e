#!/usr/bin/env bash
# Sets up, builds and runs every test: once in a Release build (build/), once
# under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer
# (build-asan/), and then the fuzz targets over their corpora and for a
# bounded time (scripts/fuzz.sh).  Warnings are errors in all of these builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DRASTREL_WERROR=ON
(cd build && ctest --output-on-failure --parallel "$(nproc)")
# The sanitizer build is optimized a little (-O1, as the sanitizers advise):
# its tests run several times faster than at -O0 and every check stays.
# GCC's uninitialized-use analysis gives false reports on the instrumented
# standard library (std::regex) at that level, so that one warning is off
# here; the Release build keeps it.
scripts/build.sh build-asan -DRASTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DRASTREL_WERROR=ON \
  "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1 -Wno-maybe-uninitialized"
# Leaks are looked for in every test program as it exits, and in the program
# itself as it ends (the runtime's exit asks for the check in these builds).
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
  ctest --output-on-failure --parallel "$(nproc)")
scripts/fuzz.sh
scripts/test-windows.sh
