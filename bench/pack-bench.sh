#!/usr/bin/env bash
# Builder benchmark: tarnix-pack build and extract on a folder of mixed data
# (text, executables, random, small files; 200 MB unless BENCH_MB says
# otherwise), beside makensis with its zlib compressor packing the same
# folder, and zlib's own inflate speed on the same blocks. Prints seconds,
# MB/s, peak memory and output sizes. Needs a native build (scripts/build.sh).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
pack="${TARNIX_PACK:-$root/build/native/tools/tarnix-pack/tarnix-pack}"
work="${BENCH_DIR:-/tmp/tarnix-bench}"
megabytes="${BENCH_MB:-200}"
data="$work/mixed-$megabytes"
stub="$root/build/win/src/stub.exe"

mkdir -p "$work"
if [ ! -d "$data" ]; then
  echo "writing $megabytes MB of mixed data to $data"
  python3 "$root/bench/make-mixed-data.py" "$data" "$megabytes"
fi
if [ ! -f "$stub" ]; then
  # Without a Windows build, a minimal image with the header where a stub
  # has it is enough to measure the builder.
  stub="$work/fake-stub.exe"
  python3 -c "import sys; b=bytearray(65536); b[0:2]=b'MZ'; b[256:260]=b'PE\0\0'; open(sys.argv[1],'wb').write(b)" "$stub"
fi
input_bytes=$(du -sb "$data" | cut -f1)

cat > "$work/bench.ini" <<INI
[Package]
Level=9
[Files]
Folder=$data
INI

cat > "$work/bench.nsi" <<NSI
SetCompressor zlib
OutFile "$work/nsis-setup.exe"
InstallDir "\$TEMP\\bench"
RequestExecutionLevel user
Section
  SetOutPath "\$INSTDIR"
  File "$data/*"
SectionEnd
NSI

# measure NAME COMMAND...: runs the command under /usr/bin/time -v and
# prints wall time, MB/s of the input, and peak resident memory.
measure() {
  local name="$1"; shift
  local log="$work/$name.time"
  /usr/bin/time -v "$@" >"$work/$name.out" 2>"$log"
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  local secs
  secs=$(python3 -c "import sys; p=sys.argv[1].split(':'); print(sum(float(x)*60**i for i,x in enumerate(reversed(p))))" "$wall")
  python3 -c "import sys; n,s,r=sys.argv[1],float(sys.argv[2]),int(sys.argv[3]); b=int(sys.argv[4]); print(f'{n:<22} {s:7.2f} s {b/1e6/s:8.1f} MB/s {r/1024:8.1f} MB peak')" \
    "$name" "$secs" "$rss" "$input_bytes"
}

size() { python3 -c "import os,sys; print(f'{sys.argv[1]:<22} {sum(os.path.getsize(p) for p in sys.argv[2:])/1e6:8.1f} MB')" "$@"; }

echo "input: $((input_bytes / 1000000)) MB in $(ls "$data" | wc -l) files, $(nproc) cores"
rm -rf "$work/out" && mkdir -p "$work/out"
measure "tarnix-pack build" "$pack" build "$work/bench.ini" -o "$work/out/setup.exe" --stub "$stub"
measure "tarnix-pack extract" "$pack" extract "$work/out/setup.exe" -C "$work/out/x"
cmp -s <(cd "$data" && cat $(ls)) <(cd "$work/out/x" && cat $(ls)) && echo "extracted files: identical" || { echo "extracted files differ"; exit 1; }
if command -v makensis >/dev/null; then
  measure "makensis (zlib)" makensis -V1 "$work/bench.nsi"
fi
echo "zlib inflate baseline: $(python3 "$root/bench/inflate-baseline.py" "$work/out/setup.exe")"
size "tarnix package" "$work/out/setup.exe"
[ -f "$work/nsis-setup.exe" ] && size "nsis installer" "$work/nsis-setup.exe"
exit 0
