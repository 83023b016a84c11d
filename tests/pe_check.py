#!/usr/bin/env python3
"""Checks a marlet.exe without running it (for a build no Wine here can run):

  pe_check.py MARLET_EXE 32|64

- its PE machine type is the build's (i386 or x86-64);
- it imports only kernel32 and msvcrt when it starts; every other DLL is
  delay-loaded (cmake/delay-import.cmake), so a start that needs none of them
  loads none;
- 32-bit: every delay-load thunk survived the link. i686 ld once dropped
  them, leaving each address slot pointing at nothing, and the first call
  into a delay-loaded DLL (marlet.exe /regserver's first) jumped to 0. A
  thunk is `jmp [slot]; mov eax, slot; jmp tail-merge`, and its slot must
  start out holding the address of the thunk's `mov`.
"""
import struct
import sys

MACHINES = {"32": 0x14C, "64": 0x8664}
STARTUP_DLLS = {"kernel32.dll", "msvcrt.dll"}
# At least this many thunks: the user32, ole32, oleaut32 and shell32 calls
# that marlet.exe makes are far more than this.
MIN_THUNKS = 20


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.image_base = struct.unpack_from("<I" if magic == 0x10B else "<Q", data, opt + (28 if magic == 0x10B else 24))[0]
        dirs = opt + (96 if magic == 0x10B else 112)
        self.import_rva = struct.unpack_from("<I", data, dirs + 8)[0]
        self.sections = []
        for i in range(sections):
            s = opt + opt_size + 40 * i
            name = data[s:s + 8].rstrip(b"\0").decode()
            vsize, rva, rsize, raw = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((name, rva, max(vsize, rsize), raw, rsize))

    def offset(self, rva):
        for _, start, size, raw, rsize in self.sections:
            if start <= rva < start + size and rva - start < rsize:
                return raw + rva - start
        return None

    def cstr(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode()

    def imported_dlls(self):
        dlls, off = [], self.offset(self.import_rva)
        while off is not None:
            name_rva = struct.unpack_from("<I", self.data, off + 12)[0]
            if name_rva == 0:
                break
            dlls.append(self.cstr(name_rva).lower())
            off += 20
        return dlls

    def thunks(self):
        """(thunk VA, slot VA, slot's value) of each 32-bit delay-load thunk."""
        found = []
        for name, rva, size, raw, rsize in self.sections:
            if name != ".text":
                continue
            code = self.data[raw:raw + rsize]
            at = code.find(b"\xff\x25")
            while at >= 0:
                if code[at + 6:at + 7] == b"\xb8" and code[at + 11:at + 12] == b"\xe9" and code[at + 2:at + 6] == code[at + 7:at + 11]:
                    slot = struct.unpack_from("<I", code, at + 2)[0]
                    off = self.offset(slot - self.image_base)
                    value = struct.unpack_from("<I", self.data, off)[0] if off is not None else None
                    found.append((self.image_base + rva + at, slot, value))
                at = code.find(b"\xff\x25", at + 1)
        return found


def check(path, bits):
    pe = Pe(open(path, "rb").read())
    faults = []
    if pe.machine != MACHINES[bits]:
        faults.append(f"machine type {pe.machine:#x}, not the {bits}-bit build's {MACHINES[bits]:#x}")
    extra = sorted(set(pe.imported_dlls()) - STARTUP_DLLS)
    if extra:
        faults.append("loaded at start, not delay-loaded: " + ", ".join(extra))
    if bits == "32":
        thunks = pe.thunks()
        if len(thunks) < MIN_THUNKS:
            faults.append(f"{len(thunks)} delay-load thunks found, expected at least {MIN_THUNKS}: the linker dropped them")
        for thunk, slot, value in thunks:
            if value != thunk + 6:
                shown = "outside the image" if value is None else f"{value:#x}"
                faults.append(f"slot {slot:#x} holds {shown}, not its thunk's {thunk + 6:#x}")
        if not faults:
            print(f"{len(thunks)} delay-load thunks in place")
    return faults


def main():
    path, bits = sys.argv[1], sys.argv[2]
    faults = check(path, bits)
    for fault in faults:
        print(f"{path}: {fault}")
    if not faults:
        print(f"{path}: {bits}-bit, imports at start only " + ", ".join(sorted(STARTUP_DLLS)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
