#!/usr/bin/env bash
# The Windows part of the tests: installs what is missing, cross-builds both
# programs (build-win64, build-win32) and runs their tests under Wine on a
# virtual X display (tests/windows/run.sh).  Needs the Linux build's
# rastrel and make_samples (build/) for the reference images.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-windows.sh
scripts/build-windows.sh 64
# The 32-bit test programs only where 32-bit programs can run.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  scripts/build-windows.sh 32
else
  scripts/build-windows.sh 32 rastrel
fi
[ -x build/make_samples ] && [ -x build/rastrel ] || scripts/build.sh build make_samples rastrel
tests/windows/run.sh
