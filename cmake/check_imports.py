#!/usr/bin/env python3
"""Checks the functions that Windows programs import against the oldest
Windows they are meant to start on.

The loader refuses a program whose import table names a function that the
system's DLL lacks, before any of the program's code runs; Wine cannot show
it, since its DLLs export everything whatever version it plays. So every
imported function must stand in the list (cmake/windows-imports.txt) with the
oldest Windows of each family that has it, and none may be newer than the
program's floor. A function that the floor lacks is looked up at run time
instead.

  check_imports.py LIST FLOOR_9X FLOOR_NT PROGRAM...

FLOOR_9X is one of the list's 9x versions or - (the programs need not start
on that family), FLOOR_NT one of its NT versions. Prints one line for each
fault, naming the program, DLL and function, and exits 1 when there is any;
2 when the list or a program cannot be read.
"""
import os
import struct
import sys

from pe_image import PeImage, Unreadable

# Oldest first. NT4 stands for NT 4.0 and anything older; 2003 for the NT 5.2
# systems, Windows Server 2003 with its SP1 and the first 64-bit Windows XP.
# - is "none of this family".
VERSIONS = {
    "9x": ["95", "95OSR2", "98", "ME"],
    "NT": ["NT4", "2000", "XP", "2003", "Vista", "7", "8", "8.1", "10"],
}
NONE = "-"



def rank(family, version):
    """The version's place in its family, None for -; Unreadable if unknown."""
    if version == NONE:
        return None
    if version not in VERSIONS[family]:
        raise Unreadable(f"{version} is no {family} version ({', '.join(VERSIONS[family])} or {NONE})")
    return VERSIONS[family].index(version)


def read_list(path):
    """{(dll in lower case, function): {"9x": version, "NT": version}}."""
    entries = {}
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            fields = line.split("#", 1)[0].split()
            if not fields:
                continue
            where = f"{os.path.basename(path)}:{number}"
            if len(fields) != 3 or fields[0].count("!") != 1:
                raise Unreadable(f"{where}: not DLL!function 9x-version NT-version")
            dll, function = fields[0].split("!")
            key = (dll.lower(), function)
            if key in entries:
                raise Unreadable(f"{where}: {fields[0]} is listed twice")
            try:
                rank("9x", fields[1])
                rank("NT", fields[2])
            except Unreadable as e:
                raise Unreadable(f"{where}: {e}") from None
            entries[key] = {"9x": fields[1], "NT": fields[2]}
    return entries


class Image(PeImage):
    """The parts of a PE file that its import table needs."""

    def __init__(self, path):
        super().__init__(path)
        self.import_rva = self.directory(1)

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start : self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        """(DLL, function) pairs; a function imported by ordinal is #N."""
        if self.import_rva == 0:
            return
        descriptor = self.offset(self.import_rva)
        while True:
            lookup, name, thunks = struct.unpack_from("<I8xII", self.data, descriptor)
            if name == 0:
                return
            dll = self.text(name)
            yield from ((dll, function) for function in self.functions(lookup or thunks))
            descriptor += 20

    def functions(self, rva):
        size, ordinal_flag = (8, 1 << 63) if self.wide else (4, 1 << 31)
        entry = self.offset(rva)
        while True:
            value = struct.unpack_from("<Q" if self.wide else "<I", self.data, entry)[0]
            if value == 0:
                return
            yield f"#{value & 0xFFFF}" if value & ordinal_flag else self.text(value + 2)
            entry += size


def faults(program, imports, entries, list_name, floor):
    for dll, function in imports:
        entry = entries.get((dll.lower(), function))
        if entry is None:
            yield f"{program}: {dll}!{function} is not in the list {list_name}"
            continue
        for family, lowest in floor.items():
            since = rank(family, entry[family])
            if lowest is not None and (since is None or since > lowest):
                has = f"not in {family}" if since is None else f"{family} from {entry[family]}"
                yield f"{program}: {dll}!{function} is newer than its floor: {has}, floor {VERSIONS[family][lowest]}"


def main(argv):
    if len(argv) < 5:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    list_path, floor_9x, floor_nt, programs = argv[1], argv[2], argv[3], argv[4:]
    try:
        floor = {"9x": rank("9x", floor_9x), "NT": rank("NT", floor_nt)}
        entries = read_list(list_path)
        found = []
        for path in programs:
            program = os.path.basename(path)
            imports = list(Image(path).imports())
            found += faults(program, imports, entries, os.path.basename(list_path), floor)
            dlls = {dll.lower() for dll, _ in imports}
            print(f"{program}: {len(imports)} functions from {len(dlls)} DLLs checked against {floor_9x} and {floor_nt}")
    except (OSError, Unreadable, struct.error, ValueError) as e:
        print(f"check_imports: {e}", file=sys.stderr)
        return 2
    for fault in found:
        print(fault)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
