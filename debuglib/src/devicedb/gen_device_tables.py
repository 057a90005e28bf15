#!/usr/bin/env python3
"""Writes device_tables.cpp: the code tables, the external-RAM rows, the
naming table, the description store and the per-family traits of the device
database, and the XDATA registers the virtual adapter shares with the library
(common/include/zt/xdata_registers.h).

The derivatives below are this project's own invention (apart from the
Zeltra family, whose values are fixed); the store and the code tables are
generated from the same rows so that they cannot disagree.

    python3 gen_device_tables.py    (writes both files next to their readers)
"""

import os

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


# --- per-family traits -------------------------------------------------------
# Everything a target operation does differently by family is a field of the
# family's row; no code tests family numbers.

NO_PAGE = "kNoSfrPage"
FAMILIES = range(49)

# SFR page register; families not listed keep theirs unpaged.
SFR_PAGE_REGISTER = dict(
    [(f, 0x84) for f in (5, 6, 7)] + [(11, 0x97)] +
    [(f, 0xBF) for f in (15, 24, 25, 26, 40, 44)] +
    [(f, 0xCF) for f in (16, 19, 23, 27, 38)] +
    [(f, 0xA7) for f in (12, 14, 17, 18, 21, 22, 28, 30, 31, 32, 33, 34, 35, 37, 39, 41, 42, 43,
                         45, 46, 47, 48)])

# Breakpoint control register and its page; the others enable slots in the
# address registers and have only the page of those.
BREAKPOINT_CONTROL = dict(
    [(ZELTRA, ("zt::zeltra::kBreakpointMask", NO_PAGE))] +
    [(f, (0xE5, 1)) for f in (15, 21, 40, 44)] +
    [(f, (0xF4, 1)) for f in (22, 31, 37, 41, 42, 46, 47, 48)] +
    [(f, (0xD6, 1)) for f in (28, 32, 33, 34)] +
    [(f, (0xCB, 1)) for f in (30, 35)] +
    [(39, (0xD6, 0)), (43, (0xCD, 1)), (45, (0xF9, 0)), (11, (None, 15)), (16, (None, 0)),
     (27, (None, 0))] +
    [(f, (None, NO_PAGE)) for f in list(range(11)) + [13, 20, 29]])
BREAKPOINT_ADDRESS_PAGE = dict(
    [(f, NO_PAGE) for f in list(range(11)) + [13, 20, 29, ZELTRA]] + [(11, 15)] +
    [(f, 0) for f in (16, 27, 39)])
# Families whose high address byte has no enable bit.
NO_ENABLE_BIT = {15, 21, 22, 28} | set(range(30, 38)) | set(range(39, 49))
# Breakpoint registers written as C2 registers rather than SFRs.
BREAKPOINTS_THROUGH_C2 = {30, 35}
# Control bits 4 to 7 mark slots whose address lies in bank 2 or 3.
BREAKPOINT_BANK_BITS = {32, 42}
# Slots reached through a select register, then the address low and high.
BREAKPOINT_SELECT = {ZELTRA: "zt::zeltra::kBreakpointSelect"}
# Breakpoint registers: from the description, from the table below, or left as
# they were.
DESCRIBED_REGISTERS = {0, 1, 2, 3, 5, 6, 7}
BREAKPOINT_REGISTERS = dict(
    [(f, (0xD2, 0xD4, 0xD6, 0xDD)) for f in (4, 16, 27, 19, 23, 38)] +
    [(f, (0xCC, 0xCE, 0xD4, 0xD6)) for f in (15, 18, 21, 24, 25, 26, 30, 40, 44)] +
    [(f, (0xCA, 0xCC, 0xD2, 0xD4)) for f in (28, 32, 33, 34, 39)] +
    [(35, (0xD9, 0xDB, 0xDD, 0xED)), (42, (0x8D, 0xAB, 0xCE, 0xD2)),
     (43, (0x85, 0xAB, 0xD4, 0xD2)), (45, (0xE2, 0xEA, 0xF2, 0xFA)),
     (47, (0x85, 0xD5, 0xCE, 0xD2)), (ZELTRA, None)])
DEFAULT_BREAKPOINT_REGISTERS = (0x85, 0xAB, 0xCE, 0xD2)
BREAKPOINT_COUNT = {13: 2, ZELTRA: 0}  # 0: the target reports it

# XDATA: the access method, the page of its registers and the registers
# (XADRH, XADRL, XDATA); families without address registers have None.
XDATA_COMMANDS = {15, 18, 22, 28, 30, 31, 32, 33, 34, 36, 40, 42}
XDATA_ADDRESS_REGISTERS = set(range(8, 15)) | {17, 19, 20, 21, 23, 24, 25, 26, 29, 35, 37, 38, 41,
                                               43, 44, 46, 48}
XDATA_WINDOW = {45}
XDATA_PAGE = dict([(11, 15), (16, 0), (27, 0)] + [(f, NO_PAGE) for f in (8, 9, 10, 13, 20, 29)])
XDATA_REGISTERS = dict(
    [(f, (0xC7, 0xC6, 0xC5)) for f in (15, 18, 30, 35)] +
    [(f, (0xC7, 0x8F, 0x84)) for f in (24, 25, 26, 40, 44)] +
    [(42, (0xC7, 0xAD, 0x8C)), (43, (0xC4, 0xC3, 0x84))] +
    [(f, None) for f in (4, 16, 27, ZELTRA, 47)])
DEFAULT_XDATA_REGISTERS = (0xC7, 0xAD, 0x84)
# The debug logic version whose XDATA commands use RAM 6..7 as work space.
XDATA_WORK_RAM_VERSION = {15: 8}

# Halt: the register whose bit 4 is the JTAG status flag, and the USB
# time-out once the core is halted.
HALT_STATUS_REGISTER = dict([(f, 0xB6) for f in (5, 6, 7)])
HALTED_USB_TIMEOUT_MS = {ZELTRA: 50000}
# Families whose R0..R2 sit elsewhere while halted.
HALTED_REGISTERS = dict([(f, (0x3B, 0x3C, 0x3D)) for f in (39, 45)])
# Code: the longest user-code erase, pages checked by reading instead of by
# CRC, pages checked by CRC-32 over 1 KiB blocks, the write-once family whose
# pages are still checked by CRC, and those whose write status is paged.
CODE_ERASE_MS = {32: 10000, 42: 10000}
PAGES_BY_READING = {12, 14, 30, 35, 37, 41, 45, 46}
PAGE_CRC32 = {42}
PAGE_CRC_WHEN_WRITE_ONCE = {39}
PAGED_WRITE_STATUS = {24, 25, 26, 44}
# A hex file's upper 32 KiB goes into bank 2 or 3 (three banks on offer).
HEX_BANKS = {7: 3, 32: 3, 42: 3}
# Families whose clock registers are set up after every reset.
RESET_REGISTER_SETUP = {5, 6, 7}
# Families whose erase goes on below the reserved top, ending at this address.
SECOND_ERASE_END = {0: 0x3DFF, 2: 0x3DFF}
# Identity: families refused, and those that accept only the listed derivatives.
REFUSED = {21, 26, 33, 38, 39, 45, 46, 47, 48}
ACCEPTED_DERIVATIVES = {9: [0x58, 0x59], 10: [0x2C, 0x2D, 0x2E, 0x2F, 0x60, 0x61]}


def c_value(v):
    if v is None:
        return "-1"
    if isinstance(v, bool):
        return "true" if v else "false"
    if isinstance(v, str):
        return v
    return "0x%02X" % v if v >= 16 else str(v)


def family_row(f):
    control, control_page = BREAKPOINT_CONTROL.get(f, (None, 1))
    if f in DESCRIBED_REGISTERS:
        bp_source, bp = "kDescription", DEFAULT_BREAKPOINT_REGISTERS
    elif BREAKPOINT_REGISTERS.get(f, ()) is None:
        bp_source, bp = "kKept", DEFAULT_BREAKPOINT_REGISTERS
    else:
        bp_source, bp = "kRow", BREAKPOINT_REGISTERS.get(f, DEFAULT_BREAKPOINT_REGISTERS)
    if f in XDATA_COMMANDS:
        method = "kXdataCommands"
    elif f in XDATA_ADDRESS_REGISTERS:
        method = "kAddressRegisters"
    elif f in XDATA_WINDOW:
        method = "kWindowCommands"
    else:
        method = "kNone"
    fixed = [
        c_value(SFR_PAGE_REGISTER.get(f)),
        c_value(control), c_value(control_page), c_value(BREAKPOINT_ADDRESS_PAGE.get(f, 1)),
        c_value(f not in NO_ENABLE_BIT), c_value(f in BREAKPOINTS_THROUGH_C2),
        c_value(f in BREAKPOINT_BANK_BITS), c_value(BREAKPOINT_SELECT.get(f)),
        "RegisterSource::" + bp_source, str(BREAKPOINT_COUNT.get(f, 4)),
        "XdataAccess::" + method, c_value(XDATA_PAGE.get(f, 1)),
        c_value(XDATA_WORK_RAM_VERSION.get(f)),
        "RegisterSource::" + ("kDescription" if f in DESCRIBED_REGISTERS else "kRow"),
        c_value(HALT_STATUS_REGISTER.get(f, 0x97)), str(HALTED_USB_TIMEOUT_MS.get(f, 5000)),
        str(CODE_ERASE_MS.get(f, 2500)), c_value(f not in PAGES_BY_READING),
        c_value(f in PAGE_CRC32), c_value(f in PAGE_CRC_WHEN_WRITE_ONCE),
        c_value(f in PAGED_WRITE_STATUS), str(HEX_BANKS.get(f, 0)),
        c_value(f in RESET_REGISTER_SETUP), c_value(SECOND_ERASE_END.get(f, 0)),
        c_value(f not in REFUSED), c_value(f in ACCEPTED_DERIVATIVES),
        str(family_xram(f)), c_value(f in XRAM_BY_DERIVATIVE),
    ]
    halted = HALTED_REGISTERS.get(f, (0x24, 0x25, 0x26))
    pc = 0x20
    if f == ZELTRA:
        # The virtual chip answers at these too.
        pc = "zt::zeltra::kDebugPcLow"
        r0 = "zt::zeltra::kDebugHaltedR0"
        halted = (r0, r0 + " + 1", r0 + " + 2")
    traits = [c_value(f in WRITE_ONCE), str(mass_erase_scale(f)), c_value(pc),
              "{%s}" % ", ".join(c_value(v) for v in halted),
              "{%s}" % ", ".join(c_value(v) for v in bp)]
    return "    {{%s},\n     %s},  // %d" % (", ".join(fixed), ", ".join(traits), f)


def xdata_registers(f):
    """The registers of family f's data-register XDATA access, or None (the
    described families take theirs from the description, which the virtual
    adapter does not read)."""
    if f in DESCRIBED_REGISTERS:
        return None
    return XDATA_REGISTERS.get(f, DEFAULT_XDATA_REGISTERS)


def write_xdata_header(out):
    w = lambda *a: print(*a, file=out)
    w("// Generated by debuglib/src/devicedb/gen_device_tables.py; edit the script, not this file.")
    w("// The XDATA address and data registers (XADRH, XADRL, XDATA) by family code, as the")
    w("// library writes them and the virtual adapter answers them.")
    w("// clang-format off")
    w("#pragma once")
    w("")
    w("#include <cstdint>")
    w("")
    w("namespace zt::family {")
    w("")
    w("inline constexpr int kFamilyCount = %d;" % len(FAMILIES))
    w("")
    w("struct XdataRegisters {")
    w("    bool present;  // false: the family reaches XDATA without them")
    w("    uint8_t high;")
    w("    uint8_t low;")
    w("    uint8_t data;")
    w("};")
    w("")
    w("inline constexpr XdataRegisters kXdataRegisters[kFamilyCount] = {")
    for f in FAMILIES:
        r = xdata_registers(f)
        if r is None:
            w("    {false, 0, 0, 0},  // %d" % f)
        else:
            w("    {true, 0x%02X, 0x%02X, 0x%02X},  // %d" % (r[0], r[1], r[2], f))
    w("};")
    w("")
    w("// The family's registers, or nullptr when it has none (or is unknown).")
    w("constexpr const XdataRegisters* XdataRegistersOf(int family) {")
    w("    if (family < 0 || family >= kFamilyCount || !kXdataRegisters[family].present) return nullptr;")
    w("    return &kXdataRegisters[family];")
    w("}")
    w("")
    w("}  // namespace zt::family")


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

    here = os.path.dirname(os.path.abspath(__file__))
    header = os.path.join(here, "..", "..", "..", "common", "include", "zt", "xdata_registers.h")
    with open(header, "w") as out:
        write_xdata_header(out)
    out = open(os.path.join(here, "device_tables.cpp"), "w")
    w = lambda *a: print(*a, file=out)
    w("// Generated by gen_device_tables.py; edit the script, not this file.")
    w("// clang-format off")
    w('#include "devicedb/device_tables.h"')
    w("")
    w('#include "zt/zeltra_map.h"')
    w("")
    w("namespace ordwin::devicedb {")
    w("")
    w(f"static_assert(zt::zeltra::kFamily == {ZELTRA}, \"the Zeltra row of these tables is row {ZELTRA}\");")
    w("")
    w("// What each family does differently, by family code.")
    w("const DeviceTraits kFamilyTraits[] = {")
    w("    // SFR page register; breakpoint control, its page, the address registers' page,")
    w("    // enable bit, through C2, bank bits, select register, register source, count;")
    w("    // XDATA access, page, work-RAM debug version, register source; halt status")
    w("    // register, halted USB time-out; erase time limit, page CRC, CRC-32, CRC when")
    w("    // write-once, paged write status; hex banks; reset set-up; second erase end;")
    w("    // accepted, listed derivatives only; external RAM, by derivative;")
    w("    // then write-once, mass erase scale, PC register, halted R0..R2, breakpoint registers")
    for f in FAMILIES:
        w(family_row(f))
    w("};")
    w("const size_t kFamilyTraitsCount = sizeof kFamilyTraits / sizeof kFamilyTraits[0];")
    w("")
    w("// The derivatives accepted where a family accepts only those listed.")
    w("const DerivativeRow kAcceptedDerivatives[] = {")
    for f in sorted(ACCEPTED_DERIVATIVES):
        for d in ACCEPTED_DERIVATIVES[f]:
            w("    {%d, 0x%02X}," % (f, d))
    w("};")
    w("const size_t kAcceptedDerivativeCount =")
    w("    sizeof kAcceptedDerivatives / sizeof kAcceptedDerivatives[0];")
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
    out.close()


if __name__ == "__main__":
    main()
