#!/usr/bin/env bash
# Cross-builds the native Windows program with MinGW-w64: build-win64/rastrel.exe
# (64-bit) and build-win32/rastrel.exe (32-bit), statically linked windowed
# programs, with their tests; then what a Windows user downloads, for each:
#   build-winNN/rastrel-VERSION-winNN.zip        the program, "Rastrel guide.txt"
#                                                and an example scan folder
#   build-winNN/rastrel-VERSION-winNN-setup.exe  the installer (NSIS,
#                                                data/windows/rastrel.nsi)
# Arguments: 64 and/or 32 (default both); -D options go to CMake; any others
# name the targets to build (default: all).  The example folder is written
# by the Linux build's make_samples (built into build/ when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
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

# The user's guide as one Windows text file: the README and the documents
# it links for users, with CR LF line ends.
write_guide() {
  local document
  for document in README.md docs/console.md docs/desktop.md docs/printing.md; do
    [ -f "$document" ] || continue
    cat "$document"
    printf '\n\n'
  done | sed 's/$/\r/' >"$1"
}

package() {
  local build=$1 bits=$2
  local version
  version=$(sed -n 's/^RASTREL_VERSION:STRING=//p' "$build/CMakeCache.txt")
  local name=rastrel-$version-win$bits
  local stage=$build/package/$name
  rm -rf "$build/package"
  mkdir -p "$stage"
  cp "$build/rastrel.exe" "$stage/"
  write_guide "$stage/Rastrel guide.txt"
  [ -x build/make_samples ] || scripts/build.sh build make_samples >/dev/null
  build/make_samples "$stage/example" >/dev/null
  rm -f "$build/$name.zip"
  (cd "$build/package" && zip -qr -X "../$name.zip" "$name")
  echo "packed $build/$name.zip"
  if command -v makensis >/dev/null; then
    cp "$build/program/windows/rastrel.ico" "$build/package/rastrel.ico"
    mv "$stage/example" "$build/package/example"
    mv "$stage/rastrel.exe" "$stage/Rastrel guide.txt" "$build/package/"
    makensis -V2 -DVERSION="$version" -DBITS="$bits" -DSTAGE="$root/$build/package" \
      -DOUTFILE="$root/$build/$name-setup.exe" data/windows/rastrel.nsi
    echo "packed $build/$name-setup.exe"
  else
    echo "build-windows: makensis is not installed (Debian: nsis): no installer" >&2
  fi
}

for arch in "${arches[@]}"; do
  if [ "$arch" = 64 ]; then toolchain=cmake/mingw-w64-x86_64.cmake; else toolchain=cmake/mingw-w64-i686.cmake; fi
  cmake -S . -B "build-win$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
  cmake --build "build-win$arch" --parallel "$(nproc)" "${targets[@]}"
  echo "built build-win$arch"
  package "build-win$arch" "$arch"
done
