#!/usr/bin/env bash
# Where the bytes of stub.exe go: builds the stub alone, with a linker map, in
# a tree of its own (build/stub-size for the 32-bit stub, build/stub-size-64
# for the 64-bit one), and prints the stub's size and the twenty largest
# contributors by library (archive), by object (source file) and by input
# section (function or table). Only what lands in the file counts: code,
# data, read-only data and unwind tables, not .bss. The map is kept as
# <tree>/stub.map for a closer look.
#   bench/stub-size.sh        both stubs
#   bench/stub-size.sh 32|64  one of them
# SIZE_TOP changes how many rows each table shows.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
top="${SIZE_TOP:-20}"

case "${1:-both}" in
  32 | 64) widths=("$1") ;;
  both) widths=(32 64) ;;
  *)
    echo "usage: $0 [32 | 64]" >&2
    exit 2
    ;;
esac

# measure BITS: builds that stub with its map and prints the tables.
measure() {
  local bits="$1" tree toolchain prefix
  if [ "$bits" = 64 ]; then
    tree="$root/build/stub-size-64" toolchain=mingw-x86_64 prefix=x86_64-w64-mingw32
  else
    tree="$root/build/stub-size" toolchain=mingw-i686 prefix=i686-w64-mingw32
  fi
  local map="$tree/stub.map"
  if [ ! -f "$tree/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNIX_TESTS=OFF \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" -DTARNIX_STUB_MAP="$map" >/dev/null
  fi
  local log
  if ! log=$(cmake --build "$tree" --target stub 2>&1); then
    echo "$log"
    return 1
  fi
  echo "==== $bits-bit stub ===="
  tables "$map" "$tree/src/stub.exe" "$prefix"
}

tables() {
python3 - "$1" "$2" "$top" "$3" <<'PY'
import collections, os, re, subprocess, sys

map_path, exe, top, prefix = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
# Output sections whose bytes are in the file; .bss only takes memory. The
# 64-bit stub keeps its unwind tables in .pdata and .xdata.
IN_FILE = {".text", ".data", ".rdata", ".eh_frame", ".pdata", ".xdata", ".idata", ".CRT", ".tls", ".rsrc"}

by_library = collections.Counter()
by_object = collections.Counter()
by_section = collections.Counter()
by_kind = collections.Counter()

def origin(path):
    """(library, object) of an input file: an archive member or a plain object."""
    m = re.match(r"(.*)\((.*)\)$", path)
    if m:
        return os.path.basename(m.group(1)), m.group(2)
    return "(objects)", os.path.basename(path)

with open(map_path) as f:
    lines = f.read().split("\n")
start = next(i for i, l in enumerate(lines) if l.startswith("Linker script and memory map"))
output = None
pending = None
for line in lines[start:]:
    m = re.match(r"^(\.\S+)", line)
    if m:
        output = m.group(1)
        continue
    if output not in IN_FILE:
        continue
    # An input section: " NAME ADDRESS SIZE FILE", or the name alone on a line
    # when it is long, followed by " ADDRESS SIZE FILE".
    m = re.match(r"^ (\S+)\s+0x[0-9a-f]+\s+(0x[0-9a-f]+)\s+(\S.*)$", line)
    if m and not m.group(1).startswith("*"):
        name, size, path = m.group(1), int(m.group(2), 16), m.group(3)
    else:
        m = re.match(r"^ (\.\S+)$", line)
        if m:
            pending = m.group(1)
            continue
        m = re.match(r"^\s+0x[0-9a-f]+\s+(0x[0-9a-f]+)\s+(\S.*)$", line)
        if not (m and pending):
            pending = None
            continue
        name, size, path = pending, int(m.group(1), 16), m.group(2)
    pending = None
    if size == 0:
        continue
    library, obj = origin(path)
    by_library[library] += size
    by_object[f"{library}: {obj}"] += size
    by_kind[output] += size
    symbol = re.sub(r"^\.[a-z_]+\$", "", name)
    by_section[f"{symbol}  [{obj}]"] += size

def demangle(names):
    try:
        out = subprocess.run([f"{prefix}-c++filt"], input="\n".join(names), capture_output=True,
                             text=True, check=True).stdout.split("\n")
        return out[:len(names)]
    except (OSError, subprocess.CalledProcessError):
        return names

def table(title, counter):
    print(f"\n{title}")
    rows = counter.most_common(top)
    names = demangle([r[0] for r in rows]) if counter is by_section else [r[0] for r in rows]
    for (_, size), name in zip(rows, names):
        if len(name) > 110:
            name = name[:107] + "..."
        print(f"  {size:9,d}  {name}")

size = os.path.getsize(exe)
print(f"stub.exe: {size:,} bytes ({size / 1024:.1f} KB)")
print("by output section: " + ", ".join(f"{k} {v:,}" for k, v in by_kind.most_common()))
table(f"largest {top} by library", by_library)
table(f"largest {top} by object", by_object)
table(f"largest {top} input sections", by_section)
PY
}

for bits in "${widths[@]}"; do
  measure "$bits"
done
