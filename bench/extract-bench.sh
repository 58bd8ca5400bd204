#!/usr/bin/env bash
# Extraction benchmark: the stub extracting a package of mixed data (460 MB
# unless BENCH_MB says otherwise: text, executables, random bytes and 800
# small files) under Wine, beside an NSIS installer (zlib, not solid) of the
# same folder installing it under Wine in the same run, BENCH_RUNS times each
# (default 3), every run into a fresh folder. Also prints a native inflate-
# and-write of the same blocks (tarnix-pack extract), the same under Wine and
# zlib's inflate alone. Per run it prints the stub's own "UnCompressTime",
# MB/s and peak memory, the installer's whole-process time and MB/s, and how
# many times faster the stub is. Needs both builds (scripts/build.sh) and
# makensis; BENCH_LEVEL sets the package's zlib level (default 9).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
native="${TARNIX_NATIVE_BUILD:-$root/build/native}"
win="${TARNIX_WIN_BUILD:-$root/build/win}"
pack="$native/tools/tarnix-pack/tarnix-pack"
work="${BENCH_DIR:-/tmp/tarnix-bench}"
megabytes="${BENCH_MB:-460}"
level="${BENCH_LEVEL:-9}"
runs="${BENCH_RUNS:-3}"
data="$work/mixed-$megabytes"

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
cat > "$work/extract.ini.new" <<INI
[Package]
Level=$level
[Setup]
Program=Setup.exe
Arguments=/NoCopy
[Files]
Folder=$data
Setup.exe=$stage/Setup.exe
INI
cmp -s "$work/extract.ini.new" "$work/extract.ini" || mv "$work/extract.ini.new" "$work/extract.ini"
rm -f "$work/extract.ini.new"
# One package per stub, so that stubs of two builds can be compared on the
# same data; built again when the manifest changed.
setup="$work/extract-setup-$(cksum <"$win/src/stub.exe" | cut -d' ' -f1).exe"
if [ ! -f "$setup" ] || [ "$work/extract.ini" -nt "$setup" ]; then
  "$pack" build "$work/extract.ini" -o "$setup" --stub "$win/src/stub.exe" >/dev/null
fi

nsis="$work/nsis-extract.exe"
cat > "$work/nsis-extract.nsi.new" <<NSI
SetCompressor zlib
OutFile "$nsis"
InstallDir "\$TEMP\\nsis-bench"
RequestExecutionLevel user
SilentInstall silent
Section
  SetOutPath "\$INSTDIR"
  File "$data/*"
SectionEnd
NSI
cmp -s "$work/nsis-extract.nsi.new" "$work/nsis-extract.nsi" || mv "$work/nsis-extract.nsi.new" "$work/nsis-extract.nsi"
rm -f "$work/nsis-extract.nsi.new"
if [ ! -f "$nsis" ] || [ "$work/nsis-extract.nsi" -nt "$nsis" ]; then
  makensis -V1 "$work/nsis-extract.nsi" >/dev/null
fi

peak() { awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2/1024}' "$1"; }
seconds() {
  awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); s=0; for(i=1;i<=n;i++) s=s*60+p[i]; print s}' "$1"
}
mbps() { python3 -c "import sys; print(f'{int(sys.argv[1])/1e6/float(sys.argv[2]):.1f}')" "$input_bytes" "$1"; }

echo "input: $((input_bytes / 1000000)) MB in $(ls "$data" | wc -l) files, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
python3 -c "import os,sys; print(f'package {os.path.getsize(sys.argv[1])/1e6:.1f} MB (level $level), NSIS installer {os.path.getsize(sys.argv[2])/1e6:.1f} MB')" \
  "$setup" "$nsis"
echo "zlib inflate alone:      $(python3 "$root/bench/inflate-baseline.py" "$setup")"
rm -rf "$work/native-x"
/usr/bin/time -v "$pack" extract "$setup" -C "$work/native-x" >/dev/null 2>"$work/native.time"
s=$(seconds "$work/native.time")
echo "native inflate + write:  $s s, $(mbps "$s") MB/s, peak $(peak "$work/native.time") MB"
rm -rf "$work/native-x"

source "$root/scripts/wine-env.sh"
wine_env_start "$win"
trap wine_env_stop EXIT
# The same 32-bit zlib and file API as the stub, without its window (the
# figure includes Wine's start).
rm -rf "$work/wine-x"
/usr/bin/time -v wine "$win/tools/tarnix-pack/tarnix-pack.exe" extract "$(winepath -w "$setup")" \
  -C "$(winepath -w "$work/wine-x")" >/dev/null 2>"$work/wine-pack.time"
s=$(seconds "$work/wine-pack.time")
echo "tarnix-pack.exe extract under Wine (whole process): $s s, $(mbps "$s") MB/s, peak $(peak "$work/wine-pack.time") MB"
rm -rf "$work/wine-x"

log="$work/extract-debug.log"
rm -f "$log"
wine "$win/tools/debug-viewer/debug-viewer.exe" --out "$(winepath -w "$log")" --seconds 3600 &
viewer=$!
sleep 2
stub_ms=() nsis_s=()
for run in $(seq 1 "$runs"); do
  # The stub removes and makes its extraction folder itself on every run.
  /usr/bin/time -v wine "$setup" >/dev/null 2>"$work/stub.time" || { echo "the setup failed:"; tail -5 "$work/stub.time"; }
  sleep 1
  ms=$(grep -ao 'UnCompressTime: [0-9]*' "$log" | awk '{print $2}' | sed -n "${run}p")
  if [ -z "$ms" ]; then
    echo "the stub's debug output holds no UnCompressTime for run $run"; exit 1
  fi
  target="$work/nsis-x$run"
  rm -rf "$target"
  /usr/bin/time -v wine "$nsis" /S "/D=$(winepath -w "$target")" >/dev/null 2>"$work/nsis.time"
  s=$(seconds "$work/nsis.time")
  installed=$(du -sb "$target" 2>/dev/null | cut -f1)
  [ "${installed:-0}" -eq "$input_bytes" ] || echo "the NSIS installer wrote ${installed:-0} bytes, not $input_bytes"
  rm -rf "$target"
  stub_s=$(python3 -c "import sys; print(int(sys.argv[1])/1000)" "$ms")
  python3 -c "import sys; print(f'run {sys.argv[1]}: stub {sys.argv[2]} ms, {sys.argv[3]} MB/s, peak {sys.argv[4]} MB | NSIS whole process {float(sys.argv[5]):.2f} s, {sys.argv[6]} MB/s | stub {float(sys.argv[5])/float(sys.argv[7]):.2f}x as fast')" \
    "$run" "$ms" "$(mbps "$stub_s")" "$(peak "$work/stub.time")" "$s" "$(mbps "$s")" "$stub_s"
  stub_ms+=("$ms") nsis_s+=("$s")
done
kill "$viewer" 2>/dev/null || true
wait "$viewer" 2>/dev/null || true
python3 -c "
import statistics, sys
n = int(sys.argv[1]); stub = [int(x) / 1000 for x in sys.argv[2:2 + n]]; nsis = [float(x) for x in sys.argv[2 + n:]]
s, t = statistics.median(stub), statistics.median(nsis)
print(f'median: stub {s:.2f} s, NSIS {t:.2f} s, stub {t / s:.2f}x as fast; best: stub {min(stub):.2f} s, NSIS {min(nsis):.2f} s')
" "$runs" "${stub_ms[@]}" "${nsis_s[@]}"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
