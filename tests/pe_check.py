#!/usr/bin/env python3
"""Checks a marlet.exe without running it (for a build no Wine here can run):

  pe_check.py MARLET_EXE 32|64

- its PE machine type is the build's;
- at start it loads only kernel32 and msvcrt: every other DLL is delay-loaded
  (cmake/delay-import.cmake);
- 32-bit: the delay-load thunks survived the link. i686 ld once dropped them,
  and the first call into a delay-loaded DLL (/regserver's) jumped to 0. A
  thunk is `jmp [slot]; mov eax, slot; jmp tail-merge`, and its slot must
  start out holding the address of the thunk's `mov`.
"""
import re
import struct
import sys

MACHINES = {"32": 0x14C, "64": 0x8664}
STARTUP_DLLS = {"kernel32.dll", "msvcrt.dll"}
MIN_THUNKS = 20  # marlet.exe calls far more delay-loaded functions than this


def check(data, bits):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine, count, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    opt = pe + 24
    pe32 = struct.unpack_from("<H", data, opt)[0] == 0x10B
    base = struct.unpack_from("<I" if pe32 else "<Q", data, opt + (28 if pe32 else 24))[0]
    import_rva = struct.unpack_from("<I", data, opt + (96 if pe32 else 112) + 8)[0]
    sections = [struct.unpack_from("<8sIIII", data, opt + opt_size + 40 * i) for i in range(count)]

    def offset(rva):
        for _, vsize, start, rsize, raw in sections:
            if start <= rva < start + max(vsize, rsize) and rva - start < rsize:
                return raw + rva - start
        return None

    faults = []
    if machine != MACHINES[bits]:
        faults.append(f"machine type {machine:#x}, not the {bits}-bit build's {MACHINES[bits]:#x}")
    dlls, at = set(), offset(import_rva)
    while at is not None and struct.unpack_from("<I", data, at + 12)[0]:
        name = offset(struct.unpack_from("<I", data, at + 12)[0])
        dlls.add(data[name:data.index(b"\0", name)].decode().lower())
        at += 20
    if dlls - STARTUP_DLLS:
        faults.append("loaded at start, not delay-loaded: " + ", ".join(sorted(dlls - STARTUP_DLLS)))
    if bits == "32":
        name, _, start, rsize, raw = next(s for s in sections if s[0].rstrip(b"\0") == b".text")
        thunks = [m for m in re.finditer(rb"\xff\x25(....)\xb8\1\xe9", data[raw:raw + rsize], re.S)]
        if len(thunks) < MIN_THUNKS:
            faults.append(f"{len(thunks)} delay-load thunks, expected at least {MIN_THUNKS}: the linker dropped them")
        for m in thunks:
            slot = struct.unpack("<I", m.group(1))[0]
            held = offset(slot - base)
            value = struct.unpack_from("<I", data, held)[0] if held is not None else None
            if value != base + start + m.start() + 6:
                faults.append(f"slot {slot:#x} does not start out pointing at its thunk")
        print(f"{len(thunks)} delay-load thunks checked")
    return faults


def main():
    path, bits = sys.argv[1], sys.argv[2]
    faults = check(open(path, "rb").read(), bits)
    for fault in faults:
        print(f"{path}: {fault}")
    print(f"{path}: " + ("FAILED" if faults else f"{bits}-bit, loads only kernel32 and msvcrt at start"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
