#!/usr/bin/env python3
"""Writes device_tables.cpp: the code tables, the external-RAM rows, the
naming table and the description store of the device database.

The derivatives below are this project's own invention (apart from the
Zeltra family, whose values are fixed); the store and the code tables are
generated from the same rows so that they cannot disagree.

    python3 gen_device_tables.py > device_tables.cpp
"""

ZELTRA = 36
STORE_FAMILIES = list(range(0, 14)) + [15, 16, 18]
WRITE_ONCE = {16, 19, 23, 24, 25, 26, 27, 38, 39, 44, 45}
BANKED = {13, 32, 42}
# Families whose external RAM differs by derivative.
XRAM_BY_DERIVATIVE = {1, 2, 15, 28, 35, 40, 41}
# Lists that carry the register keys (family 3 describes none: its registers stay as they were).
REGISTER_LISTS = [0, 1, 2, 5, 6, 7, 8, 9, 10]


def family_xram(f):
    table = [
        ((0, 4, 16, 17, 27, 39, 47), 0),
        ((8, 13, 14, 19, 38, 43, 48), 1024),
        ((10, 11, 20, 23, 29, 31), 512),
        ((9, 12), 2048),
        ((22, 30), 4096),
        ((42,), 8192),
        ((46,), 6144),
        ((37,), 256),
    ]
    for codes, size in table:
        if f in codes:
            return size
    return 0x10000


def mass_erase_scale(f):
    if f in (0, 2, 3, 5, 6):
        return 10
    if f == 7:
        return 49
    return 6


def derivative_ids(f, count):
    if f == 9:
        return [0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B][:count]
    if f == 10:
        return [0x2C, 0x2D, 0x2E, 0x2F, 0x60, 0x61, 0x62][:count]
    base = 0x01 + (f * 0x13) % 0xC0
    return [base + 2 * i for i in range(count)]


def code_sizes(f):
    """Code sizes of a family's members; two sizes where the family mixes them."""
    if f in BANKED:
        return [0x20000]
    if f in (0, 2):
        return [0x4000]
    choice = [0x2000, 0x4000, 0x8000, 0x10000]
    first = choice[f % 4]
    if f % 3 == 0 and first < 0x10000:
        return [first, first * 2]
    return [first]


def layout(f, size):
    """Code layout of one member of family f with the given code size."""
    page = 1024 if size >= 0x10000 else 512
    if size >= 0x10000 and f not in BANKED:
        reserved = (0xFC00, 0xFFFF)
        read_lock = 0xFBFF
    elif f in BANKED:
        reserved = (0x1FC00, 0x1FFFF)
        read_lock = 0x1FBFF
    else:
        reserved = (size - 0x200, size - 1)
        read_lock = size - 0x201
    # Odd families keep a separate write-lock byte just below the read-lock byte.
    write_lock = read_lock - 1 if f % 2 else read_lock
    if f in WRITE_ONCE:
        # Write-once parts have no reserved area and no lock bytes.
        reserved = (0xFFFF, 0xFFFF)
        read_lock = write_lock = 0xFFFF
    return dict(
        code=size,
        page=page,
        lock=page,
        rstart=reserved[0],
        rend=reserved[1],
        rlock=read_lock,
        wlock=write_lock,
        width=17 if f in BANKED else 16,
        flash=1 + f % 4,
        banks=4 if f in BANKED else 0,
        scratch=128 if f % 5 == 0 and f not in WRITE_ONCE else 0,
        scratch_addr=0x8000 if f in (25, 40) else 0,
    )


# Derivative counts: 117 described derivatives over 17 lists, and 350 names in all.
def member_count(f):
    if f in STORE_FAMILIES:
        return 6 if f in (10, 16) else 7
    if f == ZELTRA:
        return 5
    listless = [x for x in range(49) if x not in STORE_FAMILIES and x != ZELTRA]
    return 8 if listless.index(f) < 11 else 7


class Member:
    pass


def members(f):
    out = []
    ids = derivative_ids(f, member_count(f))
    sizes = code_sizes(f)
    for i, d in enumerate(ids):
        m = Member()
        m.family = f
        m.deriv = d
        m.index = i
        m.size = sizes[i % len(sizes)]
        m.layout = layout(f, m.size)
        m.name = "ZX%02d%02d" % (f, 10 * (i + 1)) + ("B" if len(sizes) > 1 and i % 2 else "")
        if f in XRAM_BY_DERIVATIVE:
            m.xram = [1024, 2048, 4096, 0][i % 4]
        else:
            m.xram = family_xram(f)
        out.append(m)
    return out


def zeltra_members():
    out = []
    for d, name in [(0xD0, "Zeltra"), (0xD1, "Zeltra Lite"), (0xD2, "Zeltra Plus"),
                    (0xD3, "Zeltra Duo"), (0xFF, "Zeltra Pristine")]:
        m = Member()
        m.family, m.deriv, m.name = ZELTRA, d, name
        out.append(m)
    return out


def hex_text(v):
    return "%04X" % v if v <= 0xFFFF else "%06X" % v


def store_pairs(f, ms, optional_budget):
    pairs = []
    for m in ms:
        p = "//Part[DerivativeID='%02X']" % m.deriv
        L = m.layout
        pairs += [
            (p + "/Name", m.name),
            (p + "/Memory/InternalRAM/Size", "256"),
            (p + "/Memory/Code/Size", str(L["code"])),
            (p + "/Memory/Code/PageSize", str(L["page"])),
            (p + "/Memory/Code/LockSectorSize", str(L["lock"])),
            (p + "/Memory/Code/AddressWidth", str(L["width"])),
            (p + "/Memory/Code/WriteType", "WriteOnce" if f in WRITE_ONCE else "WriteMany"),
            (p + "/Memory/Code/FlashScale", str(L["flash"])),
            (p + "/Memory/Code/MassEraseScale", str(mass_erase_scale(f))),
            (p + "/Memory/Code/Reserved/StartAddress", hex_text(L["rstart"])),
            (p + "/Memory/Code/Reserved/EndAddress", hex_text(L["rend"])),
            (p + "/Memory/Code/Security/ReadLockByte/Address", hex_text(L["rlock"])),
            (p + "/Memory/Code/Security/WriteLockByte/Address", hex_text(L["wlock"])),
        ]
        if m.xram:
            pairs.append((p + "/Memory/ExternalRAM/Size/OnChipSize", str(m.xram)))
            if m.index % 3 == 2:
                pairs.append((p + "/Memory/ExternalRAM/Size/EMIF", "true"))
        if L["banks"]:
            pairs.append((p + "/Memory/Code/Banked/BankCount", str(L["banks"])))
        if L["scratch"]:
            pairs.append((p + "/Memory/Scratch/Size", str(L["scratch"])))
            if m.index % 2 == 0:
                pairs.append((p + "/Memory/Code/AddScratchToCode", "true"))
        if optional_budget[0] > 0:
            pairs.append((p + "/DSR/RevisionRange/MinRevision", str(m.index % 3)))
            optional_budget[0] -= 1
    if f in REGISTER_LISTS:
        base = "//Family/DebugInterface/DbgIntfRegister/Direct/DirectRegister[SymbolName='%s']/ByteRegister[SymbolName='%s']/Address"
        regs = register_values(f)
        for (direct, byte), value in regs:
            pairs.append((base % (direct, byte), "%02X" % value))
    return sorted(pairs, key=lambda kv: kv[0].lower())


def register_values(f):
    bp = [0x85 + f, 0xAB, 0xCE, 0xD2] if f in (5, 6, 7) else [0x85, 0xAB, 0xCE, 0xD2]
    if f in (0, 1, 2, 3):
        bp = [0xCA + f, 0xCC, 0xD2, 0xD4]
    x = (0xC7, 0xAD - f, 0x84) if f in (5, 6, 7) else (0xC7, 0xAD, 0x84)
    return [(("BP0", "BPL0"), bp[0]), (("BP1", "BPL1"), bp[1]), (("BP2", "BPL2"), bp[2]),
            (("BP3", "BPL3"), bp[3]), (("XADR", "XADRL"), x[1]), (("XADR", "XADRH"), x[0]),
            (("XDATA", "XDATA"), x[2])]


def c_str(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main():
    all_members = {f: (zeltra_members() if f == ZELTRA else members(f)) for f in range(49)}

    # MinRevision keys fill the store up to its 1849 pairs.
    fixed = 0
    for f in STORE_FAMILIES:
        fixed += len(store_pairs(f, all_members[f], [0]))
    budget = [1849 - fixed]
    assert 0 <= budget[0] <= sum(len(all_members[f]) for f in STORE_FAMILIES)
    lists = {f: store_pairs(f, all_members[f], budget) for f in STORE_FAMILIES}
    assert sum(len(v) for v in lists.values()) == 1849
    assert sum(len(all_members[f]) for f in STORE_FAMILIES) == 117
    assert sum(len(v) for v in all_members.values()) == 350

    w = print
    w("// Generated by gen_device_tables.py; edit the script, not this file.")
    w("// clang-format off")
    w('#include "devicedb/device_tables.h"')
    w("")
    w("namespace ordwin::devicedb {")
    w("")
    w("// Code layout by family, and by derivative where a family mixes sizes.")
    w("const CodeRow kCodeRows[] = {")
    w("    // family, derivative, code, scratch, scratch address, page, lock sector,")
    w("    // reserved start, reserved end, read lock, write lock, width, flash scale, banks")
    w("    {36, kAnyDerivative, 0x8000, 0, 0x0, 512, 512, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 16, 0, 0},")
    for f in range(49):
        if f == ZELTRA:
            continue
        ms = all_members[f]
        mixed = len(set(m.size for m in ms)) > 1
        rows = ms if mixed else ms[:1]
        for m in rows:
            L = m.layout
            d = "0x%02X" % m.deriv if mixed else "kAnyDerivative"
            w("    {%d, %s, 0x%X, %d, 0x%X, %d, %d, 0x%X, 0x%X, 0x%X, 0x%X, %d, %d, %d}," % (
                f, d, L["code"], L["scratch"], L["scratch_addr"], L["page"], L["lock"],
                L["rstart"], L["rend"], L["rlock"], L["wlock"], L["width"], L["flash"],
                L["banks"]))
    w("};")
    w("const size_t kCodeRowCount = sizeof kCodeRows / sizeof kCodeRows[0];")
    w("")
    w("// External RAM of the families where it differs by derivative.")
    w("const XramRow kXramRows[] = {")
    for f in sorted(XRAM_BY_DERIVATIVE):
        for m in all_members[f]:
            w("    {%d, 0x%02X, %d}," % (f, m.deriv, m.xram))
    w("};")
    w("const size_t kXramRowCount = sizeof kXramRows / sizeof kXramRows[0];")
    w("")
    w("const NameRow kNameRows[] = {")
    for f in range(49):
        for m in all_members[f]:
            w("    {%d, 0x%02X, %s}," % (f, m.deriv, c_str(m.name)))
    w("};")
    w("const size_t kNameRowCount = sizeof kNameRows / sizeof kNameRows[0];")
    w("")
    for f in STORE_FAMILIES:
        w("static const StorePair kList%d[] = {" % f)
        for k, v in lists[f]:
            w("    {%s, %s}," % (c_str(k), c_str(v)))
        w("    {nullptr, nullptr},")
        w("};")
        w("")
    w("const StoreFamily kStoreFamilies[] = {")
    for f in STORE_FAMILIES:
        w("    {%d, kList%d}," % (f, f))
    w("    {-1, nullptr},")
    w("};")
    w("")
    w("}  // namespace ordwin::devicedb")


if __name__ == "__main__":
    main()
