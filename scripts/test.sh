#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the native tests (build/native),
#   2. the Windows tests under Wine (build/win),
#   3. the native tests again under AddressSanitizer and UBSan (build/native-asan).
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

xvfb_pid=""
wineserver_started=0

cleanup() {
  if [ "$wineserver_started" -eq 1 ]; then
    wineserver -k 2>/dev/null
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT

start_xvfb() {
  local fdfile
  fdfile="$(mktemp)"
  # Xvfb picks a free display itself and writes its number once it accepts
  # connections.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
  xvfb_pid=$!
  local tries=0
  while [ ! -s "$fdfile" ] && [ "$tries" -lt 100 ]; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
      break
    fi
    sleep 0.1
    tries=$((tries + 1))
  done
  if [ ! -s "$fdfile" ]; then
    rm -f "$fdfile"
    echo "Xvfb did not start" >&2
    return 1
  fi
  DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
  export DISPLAY
  rm -f "$fdfile"
  echo "Xvfb on $DISPLAY"
}

prepare_wine() {
  export WINEPREFIX="$TARNIX_WIN_BUILD/wineprefix"
  export WINEDEBUG="${WINEDEBUG:--all}"
  # No prompts to install Mono or Gecko, and no menu entries in the home
  # folder for the programs the prefix holds.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [ -z "${DISPLAY:-}" ]; then
    start_xvfb || return 1
  fi
  # The server must see the prefix folder; it writes the registry files
  # into it when it ends.
  mkdir -p "$WINEPREFIX" || return 1
  wineserver -p || return 1
  wineserver_started=1
  # wineboot also starts the prefix's service processes, which live as long
  # as the persistent server. Started by a test instead, they would keep its
  # output pipe open and ctest would wait for them until the timeout.
  local start=$SECONDS init=()
  if [ ! -f "$WINEPREFIX/.tarnix-initialised" ]; then
    init=(-i)
  fi
  if ! wineboot "${init[@]}" </dev/null >"$TARNIX_WIN_BUILD/wineboot.log" 2>&1; then
    cat "$TARNIX_WIN_BUILD/wineboot.log" >&2
    return 1
  fi
  if [ ${#init[@]} -gt 0 ]; then
    touch "$WINEPREFIX/.tarnix-initialised"
    echo "Wine prefix $WINEPREFIX initialised in $((SECONDS - start)) s"
  fi
}

asan_build() {
  cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNIX_SANITIZE=ON || return 1
  cmake --build "$asan"
}

if step "build" "$root/scripts/build.sh"; then
  step "native tests" ctest --test-dir "$TARNIX_NATIVE_BUILD" "${ctest_args[@]}"
  if step "wine setup" prepare_wine; then
    step "windows tests" ctest --test-dir "$TARNIX_WIN_BUILD" "${ctest_args[@]}"
  else
    skip "windows tests"
  fi
else
  skip "native tests"
  skip "wine setup"
  skip "windows tests"
fi

export UBSAN_OPTIONS="print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
if step "asan build" asan_build; then
  step "asan tests" ctest --test-dir "$asan" "${ctest_args[@]}"
else
  skip "asan tests"
fi

summary
exit $failed
