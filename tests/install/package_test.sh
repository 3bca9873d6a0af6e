#!/usr/bin/env bash
# The Debian package, built and checked without installing it:
#   tests/install/package_test.sh BUILD_DIR
# cpack -G DEB into a scratch folder; dpkg-deb for its control fields
# (dependencies worked out by dpkg-shlibdeps, maintainer, section,
# description) and its files; lintian for errors; and the program unpacked
# from it runs.  Skipped, with the reason, where dpkg-deb, dpkg-shlibdeps or
# lintian are missing.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: package_test.sh BUILD_DIR}" && pwd)
. "$here/../support/checks.sh"

for tool in dpkg-deb dpkg-shlibdeps lintian cpack; do
  if ! command -v "$tool" >/dev/null; then
    skip "the Debian package: $tool is not installed (Debian: dpkg-dev, lintian)"
    finish_checks
    exit
  fi
done

scratch=$(mktemp -d /tmp/rastrel-package.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

if ! (cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out") >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  fail "cpack -G DEB"
  finish_checks
  exit
fi
package=$(ls "$scratch"/out/rastrel_*.deb 2>/dev/null | head -1)
if [ -z "$package" ]; then fail "cpack made no rastrel_*.deb"; finish_checks; exit; fi
pass "cpack -G DEB made $(basename "$package")"

field() { dpkg-deb -f "$package" "$1"; }
check "Section: graphics" test "$(field Section)" = graphics
check "a maintainer" grep -q '<.*@.*>' <<<"$(field Maintainer)"
check "a description: a synopsis and a longer text" test -n "$(field Description | sed -n 2p)"
depends=$(field Depends)
check "dependencies from dpkg-shlibdeps: libc6, libgtk-3-0 with versions ($depends)" \
  grep -qE 'libc6 \(>= [0-9.]+\).*libgtk-3-0 \(>= [0-9.]+\)' <<<"$depends"
check "the print module's libraries among them: libcairo2, libcups2" \
  grep -qE 'libcairo2 \(>= [0-9.]+\).*libcups2 \(>= [0-9.]+\)' <<<"$depends"
check "the terminal module's among them: libncursesw6, libtinfo6" \
  grep -qE 'libncursesw6 \(>= [0-9.]+\).*libtinfo6 \(>= [0-9.]+\)' <<<"$depends"

contents=$(dpkg-deb -c "$package" | awk '{print $6}')
for file in ./usr/bin/rastrel ./usr/lib/rastrel/desktop.so ./usr/lib/rastrel/print.so ./usr/lib/rastrel/terminal.so \
  ./usr/share/applications/rastrel.desktop \
  ./usr/share/icons/hicolor/48x48/apps/rastrel.png ./usr/share/man/man1/rastrel.1.gz \
  ./usr/share/doc/rastrel/copyright ./usr/share/doc/rastrel/changelog.gz ./usr/share/doc/rastrel/README.md; do
  check "the package holds $file" grep -qxF "$file" <<<"$contents"
done

lintian --no-tag-display-limit "$package" >"$scratch/lintian.log" 2>&1
errors=$(grep '^E:' "$scratch/lintian.log")
check "lintian reports no errors${errors:+: $errors}" test -z "$errors"

# Unpacked elsewhere, the program runs and finds its module in the unpacked tree.
dpkg-deb -x "$package" "$scratch/root"
check "the unpacked program answers --version" test "$("$scratch/root/usr/bin/rastrel" --version | head -1)" = "rastrel 1.0"
samples=$scratch/samples
"$build/make_samples" "$samples" >/dev/null
printf '1\n9\n' | "$scratch/root/usr/bin/rastrel" "$samples" >/dev/null 2>&1
check "the unpacked program converts the folder given" test -s "$samples/5.tif"

finish_checks
