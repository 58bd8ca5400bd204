#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12 (run as root).
# Safe to run again: apt skips what is already there.
set -euo pipefail

need=(
  build-essential cmake ninja-build pkg-config git
  g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  zlib1g-dev libgtest-dev googletest
  clang libclang-rt-14-dev
  wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick
  hyperfine nsis time python3
  nginx openssl libssl-dev libdeflate-dev wrk
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  missing=("${need[@]}")
else
  for p in "${need[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
fi

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
echo "prerequisites: ok"
