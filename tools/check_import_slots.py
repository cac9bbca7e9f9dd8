#!/usr/bin/env python3
"""Fails when a function the executable calls through an import slot is not named, in that
very slot, by an import or delay-import entry: the loader would leave the slot unfilled and
the call would jump to garbage.

usage: check_import_slots.py EXE NM_OUTPUT_FILE
The slots are the executable's __imp_ symbols (from nm); the entries are read from its
import directory and from the delay-import descriptors the linker placed in it.
"""
import re
import struct
import sys


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.wide = magic == 0x20B
        self.pointer_size = 8 if self.wide else 4
        self.image_base = struct.unpack_from("<Q" if self.wide else "<I", data, optional + (24 if self.wide else 28))[0]
        directories = optional + (112 if self.wide else 96)
        self.import_rva = struct.unpack_from("<I", data, directories + 8)[0]
        self.sections = []
        table = optional + optional_size
        for index in range(sections):
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * index + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("address 0x%x lies in no section" % rva)

    def word(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def pointer(self, rva):
        return struct.unpack_from("<Q" if self.wide else "<I", self.data, self.offset(rva))[0]

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def thunk_names(self, names_rva, slots_rva, dll, by_ordinal_bit):
        """(slot rva, dll, name) of each entry of one import name table."""
        index = 0
        while True:
            entry = self.pointer(names_rva + index * self.pointer_size)
            if entry == 0:
                return
            name = "#%d" % (entry & 0xFFFF) if entry & by_ordinal_bit else self.text((entry & 0x7FFFFFFF) + 2)
            yield slots_rva + index * self.pointer_size, dll, name
            index += 1

    def import_slots(self):
        ordinal_bit = 1 << (63 if self.wide else 31)
        rva = self.import_rva
        while rva:
            names, _, _, dll_name, slots = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if dll_name == 0:
                break
            yield from self.thunk_names(names or slots, slots, self.text(dll_name), ordinal_bit)
            rva += 20

    def delay_import_slots(self, descriptor_rva):
        ordinal_bit = 1 << (63 if self.wide else 31)
        _, dll_name, _, slots, names = struct.unpack_from("<IIIII", self.data, self.offset(descriptor_rva))
        yield from self.thunk_names(names, slots, self.text(dll_name), ordinal_bit)

    def holds_code_address(self, slot_rva):
        """True when the slot, as stored in the file, points into the image: a delay-import
        slot must point at the stub that loads its DLL on the first call."""
        target = self.pointer(slot_rva) - self.image_base
        return any(start <= target < start + size for start, size, _ in self.sections)


def plain_name(symbol, wide):
    name = symbol[len("__imp_"):]
    if not wide:
        # 32-bit C names carry a leading underscore, stdcall ones an @n as well.
        name = re.sub(r"@\d+$", "", name[1:] if name.startswith("_") else name)
    return name


def main():
    exe, nm_file = sys.argv[1], sys.argv[2]
    with open(exe, "rb") as handle:
        image = Image(handle.read())
    symbols = []
    with open(nm_file) as handle:
        for line in handle:
            parts = line.split()
            if len(parts) == 3:
                symbols.append((int(parts[0], 16) - image.image_base, parts[1], parts[2]))
    filled = {slot: (dll, name) for slot, dll, name in image.import_slots()}
    delayed = set()
    for rva, _, symbol in symbols:
        if symbol.startswith("__DELAY_IMPORT_DESCRIPTOR_"):
            for slot, dll, name in image.delay_import_slots(rva):
                filled[slot] = (dll, name)
                delayed.add(slot)
    # Type I marks the linker's import slots; the runtime's own __imp_ pointers are data.
    slots = [(rva, symbol) for rva, kind, symbol in symbols if kind == "I" and symbol.startswith("__imp_")]
    if not slots:
        print("%s: no import slots in its symbol table; it must not be stripped" % exe, file=sys.stderr)
        return 1
    bad = 0
    for rva, symbol in slots:
        name = plain_name(symbol, image.wide)
        entry = filled.get(rva)
        if entry is None:
            print("%s: %s calls %s through a slot that no import fills" % (exe, symbol, name), file=sys.stderr)
            bad = 1
        elif entry[1] not in (name, "_" + name):
            # The runtime's import library maps POSIX names to msvcrt's underscored ones.
            print("%s: the slot of %s is filled with %s!%s" % (exe, name, entry[0], entry[1]), file=sys.stderr)
            bad = 1
        elif rva in delayed and not image.holds_code_address(rva):
            print("%s: the delay-loaded slot of %s!%s points at no loading stub, so the first call "
                  "jumps to garbage" % (exe, entry[0], name), file=sys.stderr)
            bad = 1
    return bad


if __name__ == "__main__":
    sys.exit(main())
