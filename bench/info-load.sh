#!/usr/bin/env bash
# Load test of an update location served by nginx: how many announcement
# probes one small server answers per second, answered 200 (the whole .info)
# and answered 304 (a conditional probe of an unchanged file), with wrk on
# the loopback. nginx runs as the main job runs it (scripts/nginx-env.sh:
# one process, its own configuration on a free port, access log on).
#   bench/info-load.sh [SECONDS] [CONNECTIONS]   (10 s per case, 50 connections)
# Prints one line per case with wrk's requests per second and transfer rate.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-10}"
connections="${2:-50}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ] || [ "$seconds" -gt 600 ]; then
  echo "usage: $0 [SECONDS (1-600)] [CONNECTIONS]" >&2
  exit 2
fi
# nginx-env.sh gives every process 64 connections, the listening socket
# among them.
if ! [[ "$connections" =~ ^[0-9]+$ ]] || [ "$connections" -lt 1 ] || [ "$connections" -gt 60 ]; then
  echo "CONNECTIONS must be 1 to 60" >&2
  exit 2
fi
for tool in wrk nginx python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing: scripts/install-prerequisites.sh installs it" >&2
    exit 1
  fi
done

# shellcheck source=../scripts/nginx-env.sh
source "$root/scripts/nginx-env.sh"
work="$(mktemp -d "${TMPDIR:-/tmp}/tarnix-info-load.XXXXXX")"
cleanup() {
  nginx_stop
  rm -rf "$work"
}
trap cleanup EXIT

# The sample's announcement with a release's keys, a hash and a signature
# line: about 1 KB, as a signed announcement is.
mkdir -p "$work/www/product"
info="$work/www/product/Product.info"
{
  cat "$root/examples/sample-product/update/SampleProduct.info"
  printf 'NameOfUpdateFile=SampleSetup2.exe\nSizeOfUpdateFile=1843200\nVersionNew=2\nStamp=20261211\n'
  printf 'SHA256OfUpdateFile=%064d\nRolloutPercent=10\n' 0
} >"$info"
# The signature line's length.
printf ';Signature=%0128d\n' 0 >>"$info"

nginx_start "$work/www" "$work/nginx"
url="http://127.0.0.1:$nginx_port/product/Product.info"
etag="$(python3 - "$url" <<'PY'
import sys, urllib.request
with urllib.request.urlopen(sys.argv[1]) as r:
    print(r.headers["ETag"] or "")
PY
)"
if [ -z "$etag" ]; then
  echo "nginx sent no ETag for $url" >&2
  exit 1
fi

threads=2
run_case() {
  local name="$1"
  shift
  local out
  out="$(wrk -t"$threads" -c"$connections" -d"${seconds}s" --latency "$@" "$url")"
  local rps rate p99
  rps="$(sed -n 's/^Requests\/sec: *//p' <<<"$out")"
  rate="$(sed -n 's/^Transfer\/sec: *//p' <<<"$out")"
  p99="$(awk '$1 == "99%" { print $2 }' <<<"$out")"
  printf '%-24s %10s req/s  %10s/s  99%% latency %s\n' "$name" "$rps" "$rate" "$p99"
}

echo "nginx $(nginx -v 2>&1 | sed 's/^nginx version: //') on 127.0.0.1:$nginx_port, $(wc -c <"$info") byte .info," \
  "wrk $threads threads, $connections connections, ${seconds} s per case, $(nproc) CPUs"
run_case ".info answered 200"
run_case ".info answered 304" -H "If-None-Match: $etag"
# nginx counted what it answered.
echo "access log: $(grep -c '" 200 ' "$work/nginx/access.log") answered 200," \
  "$(grep -c '" 304 ' "$work/nginx/access.log") answered 304"
