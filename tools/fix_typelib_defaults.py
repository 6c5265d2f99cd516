#!/usr/bin/env python3
"""Gives by-reference parameters their default in a widl type library.

widl refuses defaultvalue("...") on a BSTR* parameter, and any default but 0
on another pointer (it checks the pointer, not what it points to), yet
optional by-reference strings and numbers with such defaults are part of our
public interface. The IDL is therefore compiled three times, differing only in
such parameters (T being BSTR, long or an enumeration):
  BYREF     [in, out, optional] T*               - the real signature
  DEFAULTS  [in, optional, defaultvalue(...)] T  - carries the default
  PLAIN     [in, optional] T                     - neither
The result is DEFAULTS with those parameters turned into the by-reference type
of BYREF; the reconstituted FUNCDESC size grows by what the pointers cost
(BYREF minus PLAIN), as widl would have counted it.

usage: fix_typelib_defaults.py BYREF.tlb DEFAULTS.tlb PLAIN.tlb OUT.tlb
"""
import struct
import sys

PARAMFLAG_FOUT = 0x2
PARAMFLAG_FHASDEFAULT = 0x20
VT_PTR = 26


class Typelib:
    """The parts of an MSFT type library file that hold function records."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = bytearray(f.read())
        if self.data[:4] != b"MSFT":
            sys.exit(f"{path}: not an MSFT type library")
        varflags = self.int(0x14)
        count = self.int(0x20)
        pos = 0x54 + (4 if varflags & 0x100 else 0) + 4 * count
        segs = [struct.unpack_from("<iiii", self.data, pos + 16 * k) for k in range(15)]
        self.typeinfo_seg, self.guid_seg = segs[0][0], segs[5][0]
        self.typedesc_seg, self.typedesc_len = segs[9][0], segs[9][1]
        self.count = count

    def int(self, offset):
        return struct.unpack_from("<i", self.data, offset)[0]

    def put(self, offset, value):
        struct.pack_into("<i", self.data, offset, value)

    def typedesc(self, offset):
        if offset < 0 or offset + 8 > self.typedesc_len:
            return None
        return bytes(self.data[self.typedesc_seg + offset:self.typedesc_seg + offset + 8])

    def functions(self):
        """Yields ((interface guid, memid, invoke kind), record offset, record size)."""
        for k in range(self.count):
            base = self.typeinfo_seg + 0x64 * k
            elements = self.int(base + 0x18)
            funcs, nvars = elements & 0xFFFF, elements >> 16
            if funcs == 0:
                continue
            members = self.int(base + 4)
            posguid = self.int(base + 0x2C)
            guid = bytes(self.data[self.guid_seg + posguid:self.guid_seg + posguid + 16])
            infolen = self.int(members)
            for i in range(funcs):
                memid = self.int(members + 4 + infolen + 4 * i)
                rec_offset = self.int(members + 4 + infolen + 4 * (2 * (funcs + nvars) + i))
                rec = members + 4 + rec_offset
                size = self.int(rec) & 0xFFFF
                kind = (self.int(rec + 16) >> 3) & 0xF
                yield (guid, memid, kind), rec, size

    def params(self, rec, size):
        nargs = struct.unpack_from("<h", self.data, rec + 20)[0]
        has_defaults = self.int(rec + 16) & 0x1000
        for j in range(nargs):
            info = rec + size - 12 * nargs + 12 * j
            default = self.int(rec + size - 16 * nargs + 4 * j) if has_defaults else -1
            yield info, default


def fdsize_of(lib, rec):
    return struct.unpack_from("<h", lib.data, rec + 14)[0]


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    byref, defaults, plain = (Typelib(p) for p in sys.argv[1:4])
    byref_funcs = {key: (rec, size) for key, rec, size in byref.functions()}
    plain_funcs = {key: (rec, size) for key, rec, size in plain.functions()}
    patched = 0
    for key, rec, size in defaults.functions():
        if key not in byref_funcs or key not in plain_funcs:
            sys.exit("the three passes describe different functions")
        brec, bsize = byref_funcs[key]
        prec, _ = plain_funcs[key]
        grow = 0
        for (info, default), (binfo, _) in zip(defaults.params(rec, size), byref.params(brec, bsize)):
            dtype, btype = defaults.int(info), byref.int(binfo)
            if dtype == btype:
                continue
            flags = defaults.int(info + 8)
            pointer = byref.typedesc(btype)
            if not (flags & PARAMFLAG_FHASDEFAULT and default != -1
                    and pointer is not None and struct.unpack_from("<H", pointer, 0)[0] == VT_PTR
                    and struct.unpack_from("<i", pointer, 4)[0] == dtype):
                sys.exit("a parameter differs between the passes in an unexpected way")
            if defaults.typedesc(btype) != pointer:
                sys.exit("the pointer type is missing from the type descriptions; "
                         "declare another parameter of that pointer type in the library")
            defaults.put(info, btype)
            defaults.put(info + 8, flags | PARAMFLAG_FOUT)
            grow = fdsize_of(byref, brec) - fdsize_of(plain, prec)
            patched += 1
        if grow:
            struct.pack_into("<h", defaults.data, rec + 14, fdsize_of(defaults, rec) + grow)
    with open(sys.argv[4], "wb") as f:
        f.write(defaults.data)
    print(f"fix_typelib_defaults: {patched} by-reference default(s)")


main()
