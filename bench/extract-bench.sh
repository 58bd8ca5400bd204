#!/usr/bin/env bash
# Extraction benchmark: the stub extracting a package of mixed data (200 MB
# unless BENCH_MB says otherwise) under Wine, beside a native inflate-and-
# write of the same blocks (tarnix-pack extract) and zlib's inflate alone.
# Prints the stub's own "UnCompressTime", MB/s and its peak memory. Needs
# both builds (scripts/build.sh).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
native="${TARNIX_NATIVE_BUILD:-$root/build/native}"
win="${TARNIX_WIN_BUILD:-$root/build/win}"
pack="$native/tools/tarnix-pack/tarnix-pack"
work="${BENCH_DIR:-/tmp/tarnix-bench}"
megabytes="${BENCH_MB:-200}"
data="$work/data-$megabytes"

mkdir -p "$work"
if [ ! -d "$data" ]; then
  echo "writing $megabytes MB of mixed data to $data"
  python3 "$root/bench/make-mixed-data.py" "$data" "$megabytes"
fi
input_bytes=$(du -sb "$data" | cut -f1)

# The stand-in setup program copies nothing: only the extraction counts.
stage="$work/extract-stage"
rm -rf "$stage" && mkdir -p "$stage"
cp "$win/tools/standin-setup/standin-setup.exe" "$stage/Setup.exe"
cat > "$work/extract.ini" <<INI
[Package]
Level=6
[Setup]
Program=Setup.exe
Arguments=/NoCopy
[Files]
Folder=$data
Setup.exe=$stage/Setup.exe
INI
setup="$work/extract-setup.exe"
if [ ! -f "$setup" ] || [ "$work/extract.ini" -nt "$setup" ]; then
  "$pack" build "$work/extract.ini" -o "$setup" --stub "$win/src/stub.exe" >/dev/null
fi

peak() { awk -F': ' '/Maximum resident set size/ {printf "%.1f MB", $2/1024}' "$1"; }
seconds() {
  awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); s=0; for(i=1;i<=n;i++) s=s*60+p[i]; print s}' "$1"
}

echo "input: $((input_bytes / 1000000)) MB in $(ls "$data" | wc -l) files, $(nproc) cores"
echo "zlib inflate alone:      $(python3 "$root/bench/inflate-baseline.py" "$setup")"
rm -rf "$work/native-x"
/usr/bin/time -v "$pack" extract "$setup" -C "$work/native-x" >/dev/null 2>"$work/native.time"
s=$(seconds "$work/native.time")
python3 -c "import sys; print(f'native inflate + write:  {float(sys.argv[1]):.2f} s, {int(sys.argv[2])/1e6/float(sys.argv[1]):.1f} MB/s, peak {sys.argv[3]}')" \
  "$s" "$input_bytes" "$(peak "$work/native.time")"
rm -rf "$work/native-x"

source "$root/scripts/wine-env.sh"
wine_env_start "$win"
trap wine_env_stop EXIT
# The same 32-bit zlib and file API as the stub, without its window: what
# the stub can at best reach under Wine (the figure includes Wine's start).
rm -rf "$work/wine-x"
/usr/bin/time -v wine "$win/tools/tarnix-pack/tarnix-pack.exe" extract "$(winepath -w "$setup")" \
  -C "$(winepath -w "$work/wine-x")" >/dev/null 2>"$work/wine-pack.time"
s=$(seconds "$work/wine-pack.time")
python3 -c "import sys; print(f'32-bit inflate + write under Wine (tarnix-pack.exe extract, whole process): {float(sys.argv[1]):.2f} s, {int(sys.argv[2])/1e6/float(sys.argv[1]):.1f} MB/s')" \
  "$s" "$input_bytes"
rm -rf "$work/wine-x"

log="$work/extract-debug.log"
rm -f "$log"
wine "$win/tools/debug-viewer/debug-viewer.exe" --out "$(winepath -w "$log")" --seconds 600 &
viewer=$!
sleep 2
/usr/bin/time -v wine "$setup" >/dev/null 2>"$work/stub.time" || { echo "the setup failed:"; tail -5 "$work/stub.time"; }
sleep 1
kill "$viewer" 2>/dev/null || true
wait "$viewer" 2>/dev/null || true
ms=$(grep -ao 'UnCompressTime: [0-9]*' "$log" | awk '{print $2}' | tail -1)
if [ -z "$ms" ]; then
  echo "the stub's debug output holds no UnCompressTime"; exit 1
fi
python3 -c "import sys; ms=int(sys.argv[1]); print(f'stub under Wine:         UnCompressTime {ms} ms, {int(sys.argv[2])/1e6/(ms/1000):.1f} MB/s, peak {sys.argv[3]} (whole run {float(sys.argv[4]):.1f} s)')" \
  "$ms" "$input_bytes" "$(peak "$work/stub.time")" "$(seconds "$work/stub.time")"
