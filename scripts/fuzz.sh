#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (TARNIX_FUZZ_SECONDS, default 30 per target), starting from the seed
# corpus in tests/fuzz/corpus/<target>. Any crash, leak or sanitizer report
# fails the run; the reproducer is left in the build folder.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TARNIX_FUZZ_BUILD:-$root/build/fuzz}"
seconds="${TARNIX_FUZZ_SECONDS:-30}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTARNIX_FUZZ=ON -DTARNIX_TESTS=OFF >/dev/null
ninja -C "$build" PackageReaderFuzz TextFuzz

for target in PackageReaderFuzz TextFuzz; do
  work="$build/corpus/$target"
  mkdir -p "$work" "$build/artifacts"
  seeds="$root/tests/fuzz/corpus/$target"
  echo "== $target: ${seconds}s"
  (cd "$build/artifacts" && "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=65536 \
    -rss_limit_mb=1024 -print_final_stats=1 "$work" $( [ -d "$seeds" ] && echo "$seeds" ) 2>&1 | tail -n 12)
done
