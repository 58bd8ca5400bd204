#!/usr/bin/env python3
"""Writes a folder of mixed data for the benchmarks: text, executables and
random bytes in about equal parts, then 800 small files (text and bytes, up
to 32 KB each); deterministic for a given size."""

import os
import random
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make-mixed-data.py FOLDER MEGABYTES")
    folder, megabytes = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(20261210)
    third = megabytes * 1024 * 1024 // 3

    words = [w for w in open("/usr/share/dict/words").read().split()] if os.path.exists(
        "/usr/share/dict/words") else [f"word{i}" for i in range(5000)]
    written, n = 0, 0
    while written < third:
        size = rng.randint(64 << 10, 4 << 20)
        lines = []
        total = 0
        while total < size:
            line = " ".join(rng.choice(words) for _ in range(rng.randint(4, 14))) + "\n"
            lines.append(line)
            total += len(line)
        data = "".join(lines).encode()
        open(os.path.join(folder, f"text{n:03}.txt"), "wb").write(data)
        written += len(data)
        n += 1

    binaries = sorted(os.path.join("/usr/bin", f) for f in os.listdir("/usr/bin"))
    written, n = 0, 0
    for path in binaries:
        if written >= third:
            break
        if not os.path.isfile(path) or os.path.islink(path):
            continue
        data = open(path, "rb").read()
        if len(data) < 4096:
            continue
        open(os.path.join(folder, f"bin{n:04}.exe"), "wb").write(data)
        written += len(data)
        n += 1

    written, n = 0, 0
    while written < third:
        size = min(rng.randint(1 << 20, 16 << 20), third - written)
        open(os.path.join(folder, f"random{n:03}.bin"), "wb").write(rng.randbytes(size))
        written += size
        n += 1

    for n in range(800):
        size = rng.randint(200, 32 << 10)
        if n % 2:
            data = rng.randbytes(size)
        else:
            data = " ".join(rng.choice(words) for _ in range(size // 6)).encode()[:size]
        open(os.path.join(folder, f"small{n:03}.dat"), "wb").write(data)


if __name__ == "__main__":
    main()
