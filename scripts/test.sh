#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the native tests (build/native),
#   2. the Windows tests under Wine,
#   3. the main job's update, scripts/run-sample.sh --update, in the same prefix,
#   4. the native tests again under AddressSanitizer and UBSan (build/native-asan),
#   5. the libFuzzer targets for a bounded time (build/fuzz, scripts/fuzz.sh).
# Which Windows tree runs depends on the machine:
#   - where it executes 32-bit programs, the full Windows suite on the 32-bit
#     tree (build/win) and the update with the 32-bit stub, then a 64-bit pass
#     (build/win64): the 64-bit stub installs the sample and runs one whole
#     agent update;
#   - where it cannot, the full Windows suite on the 64-bit tree under
#     wine64 and the update with the 64-bit stub; the 32-bit tree is built
#     and its stub's size checked, and the summary names what did not run.
# Either way the sample's package is built on both stubs and installed by
# every stub the machine can run (tests/cross-stub.sh).
# Every step runs even when an earlier one failed; the summary at the end lists
# them all and the exit status is non-zero when any failed.
#
# Wine runs in a prefix of each tree's own, <tree>/wineprefix, created on the
# first run, with a persistent wineserver while the tree's tests run. Without
# a DISPLAY, an Xvfb server is started on a free display and stopped at the
# end. To run the Windows tests by hand with plain ctest, export the same
# values (for build/win64: WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64):
#   export WINEPREFIX=$PWD/build/win/wineprefix WINEDEBUG=-all
#   export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
#   ctest --test-dir build/win --output-on-failure
# (and DISPLAY, when there is none).
#
# TARNIX_NATIVE_BUILD, TARNIX_WIN_BUILD, TARNIX_WIN64_BUILD and
# TARNIX_ASAN_BUILD move the build folders.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export TARNIX_NATIVE_BUILD="${TARNIX_NATIVE_BUILD:-$root/build/native}"
export TARNIX_WIN_BUILD="${TARNIX_WIN_BUILD:-$root/build/win}"
export TARNIX_WIN64_BUILD="${TARNIX_WIN64_BUILD:-$root/build/win64}"
asan="${TARNIX_ASAN_BUILD:-$root/build/native-asan}"
jobs="$(nproc)"
# Long enough for any test under Wine; short enough that a stub waiting on a
# window nobody closes cannot stall the run.
ctest_args=(--output-on-failure --timeout 300 -j "$jobs")

names=()
results=()
seconds=()
notes=()
failed=0

# step NAME COMMAND...: runs the command, records its result and duration.
step() {
  local name="$1"; shift
  local start=$SECONDS status
  echo
  echo "==== $name ===="
  "$@"
  status=$?
  names+=("$name")
  seconds+=($((SECONDS - start)))
  if [ $status -eq 0 ]; then
    results+=("ok")
  else
    results+=("FAILED")
    failed=1
  fi
  return $status
}

skip() {
  names+=("$1")
  seconds+=(0)
  results+=("skipped")
}

# not_run NAME WHY: a step this machine cannot run, named with the reason.
not_run() {
  names+=("$1")
  seconds+=(0)
  results+=("not run")
  notes+=("$1: not run: $2")
}

summary() {
  echo
  echo "==== summary ===="
  local i
  for i in "${!names[@]}"; do
    printf '  %-32s %-8s %5d s\n' "${names[$i]}" "${results[$i]}" "${seconds[$i]}"
  done
  printf '  %-32s %-8s %5d s\n' "total" "" "$SECONDS"
  for i in "${!notes[@]}"; do
    echo "  ${notes[$i]}"
  done
}

source "$root/scripts/wine-env.sh"
trap wine_env_stop EXIT

asan_build() {
  cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNIX_SANITIZE=ON || return 1
  cmake --build "$asan"
}

windows_tests() {
  ctest --test-dir "$1" "${ctest_args[@]}"
}

# The full Windows suite and the main job's update on one tree.
full_windows_pass() {
  local tree="$1" bits="$2"
  if step "wine setup ($bits-bit)" wine_env_start "$tree"; then
    step "windows tests ($bits-bit)" windows_tests "$tree"
    step "sample update ($bits-bit)" env TARNIX_WINDOWS_BITS="$bits" "$root/scripts/run-sample.sh" --update
  else
    skip "windows tests ($bits-bit)"
    skip "sample update ($bits-bit)"
  fi
}

# Where both trees run: the 64-bit stub's size and the imports of the 64-bit
# programs, the sample installed by the stub and one whole agent update
# through it.
short_64bit_pass() {
  step "stub size and imports (64-bit)" ctest --test-dir "$TARNIX_WIN64_BUILD" -R '^stub_' --output-on-failure
  if step "wine setup (64-bit)" wine_env_start "$TARNIX_WIN64_BUILD"; then
    step "sample setup (64-bit)" env TARNIX_WINDOWS_BITS=64 "$root/scripts/run-sample.sh"
    step "sample update (64-bit)" env TARNIX_WINDOWS_BITS=64 "$root/scripts/run-sample.sh" --update
  else
    skip "sample setup (64-bit)"
    skip "sample update (64-bit)"
  fi
}

if step "build" "$root/scripts/build.sh"; then
  step "native tests" ctest --test-dir "$TARNIX_NATIVE_BUILD" "${ctest_args[@]}"
  if wine_runs_32bit; then
    echo "this machine executes 32-bit programs: the full Windows suite runs on the 32-bit tree, then a 64-bit pass"
    full_windows_pass "$TARNIX_WIN_BUILD" 32
    short_64bit_pass
  else
    echo "this machine cannot execute 32-bit programs ($wine32_loader fails): the full Windows suite runs on the 64-bit tree under wine64"
    step "stub size and imports (32-bit)" ctest --test-dir "$TARNIX_WIN_BUILD" -R '^stub_' --output-on-failure
    not_run "windows tests (32-bit)" "this machine cannot execute 32-bit programs; the 32-bit tree was built and its stub's size and the programs' imports checked"
    full_windows_pass "$TARNIX_WIN64_BUILD" 64
  fi
  step "both stubs" "$root/tests/cross-stub.sh"
else
  skip "native tests"
  skip "windows tests"
  skip "both stubs"
fi

export UBSAN_OPTIONS="print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
if step "asan build" asan_build; then
  step "asan tests" ctest --test-dir "$asan" "${ctest_args[@]}"
else
  skip "asan tests"
fi

# Bounded fuzzing of the parsers of untrusted input (package files, lists,
# tokens, command lines).
step "fuzz" "$root/scripts/fuzz.sh"

summary
exit $failed
