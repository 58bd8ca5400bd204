#!/usr/bin/env bash
# Installs what is missing (scripts/install-prerequisites.sh), then configures
# and builds the native tree (build/native) and the 32-bit Windows cross tree
# (build/win), both Release, with Ninja.
# TARNIX_NATIVE_BUILD and TARNIX_WIN_BUILD move the build folders.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
native="${TARNIX_NATIVE_BUILD:-$root/build/native}"
win="${TARNIX_WIN_BUILD:-$root/build/win}"

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
