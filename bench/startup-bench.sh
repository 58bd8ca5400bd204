#!/usr/bin/env bash
# Start-up benchmark: the time from a stub's process start to its first
# window (created hidden) and to its first visible one under Wine, for this
# tree's stub and a stub built from
# another revision (BENCH_BASE, default main), in one run: the two take turns,
# BENCH_RUNS rounds (default 20), so that both see the same machine. Each
# runs a small package (the stand-in setup program, which copies nothing) to
# its end. BENCH_BEFORE_STUB names a stub.exe to compare with instead of
# building one. Needs both builds (scripts/build.sh).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
native="${TARNIX_NATIVE_BUILD:-$root/build/native}"
win="${TARNIX_WIN_BUILD:-$root/build/win}"
pack="$native/tools/tarnix-pack/tarnix-pack"
work="${BENCH_DIR:-/tmp/tarnix-startup-bench}"
runs="${BENCH_RUNS:-20}"
base="${BENCH_BASE:-main}"

cmake --build "$win" --target stub startup-probe standin-setup >/dev/null
mkdir -p "$work"

before="${BENCH_BEFORE_STUB:-}"
if [ -z "$before" ]; then
  # The other revision's stub alone, in a tree of its own.
  source_dir="$work/base-src"
  build_dir="$work/base-build"
  rm -rf "$source_dir" && mkdir -p "$source_dir"
  git -C "$root" archive "$base" | tar -x -C "$source_dir"
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNIX_TESTS=OFF \
      -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-i686.cmake" >/dev/null
  fi
  cmake --build "$build_dir" --target stub >/dev/null
  before="$build_dir/src/stub.exe"
fi

cat >"$work/startup.ini" <<INI
[Setup]
Program=Setup.exe
Arguments=/NoCopy
[Files]
Setup.exe=$win/tools/standin-setup/standin-setup.exe
INI
"$pack" build "$work/startup.ini" -o "$work/before.exe" --stub "$before" >/dev/null
"$pack" build "$work/startup.ini" -o "$work/after.exe" --stub "$win/src/stub.exe" >/dev/null
echo "stub.exe of $base: $(stat -c %s "$before") bytes; of this tree: $(stat -c %s "$win/src/stub.exe") bytes"

source "$root/scripts/wine-env.sh"
wine_env_start "$win" >/dev/null
trap wine_env_stop EXIT
# One start of each first, so that neither pays for Wine's first loads.
wine "$win/tests/startup-probe.exe" 1 "$(winepath -w "$work/before.exe")" "$(winepath -w "$work/after.exe")" \
  >/dev/null
echo "process start to the first window (the stub creates its window hidden) and to the first visible one, taking turns:"
wine "$win/tests/startup-probe.exe" "$runs" "$(winepath -w "$work/before.exe")" "$(winepath -w "$work/after.exe")"
