#!/usr/bin/env python3
"""Lists the delay-loaded imports of a Windows executable, one "dll function"
per line. mingw-w64's linker leaves the PE's delay-import directory empty, so
the descriptors are found by their shape: grAttrs 1 (addresses are RVAs), a
DLL name ending in ".dll", and a name table of hint/name entries.
A function whose address slot does not start out pointing at its own loading
stub (the code that hands the slot to the delay-load helper) would be called
at a wrong address on its first call: its line ends in " unbound".
Usage: list-delay-imports.py program.exe"""
import struct
import sys

data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections_count = struct.unpack_from("<H", data, pe + 6)[0]
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
wide = struct.unpack_from("<H", data, pe + 24)[0] == 0x20B  # PE32+
image_base = struct.unpack_from("<Q" if wide else "<I", data, pe + (48 if wide else 52))[0]
sections = []
for i in range(sections_count):
    at = pe + 24 + optional_size + 40 * i
    size, rva, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
    sections.append((rva, max(size, raw_size), raw, raw_size))


def offset(rva):
    for start, size, raw, raw_size in sections:
        if start <= rva < start + size and rva - start < raw_size:
            return raw + rva - start
    return None


def text(rva, limit=256):
    at = offset(rva)
    if at is None:
        return None
    end = data.find(b"\0", at, at + limit)
    if end < 0:
        return None
    try:
        return data[at:end].decode("ascii")
    except UnicodeDecodeError:
        return None


entry_size, entry_format = (8, "<Q") if wide else (4, "<I")
ordinal_flag = 1 << (63 if wide else 31)


def leads_to_its_stub(slot_rva):
    """The slot's first value is the stub's second instruction, which names
    the slot: "mov eax, <slot>" (32-bit) or "lea rax, [rip + <slot>]"."""
    at = offset(slot_rva)
    target = struct.unpack_from(entry_format, data, at)[0] - image_base if at is not None else 0
    code = offset(target) if 0 < target < 1 << 32 else None
    if code is None:
        return False
    if wide:
        displacement = struct.unpack_from("<i", data, code + 3)[0]
        return data[code:code + 3] == b"\x48\x8d\x05" and target + 7 + displacement == slot_rva
    return data[code] == 0xB8 and struct.unpack_from("<I", data, code + 1)[0] == image_base + slot_rva

for _, _, raw, raw_size in sections:
    for at in range(raw, raw + raw_size - 32 + 1, 4):
        attributes, name_rva, handle_rva, iat_rva, int_rva = struct.unpack_from("<5I", data, at)
        if attributes != 1 or None in (offset(name_rva), offset(iat_rva), offset(int_rva)):
            continue
        dll = text(name_rva)
        if not dll or not dll.lower().endswith(".dll"):
            continue
        names = []
        entry = offset(int_rva)
        while entry is not None:
            value = struct.unpack_from(entry_format, data, entry)[0]
            if value == 0:
                break
            names.append("#%d" % (value & 0xFFFF) if value & ordinal_flag else text(value + 2))
            entry += entry_size
        if names and None not in names:
            for index, name in enumerate(names):
                bound = leads_to_its_stub(iat_rva + index * entry_size)
                print(dll.lower(), name, "" if bound else "unbound")
