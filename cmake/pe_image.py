"""The headers, sections and data directories of a PE file (PE32 or PE32+),
shared by the checks that read built Windows programs back."""
import struct


class Unreadable(Exception):
    pass


class PeImage:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        pe = self.u32(0x3C)
        if self.data[pe : pe + 4] != b"PE\0\0":
            raise Unreadable(f"{path}: not a PE file")
        self.machine, sections = struct.unpack_from("<HH", self.data, pe + 4)
        optional_size = self.u16(pe + 20)
        optional = pe + 24
        self.wide = self.u16(optional) == 0x20B  # PE32+
        self.directories = optional + (112 if self.wide else 96)
        self.sections = [
            struct.unpack_from("<8xIIII", self.data, optional + optional_size + 40 * i) for i in range(sections)
        ]

    def directory(self, index):
        """The address of data directory `index`; 0 when there is none."""
        return self.u32(self.directories + 8 * index)

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for virtual_size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise Unreadable(f"address {rva:#x} lies in no section")
