#include "mcs51.h"

#include <bit>

namespace zsim {

namespace {

// PSW bits.
constexpr uint8_t kCy = 0x80;
constexpr uint8_t kAc = 0x40;
constexpr uint8_t kOv = 0x04;
constexpr uint8_t kP = 0x01;

constexpr int kA = Mcs51::ACC - 0x80;
constexpr int kB = Mcs51::B - 0x80;
constexpr int kPsw = Mcs51::PSW - 0x80;
constexpr int kSp = Mcs51::SP - 0x80;
constexpr int kDpl = Mcs51::DPL - 0x80;
constexpr int kDph = Mcs51::DPH - 0x80;
constexpr int kP2 = Mcs51::P2 - 0x80;

// Machine cycles of every opcode on the classic 12-clock core.
constexpr uint8_t kCycles[256] = {
    // x0 x1 x2 x3 x4 x5 x6 x7 x8 x9 xA xB xC xD xE xF
    1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0x
    2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 1x
    2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 2x
    2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 3x
    2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 4x
    2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 5x
    2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 6x
    2, 2, 2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 7x
    2, 2, 2, 2, 4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // 8x
    2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 9x
    2, 2, 1, 2, 4, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // Ax
    2, 2, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // Bx
    2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // Cx
    2, 2, 1, 1, 1, 2, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2,  // Dx
    2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // Ex
    2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // Fx
};

inline bool IsPort(uint8_t addr) {
    return addr >= 0x80 && (addr & 0xCF) == 0x80;
}

inline uint8_t ByteOfBit(uint8_t bit) {
    return bit < 0x80 ? uint8_t(0x20 + (bit >> 3)) : uint8_t(bit & 0xF8);
}

inline uint8_t Parity(uint8_t v) {
    return uint8_t(std::popcount(v) & 1);
}

}  // namespace

Mcs51::Mcs51(Mcs51Bus& bus, const uint8_t* code) : bus_(bus), code_(code) {
    Reset();
}

void Mcs51::Reset() {
    for (auto& s : sfr) s = 0;
    sfr[SP - 0x80] = 0x07;
    sfr[P0 - 0x80] = sfr[P1 - 0x80] = sfr[P2 - 0x80] = sfr[P3 - 0x80] = 0xFF;
    pc = 0;
    idle = false;
}

void Mcs51::HookSfr(uint8_t addr, bool hooked) {
    if (addr >= 0x80) hooked_[addr - 0x80] = hooked;
}

uint8_t Mcs51::Psw() const {
    return uint8_t((sfr[kPsw] & ~kP) | Parity(sfr[kA]));
}

uint8_t Mcs51::Reg(int n) const {
    return iram[(sfr[kPsw] & 0x18) | (n & 7)];
}

void Mcs51::SetReg(int n, uint8_t value) {
    iram[(sfr[kPsw] & 0x18) | (n & 7)] = value;
}

uint8_t Mcs51::ReadDirect(uint8_t addr) {
    if (addr < 0x80) return iram[addr];
    const int i = addr - 0x80;
    if (hooked_[i]) return bus_.SfrRead(addr);
    if (i == kPsw) return Psw();
    return sfr[i];
}

void Mcs51::WriteDirect(uint8_t addr, uint8_t value) {
    if (addr < 0x80) {
        iram[addr] = value;
        return;
    }
    const int i = addr - 0x80;
    if (addr == PCON && (value & 1)) idle = true;
    if (hooked_[i]) {
        if (IsPort(addr)) sfr[i] = value;  // the latch stays ours for RMW reads
        bus_.SfrWrite(addr, value);
        return;
    }
    sfr[i] = value;
}

uint8_t Mcs51::ReadLatch(uint8_t addr) {
    if (IsPort(addr)) return sfr[addr - 0x80];
    return ReadDirect(addr);
}

uint8_t Mcs51::ReadBit(uint8_t bit) {
    return (ReadDirect(ByteOfBit(bit)) >> (bit & 7)) & 1;
}

uint8_t Mcs51::ReadBitLatch(uint8_t bit) {
    return (ReadLatch(ByteOfBit(bit)) >> (bit & 7)) & 1;
}

void Mcs51::WriteBit(uint8_t bit, bool value) {
    const uint8_t addr = ByteOfBit(bit);
    const uint8_t mask = uint8_t(1u << (bit & 7));
    const uint8_t old = ReadLatch(addr);
    WriteDirect(addr, value ? uint8_t(old | mask) : uint8_t(old & ~mask));
}

void Mcs51::Push(uint8_t value) {
    const uint8_t sp = uint8_t(sfr[kSp] + 1);
    sfr[kSp] = sp;
    iram[sp] = value;
}

uint8_t Mcs51::Pop() {
    const uint8_t sp = sfr[kSp];
    sfr[kSp] = uint8_t(sp - 1);
    return iram[sp];
}

void Mcs51::Ret() {
    const uint8_t hi = Pop();
    const uint8_t lo = Pop();
    pc = uint16_t(hi << 8 | lo);
}

int Mcs51::Step() {
    if (idle) {
        cycles += 1;
        return 1;
    }
    const uint8_t op = code_[pc++];
#ifdef ZSIM_CORE_OPCODE_HITS
    if (opcode_hits) ++opcode_hits[op];
#endif
    uint8_t& a = sfr[kA];
    uint8_t& psw = sfr[kPsw];

    // Operand fetch; pc wraps at 0xFFFF like the hardware's.
    auto fetch = [&]() -> uint8_t { return code_[pc++]; };
    auto reg = [&](int n) -> uint8_t& { return iram[(psw & 0x18) | n]; };
    auto ind = [&](int i) -> uint8_t& { return iram[reg(i)]; };
    auto rel = [&](bool take) {
        const int8_t off = int8_t(fetch());
        if (take) pc = uint16_t(pc + off);
    };
    auto carry = [&]() -> unsigned { return psw >> 7; };
    auto setCarry = [&](bool c) { psw = c ? uint8_t(psw | kCy) : uint8_t(psw & ~kCy); };
    auto add = [&](uint8_t v, unsigned c) {
        const unsigned r = a + v + c;
        uint8_t f = psw & uint8_t(~(kCy | kAc | kOv));
        if (r > 0xFF) f |= kCy;
        if ((a & 0x0F) + (v & 0x0F) + c > 0x0F) f |= kAc;
        if (~(a ^ v) & (a ^ r) & 0x80) f |= kOv;
        psw = f;
        a = uint8_t(r);
    };
    auto subb = [&](uint8_t v) {
        const unsigned c = carry();
        const unsigned r = unsigned(a) - v - c;
        uint8_t f = psw & uint8_t(~(kCy | kAc | kOv));
        if (unsigned(a) < v + c) f |= kCy;
        if ((a & 0x0F) < (v & 0x0F) + c) f |= kAc;
        if ((a ^ v) & (a ^ r) & 0x80) f |= kOv;
        psw = f;
        a = uint8_t(r);
    };
    auto cjne = [&](uint8_t x, uint8_t y) {
        setCarry(x < y);
        rel(x != y);
    };
    auto call = [&](uint16_t target) {
        Push(uint8_t(pc));
        Push(uint8_t(pc >> 8));
        pc = target;
    };
    auto fetch16 = [&]() -> uint16_t {
        const uint8_t hi = fetch();
        return uint16_t(hi << 8 | fetch());
    };
    auto dptr = [&]() -> uint16_t { return uint16_t(sfr[kDph] << 8 | sfr[kDpl]); };

    switch (op) {
        case 0x00:
        case 0xA5:  // reserved opcode: a NOP here
            break;

        // AJMP / ACALL: page of the pc after the fetch, 11-bit target.
        case 0x01:
        case 0x21:
        case 0x41:
        case 0x61:
        case 0x81:
        case 0xA1:
        case 0xC1:
        case 0xE1: {
            const uint8_t lo = fetch();
            pc = uint16_t((pc & 0xF800) | ((op & 0xE0) << 3) | lo);
            break;
        }
        case 0x11:
        case 0x31:
        case 0x51:
        case 0x71:
        case 0x91:
        case 0xB1:
        case 0xD1:
        case 0xF1: {
            const uint8_t lo = fetch();
            call(uint16_t((pc & 0xF800) | ((op & 0xE0) << 3) | lo));
            break;
        }
        case 0x02:
            pc = fetch16();
            break;
        case 0x12: {
            const uint16_t t = fetch16();
            call(t);
            break;
        }
        case 0x22:  // RET
        case 0x32:  // RETI: no interrupt logic to restore
            Ret();
            break;
        case 0x73:
            pc = uint16_t(dptr() + a);
            break;
        case 0x80:
            rel(true);
            break;

        // Rotates and accumulator operations.
        case 0x03:
            a = uint8_t(a >> 1 | a << 7);
            break;
        case 0x13: {
            const uint8_t c = a & 1;
            a = uint8_t(a >> 1 | carry() << 7);
            setCarry(c);
            break;
        }
        case 0x23:
            a = uint8_t(a << 1 | a >> 7);
            break;
        case 0x33: {
            const uint8_t c = a >> 7;
            a = uint8_t(a << 1 | carry());
            setCarry(c);
            break;
        }
        case 0xC4:
            a = uint8_t(a << 4 | a >> 4);
            break;
        case 0xE4:
            a = 0;
            break;
        case 0xF4:
            a = uint8_t(~a);
            break;
        case 0xD4: {  // DA: never clears CY
            unsigned v = a;
            if ((v & 0x0F) > 9 || (psw & kAc)) v += 0x06;
            if ((v & 0x1F0) > 0x90 || (psw & kCy)) v += 0x60;
            if (v > 0xFF) psw |= kCy;
            a = uint8_t(v);
            break;
        }
        case 0xA4: {  // MUL AB
            const unsigned r = unsigned(a) * sfr[kB];
            a = uint8_t(r);
            sfr[kB] = uint8_t(r >> 8);
            psw = uint8_t((psw & ~(kCy | kOv)) | (r > 0xFF ? kOv : 0));
            break;
        }
        case 0x84: {  // DIV AB: by zero A and B are undefined; we keep them
            const uint8_t b = sfr[kB];
            if (b == 0) {
                psw = uint8_t((psw & ~kCy) | kOv);
            } else {
                const uint8_t q = uint8_t(a / b);
                sfr[kB] = uint8_t(a % b);
                a = q;
                psw &= uint8_t(~(kCy | kOv));
            }
            break;
        }

        // INC / DEC.
        case 0x04:
            ++a;
            break;
        case 0x05: {
            const uint8_t d = fetch();
            WriteDirect(d, uint8_t(ReadLatch(d) + 1));
            break;
        }
        case 0x06:
        case 0x07:
            ++ind(op & 1);
            break;
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x0E:
        case 0x0F:
            ++reg(op & 7);
            break;
        case 0x14:
            --a;
            break;
        case 0x15: {
            const uint8_t d = fetch();
            WriteDirect(d, uint8_t(ReadLatch(d) - 1));
            break;
        }
        case 0x16:
        case 0x17:
            --ind(op & 1);
            break;
        case 0x18:
        case 0x19:
        case 0x1A:
        case 0x1B:
        case 0x1C:
        case 0x1D:
        case 0x1E:
        case 0x1F:
            --reg(op & 7);
            break;
        case 0xA3: {
            const uint16_t d = uint16_t(dptr() + 1);
            sfr[kDpl] = uint8_t(d);
            sfr[kDph] = uint8_t(d >> 8);
            break;
        }

        // Bit-test jumps.
        case 0x10: {  // JBC: read-modify-write of the bit
            const uint8_t bit = fetch();
            const bool set = ReadBitLatch(bit);
            if (set) WriteBit(bit, false);
            rel(set);
            break;
        }
        case 0x20: {
            const uint8_t bit = fetch();
            rel(ReadBit(bit));
            break;
        }
        case 0x30: {
            const uint8_t bit = fetch();
            rel(!ReadBit(bit));
            break;
        }
        case 0x40:
            rel(psw & kCy);
            break;
        case 0x50:
            rel(!(psw & kCy));
            break;
        case 0x60:
            rel(a == 0);
            break;
        case 0x70:
            rel(a != 0);
            break;

        // ADD / ADDC / SUBB.
        case 0x24:
            add(fetch(), 0);
            break;
        case 0x25:
            add(ReadDirect(fetch()), 0);
            break;
        case 0x26:
        case 0x27:
            add(ind(op & 1), 0);
            break;
        case 0x28:
        case 0x29:
        case 0x2A:
        case 0x2B:
        case 0x2C:
        case 0x2D:
        case 0x2E:
        case 0x2F:
            add(reg(op & 7), 0);
            break;
        case 0x34:
            add(fetch(), carry());
            break;
        case 0x35:
            add(ReadDirect(fetch()), carry());
            break;
        case 0x36:
        case 0x37:
            add(ind(op & 1), carry());
            break;
        case 0x38:
        case 0x39:
        case 0x3A:
        case 0x3B:
        case 0x3C:
        case 0x3D:
        case 0x3E:
        case 0x3F:
            add(reg(op & 7), carry());
            break;
        case 0x94:
            subb(fetch());
            break;
        case 0x95:
            subb(ReadDirect(fetch()));
            break;
        case 0x96:
        case 0x97:
            subb(ind(op & 1));
            break;
        case 0x98:
        case 0x99:
        case 0x9A:
        case 0x9B:
        case 0x9C:
        case 0x9D:
        case 0x9E:
        case 0x9F:
            subb(reg(op & 7));
            break;

        // ORL / ANL / XRL.
        case 0x42: {
            const uint8_t d = fetch();
            WriteDirect(d, ReadLatch(d) | a);
            break;
        }
        case 0x43: {
            const uint8_t d = fetch();
            const uint8_t v = fetch();
            WriteDirect(d, ReadLatch(d) | v);
            break;
        }
        case 0x44:
            a |= fetch();
            break;
        case 0x45:
            a |= ReadDirect(fetch());
            break;
        case 0x46:
        case 0x47:
            a |= ind(op & 1);
            break;
        case 0x48:
        case 0x49:
        case 0x4A:
        case 0x4B:
        case 0x4C:
        case 0x4D:
        case 0x4E:
        case 0x4F:
            a |= reg(op & 7);
            break;
        case 0x52: {
            const uint8_t d = fetch();
            WriteDirect(d, ReadLatch(d) & a);
            break;
        }
        case 0x53: {
            const uint8_t d = fetch();
            const uint8_t v = fetch();
            WriteDirect(d, ReadLatch(d) & v);
            break;
        }
        case 0x54:
            a &= fetch();
            break;
        case 0x55:
            a &= ReadDirect(fetch());
            break;
        case 0x56:
        case 0x57:
            a &= ind(op & 1);
            break;
        case 0x58:
        case 0x59:
        case 0x5A:
        case 0x5B:
        case 0x5C:
        case 0x5D:
        case 0x5E:
        case 0x5F:
            a &= reg(op & 7);
            break;
        case 0x62: {
            const uint8_t d = fetch();
            WriteDirect(d, ReadLatch(d) ^ a);
            break;
        }
        case 0x63: {
            const uint8_t d = fetch();
            const uint8_t v = fetch();
            WriteDirect(d, ReadLatch(d) ^ v);
            break;
        }
        case 0x64:
            a ^= fetch();
            break;
        case 0x65:
            a ^= ReadDirect(fetch());
            break;
        case 0x66:
        case 0x67:
            a ^= ind(op & 1);
            break;
        case 0x68:
        case 0x69:
        case 0x6A:
        case 0x6B:
        case 0x6C:
        case 0x6D:
        case 0x6E:
        case 0x6F:
            a ^= reg(op & 7);
            break;

        // Carry-bit logic.
        case 0x72:
            if (ReadBit(fetch())) psw |= kCy;
            break;
        case 0xA0:
            if (!ReadBit(fetch())) psw |= kCy;
            break;
        case 0x82:
            if (!ReadBit(fetch())) psw &= uint8_t(~kCy);
            break;
        case 0xB0:
            if (ReadBit(fetch())) psw &= uint8_t(~kCy);
            break;
        case 0xA2:
            setCarry(ReadBit(fetch()));
            break;
        case 0x92:
            WriteBit(fetch(), psw & kCy);
            break;
        case 0xB2: {
            const uint8_t bit = fetch();
            WriteBit(bit, !ReadBitLatch(bit));
            break;
        }
        case 0xB3:
            psw ^= kCy;
            break;
        case 0xC2:
            WriteBit(fetch(), false);
            break;
        case 0xC3:
            psw &= uint8_t(~kCy);
            break;
        case 0xD2:
            WriteBit(fetch(), true);
            break;
        case 0xD3:
            psw |= kCy;
            break;

        // MOV.
        case 0x74:
            a = fetch();
            break;
        case 0x75: {
            const uint8_t d = fetch();
            WriteDirect(d, fetch());
            break;
        }
        case 0x76:
        case 0x77:
            ind(op & 1) = fetch();
            break;
        case 0x78:
        case 0x79:
        case 0x7A:
        case 0x7B:
        case 0x7C:
        case 0x7D:
        case 0x7E:
        case 0x7F:
            reg(op & 7) = fetch();
            break;
        case 0x85: {  // MOV dst,src is encoded source first
            const uint8_t src = fetch();
            const uint8_t dst = fetch();
            WriteDirect(dst, ReadDirect(src));
            break;
        }
        case 0x86:
        case 0x87: {
            const uint8_t d = fetch();
            WriteDirect(d, ind(op & 1));
            break;
        }
        case 0x88:
        case 0x89:
        case 0x8A:
        case 0x8B:
        case 0x8C:
        case 0x8D:
        case 0x8E:
        case 0x8F: {
            const uint8_t d = fetch();
            WriteDirect(d, reg(op & 7));
            break;
        }
        case 0x90:
            sfr[kDph] = fetch();
            sfr[kDpl] = fetch();
            break;
        case 0xA6:
        case 0xA7: {
            const uint8_t v = ReadDirect(fetch());
            ind(op & 1) = v;
            break;
        }
        case 0xA8:
        case 0xA9:
        case 0xAA:
        case 0xAB:
        case 0xAC:
        case 0xAD:
        case 0xAE:
        case 0xAF: {
            const uint8_t v = ReadDirect(fetch());
            reg(op & 7) = v;
            break;
        }
        case 0xE5:
            a = ReadDirect(fetch());
            break;
        case 0xE6:
        case 0xE7:
            a = ind(op & 1);
            break;
        case 0xE8:
        case 0xE9:
        case 0xEA:
        case 0xEB:
        case 0xEC:
        case 0xED:
        case 0xEE:
        case 0xEF:
            a = reg(op & 7);
            break;
        case 0xF5:
            WriteDirect(fetch(), a);
            break;
        case 0xF6:
        case 0xF7:
            ind(op & 1) = a;
            break;
        case 0xF8:
        case 0xF9:
        case 0xFA:
        case 0xFB:
        case 0xFC:
        case 0xFD:
        case 0xFE:
        case 0xFF:
            reg(op & 7) = a;
            break;

        // MOVC / MOVX.
        case 0x83:  // A+PC with pc already past this instruction
            a = code_[uint16_t(pc + a)];
            break;
        case 0x93:
            a = code_[uint16_t(dptr() + a)];
            break;
        case 0xE0:
            a = bus_.XdataRead(dptr());
            break;
        case 0xE2:
        case 0xE3:
            a = bus_.XdataRead(uint16_t(sfr[kP2] << 8 | reg(op & 1)));
            break;
        case 0xF0:
            bus_.XdataWrite(dptr(), a);
            break;
        case 0xF2:
        case 0xF3:
            bus_.XdataWrite(uint16_t(sfr[kP2] << 8 | reg(op & 1)), a);
            break;

        // CJNE / DJNZ.
        case 0xB4: {
            const uint8_t v = fetch();
            cjne(a, v);
            break;
        }
        case 0xB5: {
            const uint8_t v = ReadDirect(fetch());
            cjne(a, v);
            break;
        }
        case 0xB6:
        case 0xB7: {
            const uint8_t v = fetch();
            cjne(ind(op & 1), v);
            break;
        }
        case 0xB8:
        case 0xB9:
        case 0xBA:
        case 0xBB:
        case 0xBC:
        case 0xBD:
        case 0xBE:
        case 0xBF: {
            const uint8_t v = fetch();
            cjne(reg(op & 7), v);
            break;
        }
        case 0xD5: {
            const uint8_t d = fetch();
            const uint8_t v = uint8_t(ReadLatch(d) - 1);
            WriteDirect(d, v);
            rel(v != 0);
            break;
        }
        case 0xD8:
        case 0xD9:
        case 0xDA:
        case 0xDB:
        case 0xDC:
        case 0xDD:
        case 0xDE:
        case 0xDF:
            rel(--reg(op & 7) != 0);
            break;

        // Stack.
        case 0xC0: {
            const uint8_t d = fetch();
            const uint8_t sp = uint8_t(sfr[kSp] + 1);
            sfr[kSp] = sp;
            iram[sp] = ReadDirect(d);
            break;
        }
        case 0xD0: {
            const uint8_t d = fetch();
            WriteDirect(d, Pop());
            break;
        }

        // Exchanges.
        case 0xC5: {
            const uint8_t d = fetch();
            const uint8_t v = ReadDirect(d);
            WriteDirect(d, a);
            a = v;
            break;
        }
        case 0xC6:
        case 0xC7: {
            uint8_t& m = ind(op & 1);
            const uint8_t v = m;
            m = a;
            a = v;
            break;
        }
        case 0xC8:
        case 0xC9:
        case 0xCA:
        case 0xCB:
        case 0xCC:
        case 0xCD:
        case 0xCE:
        case 0xCF: {
            uint8_t& r = reg(op & 7);
            const uint8_t v = r;
            r = a;
            a = v;
            break;
        }
        case 0xD6:
        case 0xD7: {
            uint8_t& m = ind(op & 1);
            const uint8_t v = m;
            m = uint8_t((m & 0xF0) | (a & 0x0F));
            a = uint8_t((a & 0xF0) | (v & 0x0F));
            break;
        }
    }
    const int c = kCycles[op];
    cycles += uint64_t(c);
    return c;
}

}  // namespace zsim
