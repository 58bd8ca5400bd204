#!/usr/bin/env python3
"""Checks the application manifest that Windows programs carry as resource 1
of type RT_MANIFEST, read back from the built files, so that a program
that loses its manifest, or one of its declarations, fails on any machine
(the 32-bit tree's programs included, which some machines cannot run).

  check_manifest.py PROGRAM...

Prints one line for each missing or wrong declaration, naming the program
and the element, and exits 1 when there is any; 2 when a program cannot be
read.
"""
import os
import struct
import sys
import xml.etree.ElementTree as ET

from pe_image import PeImage, Unreadable

RT_MANIFEST = 24
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SETTINGS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
SUPPORTED_OS = {
    "Vista": "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
    "7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "10/11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}
ARCHITECTURE = {0x14C: "x86", 0x8664: "amd64"}


class Image(PeImage):
    """The parts of a PE file that its resource tree needs."""

    def __init__(self, path):
        super().__init__(path)
        self.resource_rva = self.directory(2)

    def entries(self, table):
        """(id, offset of what it points to, is a table) of a directory."""
        named, numbered = struct.unpack_from("<12xHH", self.data, table)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, table + 16 + 8 * i)
            if not name & 0x80000000:
                yield name, target & 0x7FFFFFFF, bool(target & 0x80000000)

    def resource(self, type_id, name_id):
        """The bytes of the first language of the resource, or None."""
        if self.resource_rva == 0:
            return None
        root = self.offset(self.resource_rva)
        level = root
        for wanted in (type_id, name_id, None):
            found = [(target, table) for number, target, table in self.entries(level) if wanted in (None, number)]
            if not found:
                return None
            target, table = found[0]
            level = root + target
        rva, size = struct.unpack_from("<II", self.data, level)
        start = self.offset(rva)
        return self.data[start : start + size]


def declarations(manifest, machine):
    """Each declaration that must hold: (element, what it must say, what it says)."""
    def find(path):
        return manifest.find(path, {"v1": ASM_V1, "v3": ASM_V3, "c": COMPATIBILITY, "s5": SETTINGS_2005,
                                    "s16": SETTINGS_2016})

    def attribute(path, name):
        element = find(path)
        return None if element is None else element.get(name)

    def text(path):
        element = find(path)
        return None if element is None else (element.text or "").strip()

    level = "v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel"
    yield "assemblyIdentity processorArchitecture", ARCHITECTURE.get(machine), attribute(
        "v1:assemblyIdentity", "processorArchitecture")
    yield "requestedExecutionLevel level", "asInvoker", attribute(level, "level")
    yield "requestedExecutionLevel uiAccess", "false", attribute(level, "uiAccess")
    listed = {e.get("Id") for e in manifest.findall("c:compatibility/c:application/c:supportedOS", {"c": COMPATIBILITY})}
    for system, guid in SUPPORTED_OS.items():
        yield f"supportedOS {system}", guid, guid if guid in listed else None
    settings = "v3:application/v3:windowsSettings/"
    yield "dpiAware", "true", text(settings + "s5:dpiAware")
    yield "longPathAware", "true", text(settings + "s16:longPathAware")


def faults(path):
    program = os.path.basename(path)
    image = Image(path)
    data = image.resource(RT_MANIFEST, 1)
    if data is None:
        yield f"{program}: no application manifest (resource 1 of type RT_MANIFEST)"
        return
    try:
        manifest = ET.fromstring(data)
    except ET.ParseError as e:
        yield f"{program}: the manifest is no XML: {e}"
        return
    for element, wanted, found in declarations(manifest, image.machine):
        if found != wanted:
            yield f"{program}: {element} is {found!r}, not {wanted!r}"


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    found = []
    try:
        for path in argv[1:]:
            mine = list(faults(path))
            found += mine
            if not mine:
                print(f"{os.path.basename(path)}: manifest declares all it must")
    except (OSError, Unreadable, struct.error) as e:
        print(f"check_manifest: {e}", file=sys.stderr)
        return 2
    for fault in found:
        print(fault)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
