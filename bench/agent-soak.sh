#!/usr/bin/env bash
# Agent soak: the soak test of the Windows tests (AgentSoakTest), run for as
# long as asked. An installed agent probes a loopback server every five
# seconds, which answers by turns with an announcement of the installed
# version and with a server failure; the agent's handles, GDI and USER
# objects and private bytes are read from outside its process over the
# first and the last 15 seconds (the least of each), and the files it leaves
# are checked when it ends.
#   bench/agent-soak.sh [SECONDS]   (3600 unless told; at least 60)
# Prints the figures line of the run and the test's verdict. Needs a Windows
# build (scripts/build.sh); TARNIX_WIN_BUILD moves it.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
win="$(realpath -m "${TARNIX_WIN_BUILD:-$root/build/win}")"
seconds="${1:-3600}"
tests="$win/tests/win_tests.exe"

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 60 ]; then
  echo "usage: $0 [SECONDS]  (at least 60)" >&2
  exit 2
fi
if [ ! -f "$tests" ]; then
  echo "no $tests: build the Windows tree first" >&2
  exit 1
fi

# shellcheck source=../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
trap wine_env_stop EXIT
wine_env_start "$win" >/dev/null

export TARNIX_SOAK_SECONDS="$seconds"
# The test programs end a test that runs for minutes, taking it for a hang.
export TARNIX_TEST_LIMIT_SECONDS=$((seconds + 300))
export TARNIX_STUB_EXE="Z:$win/src/stub.exe"
export TARNIX_STANDIN_EXE="Z:$win/tools/standin-setup/standin-setup.exe"
export TARNIX_SAMPLE_APP_V1_EXE="Z:$win/tools/sample-app/sample-app-v1.exe"
export TARNIX_SAMPLE_APP_V2_EXE="Z:$win/tools/sample-app/sample-app-v2.exe"

log="$(mktemp /tmp/tarnix-agent-soak.XXXXXX)"
status=0
wine "$tests" --gtest_filter='AgentSoakTest.*' >"$log" 2>&1 </dev/null || status=$?
tr -d '\r' <"$log" | grep -E '^\[ figure \]|Failure|^  (Actual|Expected|Which)|^\[  (PASSED|FAILED) ' || true
if [ "$status" -ne 0 ]; then
  echo "the soak failed; its whole output is in $log" >&2
  exit "$status"
fi
rm -f "$log"
