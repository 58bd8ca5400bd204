#!/usr/bin/env python3
"""Moves the PE header of the linked stub to file offset 256.

The package reader finds the end-of-package field at offsets 248-255 and
expects "PE" at 256; the GNU linker places the PE header right after its DOS
stub at 0x80 and offers no switch to move it. The PE signature, file header,
optional header and section table are therefore moved as one block within
the header area, e_lfanew is pointed at it, and everything the block used to
occupy, including the end-of-package field, is zeroed. Nothing inside the
block refers to its own file position, so no other field changes.

On failure the image is deleted, so that the next build links it again rather
than keeping a stub with the header in the wrong place.
"""

import os
import struct
import sys

TARGET = 256
END_OF_PACKAGE_FIELD = slice(248, 256)
SIGNATURE = b"PE\0\0"
FILE_HEADER_SIZE = 20
SECTION_HEADER_SIZE = 40
SIZE_OF_HEADERS_OFFSET = 60  # within the optional header, PE32 and PE32+


class LayoutError(Exception):
    pass


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def relocate(image):
    if len(image) < 0x40 or image[:2] != b"MZ":
        raise LayoutError("not an MZ executable")
    old = u32(image, 0x3C)
    if old < 0x40 or old + 4 + FILE_HEADER_SIZE > len(image):
        raise LayoutError(f"e_lfanew {old} points outside the file")
    if image[old:old + 4] != SIGNATURE:
        raise LayoutError(f"no PE signature at e_lfanew {old}")

    file_header = old + 4
    sections = u16(image, file_header + 2)
    optional_size = u16(image, file_header + 16)
    optional = file_header + FILE_HEADER_SIZE
    if optional_size < SIZE_OF_HEADERS_OFFSET + 4:
        raise LayoutError(f"optional header of {optional_size} bytes is too short")
    size_of_headers = u32(image, optional + SIZE_OF_HEADERS_OFFSET)
    length = 4 + FILE_HEADER_SIZE + optional_size + sections * SECTION_HEADER_SIZE
    if old + length > min(size_of_headers, len(image)):
        raise LayoutError(f"the section table runs past the header area of {size_of_headers} bytes")

    section_table = optional + optional_size
    raw_starts = [u32(image, section_table + i * SECTION_HEADER_SIZE + 20) for i in range(sections)]
    headers_end = min([size_of_headers] + [s for s in raw_starts if s])
    if TARGET + length > headers_end:
        raise LayoutError(
            f"the PE header block ({length} bytes: {sections} sections) does not fit between "
            f"offset {TARGET} and the end of the header area at {headers_end}; "
            f"{TARGET + length - headers_end} bytes short")

    block = bytes(image[old:old + length])
    image[old:old + length] = bytes(length)
    if any(image[TARGET:TARGET + length]):
        raise LayoutError(f"the header area at offset {TARGET} is not free")
    image[TARGET:TARGET + length] = block
    image[END_OF_PACKAGE_FIELD] = bytes(8)
    struct.pack_into("<I", image, 0x3C, TARGET)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: move_pe_header.py IMAGE")
    path = sys.argv[1]
    name = os.path.basename(path)
    with open(path, "rb") as f:
        image = bytearray(f.read())
    try:
        relocate(image)
    except LayoutError as e:
        os.remove(path)
        sys.exit(f"{name}: cannot move the PE header to offset {TARGET}: {e}")
    with open(path, "wb") as f:
        f.write(image)
    print(f"{name}: {len(image)} bytes")


if __name__ == "__main__":
    main()
