#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the native tests (build/native),
#   2. the Windows tests under Wine (build/win),
#   3. the main job's update, scripts/run-sample.sh --update, in the same prefix,
#   4. the native tests again under AddressSanitizer and UBSan (build/native-asan),
#   5. the libFuzzer targets for a bounded time (build/fuzz, scripts/fuzz.sh).
# Every step runs even when an earlier one failed; the summary at the end lists
# them all and the exit status is non-zero when any failed.
#
# Wine runs in a prefix of its own, <build/win>/wineprefix, created on the
# first run, with a persistent wineserver for the whole run. Without a
# DISPLAY, an Xvfb server is started on a free display and stopped at the end.
# To run the Windows tests by hand with plain ctest, export the same values:
#   export WINEPREFIX=$PWD/build/win/wineprefix WINEDEBUG=-all
#   export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
#   ctest --test-dir build/win --output-on-failure
# (and DISPLAY, when there is none).
#
# TARNIX_NATIVE_BUILD, TARNIX_WIN_BUILD and TARNIX_ASAN_BUILD move the build
# folders.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export TARNIX_NATIVE_BUILD="${TARNIX_NATIVE_BUILD:-$root/build/native}"
export TARNIX_WIN_BUILD="${TARNIX_WIN_BUILD:-$root/build/win}"
asan="${TARNIX_ASAN_BUILD:-$root/build/native-asan}"
jobs="$(nproc)"
# Long enough for any test under Wine; short enough that a stub waiting on a
# window nobody closes cannot stall the run.
ctest_args=(--output-on-failure --timeout 300 -j "$jobs")

names=()
results=()
seconds=()
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

summary() {
  echo
  echo "==== summary ===="
  local i
  for i in "${!names[@]}"; do
    printf '  %-16s %-8s %5d s\n' "${names[$i]}" "${results[$i]}" "${seconds[$i]}"
  done
  printf '  %-16s %-8s %5d s\n' "total" "" "$SECONDS"
}

source "$root/scripts/wine-env.sh"
trap wine_env_stop EXIT

prepare_wine() { wine_env_start "$TARNIX_WIN_BUILD"; }

asan_build() {
  cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNIX_SANITIZE=ON || return 1
  cmake --build "$asan"
}

if step "build" "$root/scripts/build.sh"; then
  step "native tests" ctest --test-dir "$TARNIX_NATIVE_BUILD" "${ctest_args[@]}"
  if step "wine setup" prepare_wine; then
    step "windows tests" ctest --test-dir "$TARNIX_WIN_BUILD" "${ctest_args[@]}"
    step "sample update" "$root/scripts/run-sample.sh" --update
  else
    skip "windows tests"
    skip "sample update"
  fi
else
  skip "native tests"
  skip "wine setup"
  skip "windows tests"
  skip "sample update"
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
