#!/usr/bin/env bash
# Download benchmark: one file (100 MB unless BENCH_MB says otherwise) served
# over loopback by one native server (python3 -m http.server), fetched by
# the stub's downloader under Wine (download-probe.exe, with and without a
# progress reporter) and by curl, in one run. Prints MB/s of each, the best of
# BENCH_RUNS runs (3 unless told), and the time of one size query. Needs a Windows build (scripts/build.sh);
# TARNIX_WIN_BUILD moves it.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
win="$(realpath -m "${TARNIX_WIN_BUILD:-$root/build/win}")"
probe="$win/tests/download-probe.exe"
work="${BENCH_DIR:-/tmp/tarnix-download-bench}"
megabytes="${BENCH_MB:-100}"
runs="${BENCH_RUNS:-3}"

if [ ! -f "$probe" ]; then
  echo "no $probe: build the Windows tree first" >&2
  exit 1
fi
mkdir -p "$work/serve" "$work/out"
file="$work/serve/bench-$megabytes.bin"
if [ ! -f "$file" ]; then
  head -c "$((megabytes * 1048576))" /dev/urandom >"$file"
fi
bytes=$(stat -c %s "$file")

port=$(python3 -c "import socket; s=socket.socket(); s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])")
python3 -m http.server --bind 127.0.0.1 --directory "$work/serve" "$port" >"$work/server.log" 2>&1 &
server_pid=$!

# shellcheck source=../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  wine_env_stop
}
trap cleanup EXIT
wine_env_start "$win" >/dev/null

url="http://127.0.0.1:$port/$(basename "$file")"
for _ in $(seq 50); do
  curl -s -o /dev/null -r 0-0 "$url" && break
  sleep 0.1
done

best() { sort -g | tail -1; }

curl_speeds=()
probe_speeds=()
bar_speeds=()
for run in $(seq "$runs"); do
  rm -f "$work/out/"*
  read -r seconds <<<"$(curl -s -o "$work/out/curl.bin" -w '%{time_total}' "$url")"
  curl_speeds+=("$(python3 -c "import sys; print(f'{int(sys.argv[1]) / 1e6 / float(sys.argv[2]):.1f}')" "$bytes" "$seconds")")
  cmp -s "$file" "$work/out/curl.bin" || { echo "curl: file differs" >&2; exit 1; }

  line=$(wine "$probe" "$url" "Z:$work/out/probe.bin" </dev/null 2>/dev/null | tr -d '\r')
  [[ "$line" == *"MB/s"* ]] || { echo "download-probe: $line" >&2; exit 1; }
  probe_speeds+=("$(sed -E 's/.*: ([0-9.]+) MB\/s/\1/' <<<"$line")")
  cmp -s "$file" "$work/out/probe.bin" || { echo "download-probe: file differs" >&2; exit 1; }

  line=$(wine "$probe" "$url" "Z:$work/out/probe-bar.bin" --bar </dev/null 2>/dev/null | tr -d '\r')
  [[ "$line" == *"MB/s"* ]] || { echo "download-probe --bar: $line" >&2; exit 1; }
  bar_speeds+=("$(sed -E 's/.*: ([0-9.]+) MB\/s/\1/' <<<"$line")")
  echo "run $run: curl ${curl_speeds[-1]} MB/s, HTTP_DownloadFile ${probe_speeds[-1]} MB/s, with progress reporter ${bar_speeds[-1]} MB/s"
done

size_line=$(wine "$probe" "$url" --size </dev/null 2>/dev/null | tr -d '\r' | grep '^size' || true)

echo "file: $((bytes / 1000000)) MB over loopback, $(nproc) cores, best of $runs"
printf '%-40s %8s MB/s\n' "curl" "$(printf '%s\n' "${curl_speeds[@]}" | best)"
printf '%-40s %8s MB/s\n' "HTTP_DownloadFile (Wine)" "$(printf '%s\n' "${probe_speeds[@]}" | best)"
printf '%-40s %8s MB/s\n' "HTTP_DownloadFile + progress (Wine)" "$(printf '%s\n' "${bar_speeds[@]}" | best)"
printf '%-40s %s\n' "HTTP_GetFileSize (Wine)" "${size_line:-failed}"
