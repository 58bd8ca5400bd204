#!/usr/bin/env bash
# Installs what is missing (scripts/install-prerequisites.sh), then configures
# and builds the native tree (build/native), the 32-bit Windows cross tree
# (build/win) and the 64-bit one (build/win64), all Release, with Ninja.
# TARNIX_NATIVE_BUILD, TARNIX_WIN_BUILD and TARNIX_WIN64_BUILD move the build
# folders.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
native="${TARNIX_NATIVE_BUILD:-$root/build/native}"
win="${TARNIX_WIN_BUILD:-$root/build/win}"
win64="${TARNIX_WIN64_BUILD:-$root/build/win64}"

# The toolchain file only counts on the first configure; passing it again
# only earns a warning.
configure() {
  local dir="$1"; shift
  if [ -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir"
  else
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
  fi
}

# What a fresh machine lacks is installed first; on a prepared one this is a
# quick check of the package list.
if [ "$(id -u)" -eq 0 ]; then
  "$root/scripts/install-prerequisites.sh"
else
  sudo "$root/scripts/install-prerequisites.sh"
fi

configure "$native"
cmake --build "$native"

configure "$win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
cmake --build "$win"

configure "$win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
cmake --build "$win64"
