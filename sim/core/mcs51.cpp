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
        case 0x00:  // NOP
        case 0xA5:  // reserved: a NOP here
            break;

        // AJMP / ACALL: page of the pc after the fetch, 11-bit target.
        case 0x01:    // AJMP addr11
        case 0x21:    // AJMP addr11
        case 0x41:    // AJMP addr11
        case 0x61:    // AJMP addr11
        case 0x81:    // AJMP addr11
        case 0xA1:    // AJMP addr11
        case 0xC1:    // AJMP addr11
        case 0xE1: {  // AJMP addr11
            const uint8_t lo = fetch();
            pc = uint16_t((pc & 0xF800) | ((op & 0xE0) << 3) | lo);
            break;
        }
        case 0x11:    // ACALL addr11
        case 0x31:    // ACALL addr11
        case 0x51:    // ACALL addr11
        case 0x71:    // ACALL addr11
        case 0x91:    // ACALL addr11
        case 0xB1:    // ACALL addr11
        case 0xD1:    // ACALL addr11
        case 0xF1: {  // ACALL addr11
            const uint8_t lo = fetch();
            call(uint16_t((pc & 0xF800) | ((op & 0xE0) << 3) | lo));
            break;
        }
        case 0x02:  // LJMP addr16
            pc = fetch16();
            break;
        case 0x12: {  // LCALL addr16
            const uint16_t t = fetch16();
            call(t);
            break;
        }
        case 0x22:  // RET
        case 0x32:  // RETI: no interrupt logic to restore
            Ret();
            break;
        case 0x73:  // JMP @A+DPTR
            pc = uint16_t(dptr() + a);
            break;
        case 0x80:  // SJMP rel
            rel(true);
            break;

        // Rotates and accumulator operations.
        case 0x03:  // RR A
            a = uint8_t(a >> 1 | a << 7);
            break;
        case 0x13: {  // RRC A
            const uint8_t c = a & 1;
            a = uint8_t(a >> 1 | carry() << 7);
            setCarry(c);
            break;
        }
        case 0x23:  // RL A
            a = uint8_t(a << 1 | a >> 7);
            break;
        case 0x33: {  // RLC A
            const uint8_t c = a >> 7;
            a = uint8_t(a << 1 | carry());
            setCarry(c);
            break;
        }
        case 0xC4:  // SWAP A
            a = uint8_t(a << 4 | a >> 4);
            break;
        case 0xE4:  // CLR A
            a = 0;
            break;
        case 0xF4:  // CPL A
            a = uint8_t(~a);
            break;
        case 0xD4: {  // DA A: never clears CY
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
        case 0x04:  // INC A
            ++a;
            break;
        case 0x05: {  // INC direct
            const uint8_t d = fetch();
            WriteDirect(d, uint8_t(ReadLatch(d) + 1));
            break;
        }
        case 0x06:  // INC @R0
        case 0x07:  // INC @R1
            ++ind(op & 1);
            break;
        case 0x08:  // INC R0
        case 0x09:  // INC R1
        case 0x0A:  // INC R2
        case 0x0B:  // INC R3
        case 0x0C:  // INC R4
        case 0x0D:  // INC R5
        case 0x0E:  // INC R6
        case 0x0F:  // INC R7
            ++reg(op & 7);
            break;
        case 0x14:  // DEC A
            --a;
            break;
        case 0x15: {  // DEC direct
            const uint8_t d = fetch();
            WriteDirect(d, uint8_t(ReadLatch(d) - 1));
            break;
        }
        case 0x16:  // DEC @R0
        case 0x17:  // DEC @R1
            --ind(op & 1);
            break;
        case 0x18:  // DEC R0
        case 0x19:  // DEC R1
        case 0x1A:  // DEC R2
        case 0x1B:  // DEC R3
        case 0x1C:  // DEC R4
        case 0x1D:  // DEC R5
        case 0x1E:  // DEC R6
        case 0x1F:  // DEC R7
            --reg(op & 7);
            break;
        case 0xA3: {  // INC DPTR
            const uint16_t d = uint16_t(dptr() + 1);
            sfr[kDpl] = uint8_t(d);
            sfr[kDph] = uint8_t(d >> 8);
            break;
        }

        // Bit-test jumps.
        case 0x10: {  // JBC bit,rel: read-modify-write of the bit
            const uint8_t bit = fetch();
            const bool set = ReadBitLatch(bit);
            if (set) WriteBit(bit, false);
            rel(set);
            break;
        }
        case 0x20: {  // JB bit,rel
            const uint8_t bit = fetch();
            rel(ReadBit(bit));
            break;
        }
        case 0x30: {  // JNB bit,rel
            const uint8_t bit = fetch();
            rel(!ReadBit(bit));
            break;
        }
        case 0x40:  // JC rel
            rel(psw & kCy);
            break;
        case 0x50:  // JNC rel
            rel(!(psw & kCy));
            break;
        case 0x60:  // JZ rel
            rel(a == 0);
            break;
        case 0x70:  // JNZ rel
            rel(a != 0);
            break;

        // ADD / ADDC / SUBB.
        case 0x24:  // ADD A,#data
            add(fetch(), 0);
            break;
        case 0x25:  // ADD A,direct
            add(ReadDirect(fetch()), 0);
            break;
        case 0x26:  // ADD A,@R0
        case 0x27:  // ADD A,@R1
            add(ind(op & 1), 0);
            break;
        case 0x28:  // ADD A,R0
        case 0x29:  // ADD A,R1
        case 0x2A:  // ADD A,R2
        case 0x2B:  // ADD A,R3
        case 0x2C:  // ADD A,R4
        case 0x2D:  // ADD A,R5
        case 0x2E:  // ADD A,R6
        case 0x2F:  // ADD A,R7
            add(reg(op & 7), 0);
            break;
        case 0x34:  // ADDC A,#data
            add(fetch(), carry());
            break;
        case 0x35:  // ADDC A,direct
            add(ReadDirect(fetch()), carry());
            break;
        case 0x36:  // ADDC A,@R0
        case 0x37:  // ADDC A,@R1
            add(ind(op & 1), carry());
            break;
        case 0x38:  // ADDC A,R0
        case 0x39:  // ADDC A,R1
        case 0x3A:  // ADDC A,R2
        case 0x3B:  // ADDC A,R3
        case 0x3C:  // ADDC A,R4
        case 0x3D:  // ADDC A,R5
        case 0x3E:  // ADDC A,R6
        case 0x3F:  // ADDC A,R7
            add(reg(op & 7), carry());
            break;
        case 0x94:  // SUBB A,#data
            subb(fetch());
            break;
        case 0x95:  // SUBB A,direct
            subb(ReadDirect(fetch()));
            break;
        case 0x96:  // SUBB A,@R0
        case 0x97:  // SUBB A,@R1
            subb(ind(op & 1));
            break;
        case 0x98:  // SUBB A,R0
        case 0x99:  // SUBB A,R1
        case 0x9A:  // SUBB A,R2
        case 0x9B:  // SUBB A,R3
        case 0x9C:  // SUBB A,R4
        case 0x9D:  // SUBB A,R5
        case 0x9E:  // SUBB A,R6
        case 0x9F:  // SUBB A,R7
            subb(reg(op & 7));
            break;

        // ORL / ANL / XRL.
        case 0x42: {  // ORL direct,A
            const uint8_t d = fetch();
            WriteDirect(d, ReadLatch(d) | a);
            break;
        }
        case 0x43: {  // ORL direct,#data
            const uint8_t d = fetch();
            const uint8_t v = fetch();
            WriteDirect(d, ReadLatch(d) | v);
            break;
        }
        case 0x44:  // ORL A,#data
            a |= fetch();
            break;
        case 0x45:  // ORL A,direct
            a |= ReadDirect(fetch());
            break;
        case 0x46:  // ORL A,@R0
        case 0x47:  // ORL A,@R1
            a |= ind(op & 1);
            break;
        case 0x48:  // ORL A,R0
        case 0x49:  // ORL A,R1
        case 0x4A:  // ORL A,R2
        case 0x4B:  // ORL A,R3
        case 0x4C:  // ORL A,R4
        case 0x4D:  // ORL A,R5
        case 0x4E:  // ORL A,R6
        case 0x4F:  // ORL A,R7
            a |= reg(op & 7);
            break;
        case 0x52: {  // ANL direct,A
            const uint8_t d = fetch();
            WriteDirect(d, ReadLatch(d) & a);
            break;
        }
        case 0x53: {  // ANL direct,#data
            const uint8_t d = fetch();
            const uint8_t v = fetch();
            WriteDirect(d, ReadLatch(d) & v);
            break;
        }
        case 0x54:  // ANL A,#data
            a &= fetch();
            break;
        case 0x55:  // ANL A,direct
            a &= ReadDirect(fetch());
            break;
        case 0x56:  // ANL A,@R0
        case 0x57:  // ANL A,@R1
            a &= ind(op & 1);
            break;
        case 0x58:  // ANL A,R0
        case 0x59:  // ANL A,R1
        case 0x5A:  // ANL A,R2
        case 0x5B:  // ANL A,R3
        case 0x5C:  // ANL A,R4
        case 0x5D:  // ANL A,R5
        case 0x5E:  // ANL A,R6
        case 0x5F:  // ANL A,R7
            a &= reg(op & 7);
            break;
        case 0x62: {  // XRL direct,A
            const uint8_t d = fetch();
            WriteDirect(d, ReadLatch(d) ^ a);
            break;
        }
        case 0x63: {  // XRL direct,#data
            const uint8_t d = fetch();
            const uint8_t v = fetch();
            WriteDirect(d, ReadLatch(d) ^ v);
            break;
        }
        case 0x64:  // XRL A,#data
            a ^= fetch();
            break;
        case 0x65:  // XRL A,direct
            a ^= ReadDirect(fetch());
            break;
        case 0x66:  // XRL A,@R0
        case 0x67:  // XRL A,@R1
            a ^= ind(op & 1);
            break;
        case 0x68:  // XRL A,R0
        case 0x69:  // XRL A,R1
        case 0x6A:  // XRL A,R2
        case 0x6B:  // XRL A,R3
        case 0x6C:  // XRL A,R4
        case 0x6D:  // XRL A,R5
        case 0x6E:  // XRL A,R6
        case 0x6F:  // XRL A,R7
            a ^= reg(op & 7);
            break;

        // Carry-bit logic.
        case 0x72:  // ORL C,bit
            if (ReadBit(fetch())) psw |= kCy;
            break;
        case 0xA0:  // ORL C,/bit
            if (!ReadBit(fetch())) psw |= kCy;
            break;
        case 0x82:  // ANL C,bit
            if (!ReadBit(fetch())) psw &= uint8_t(~kCy);
            break;
        case 0xB0:  // ANL C,/bit
            if (ReadBit(fetch())) psw &= uint8_t(~kCy);
            break;
        case 0xA2:  // MOV C,bit
            setCarry(ReadBit(fetch()));
            break;
        case 0x92:  // MOV bit,C
            WriteBit(fetch(), psw & kCy);
            break;
        case 0xB2: {  // CPL bit
            const uint8_t bit = fetch();
            WriteBit(bit, !ReadBitLatch(bit));
            break;
        }
        case 0xB3:  // CPL C
            psw ^= kCy;
            break;
        case 0xC2:  // CLR bit
            WriteBit(fetch(), false);
            break;
        case 0xC3:  // CLR C
            psw &= uint8_t(~kCy);
            break;
        case 0xD2:  // SETB bit
            WriteBit(fetch(), true);
            break;
        case 0xD3:  // SETB C
            psw |= kCy;
            break;

        // MOV.
        case 0x74:  // MOV A,#data
            a = fetch();
            break;
        case 0x75: {  // MOV direct,#data
            const uint8_t d = fetch();
            WriteDirect(d, fetch());
            break;
        }
        case 0x76:  // MOV @R0,#data
        case 0x77:  // MOV @R1,#data
            ind(op & 1) = fetch();
            break;
        case 0x78:  // MOV R0,#data
        case 0x79:  // MOV R1,#data
        case 0x7A:  // MOV R2,#data
        case 0x7B:  // MOV R3,#data
        case 0x7C:  // MOV R4,#data
        case 0x7D:  // MOV R5,#data
        case 0x7E:  // MOV R6,#data
        case 0x7F:  // MOV R7,#data
            reg(op & 7) = fetch();
            break;
        case 0x85: {  // MOV direct,direct: encoded source first
            const uint8_t src = fetch();
            const uint8_t dst = fetch();
            WriteDirect(dst, ReadDirect(src));
            break;
        }
        case 0x86:    // MOV direct,@R0
        case 0x87: {  // MOV direct,@R1
            const uint8_t d = fetch();
            WriteDirect(d, ind(op & 1));
            break;
        }
        case 0x88:    // MOV direct,R0
        case 0x89:    // MOV direct,R1
        case 0x8A:    // MOV direct,R2
        case 0x8B:    // MOV direct,R3
        case 0x8C:    // MOV direct,R4
        case 0x8D:    // MOV direct,R5
        case 0x8E:    // MOV direct,R6
        case 0x8F: {  // MOV direct,R7
            const uint8_t d = fetch();
            WriteDirect(d, reg(op & 7));
            break;
        }
        case 0x90:  // MOV DPTR,#data16
            sfr[kDph] = fetch();
            sfr[kDpl] = fetch();
            break;
        case 0xA6:    // MOV @R0,direct
        case 0xA7: {  // MOV @R1,direct
            const uint8_t v = ReadDirect(fetch());
            ind(op & 1) = v;
            break;
        }
        case 0xA8:    // MOV R0,direct
        case 0xA9:    // MOV R1,direct
        case 0xAA:    // MOV R2,direct
        case 0xAB:    // MOV R3,direct
        case 0xAC:    // MOV R4,direct
        case 0xAD:    // MOV R5,direct
        case 0xAE:    // MOV R6,direct
        case 0xAF: {  // MOV R7,direct
            const uint8_t v = ReadDirect(fetch());
            reg(op & 7) = v;
            break;
        }
        case 0xE5:  // MOV A,direct
            a = ReadDirect(fetch());
            break;
        case 0xE6:  // MOV A,@R0
        case 0xE7:  // MOV A,@R1
            a = ind(op & 1);
            break;
        case 0xE8:  // MOV A,R0
        case 0xE9:  // MOV A,R1
        case 0xEA:  // MOV A,R2
        case 0xEB:  // MOV A,R3
        case 0xEC:  // MOV A,R4
        case 0xED:  // MOV A,R5
        case 0xEE:  // MOV A,R6
        case 0xEF:  // MOV A,R7
            a = reg(op & 7);
            break;
        case 0xF5:  // MOV direct,A
            WriteDirect(fetch(), a);
            break;
        case 0xF6:  // MOV @R0,A
        case 0xF7:  // MOV @R1,A
            ind(op & 1) = a;
            break;
        case 0xF8:  // MOV R0,A
        case 0xF9:  // MOV R1,A
        case 0xFA:  // MOV R2,A
        case 0xFB:  // MOV R3,A
        case 0xFC:  // MOV R4,A
        case 0xFD:  // MOV R5,A
        case 0xFE:  // MOV R6,A
        case 0xFF:  // MOV R7,A
            reg(op & 7) = a;
            break;

        // MOVC / MOVX.
        case 0x83:  // MOVC A,@A+PC: pc already past this instruction
            a = code_[uint16_t(pc + a)];
            break;
        case 0x93:  // MOVC A,@A+DPTR
            a = code_[uint16_t(dptr() + a)];
            break;
        case 0xE0:  // MOVX A,@DPTR
            a = bus_.XdataRead(dptr());
            break;
        case 0xE2:  // MOVX A,@R0
        case 0xE3:  // MOVX A,@R1
            a = bus_.XdataRead(uint16_t(sfr[kP2] << 8 | reg(op & 1)));
            break;
        case 0xF0:  // MOVX @DPTR,A
            bus_.XdataWrite(dptr(), a);
            break;
        case 0xF2:  // MOVX @R0,A
        case 0xF3:  // MOVX @R1,A
            bus_.XdataWrite(uint16_t(sfr[kP2] << 8 | reg(op & 1)), a);
            break;

        // CJNE / DJNZ.
        case 0xB4: {  // CJNE A,#data,rel
            const uint8_t v = fetch();
            cjne(a, v);
            break;
        }
        case 0xB5: {  // CJNE A,direct,rel
            const uint8_t v = ReadDirect(fetch());
            cjne(a, v);
            break;
        }
        case 0xB6:    // CJNE @R0,#data,rel
        case 0xB7: {  // CJNE @R1,#data,rel
            const uint8_t v = fetch();
            cjne(ind(op & 1), v);
            break;
        }
        case 0xB8:    // CJNE R0,#data,rel
        case 0xB9:    // CJNE R1,#data,rel
        case 0xBA:    // CJNE R2,#data,rel
        case 0xBB:    // CJNE R3,#data,rel
        case 0xBC:    // CJNE R4,#data,rel
        case 0xBD:    // CJNE R5,#data,rel
        case 0xBE:    // CJNE R6,#data,rel
        case 0xBF: {  // CJNE R7,#data,rel
            const uint8_t v = fetch();
            cjne(reg(op & 7), v);
            break;
        }
        case 0xD5: {  // DJNZ direct,rel
            const uint8_t d = fetch();
            const uint8_t v = uint8_t(ReadLatch(d) - 1);
            WriteDirect(d, v);
            rel(v != 0);
            break;
        }
        case 0xD8:  // DJNZ R0,rel
        case 0xD9:  // DJNZ R1,rel
        case 0xDA:  // DJNZ R2,rel
        case 0xDB:  // DJNZ R3,rel
        case 0xDC:  // DJNZ R4,rel
        case 0xDD:  // DJNZ R5,rel
        case 0xDE:  // DJNZ R6,rel
        case 0xDF:  // DJNZ R7,rel
            rel(--reg(op & 7) != 0);
            break;

        // Stack.
        case 0xC0: {  // PUSH direct
            const uint8_t d = fetch();
            const uint8_t sp = uint8_t(sfr[kSp] + 1);
            sfr[kSp] = sp;
            iram[sp] = ReadDirect(d);
            break;
        }
        case 0xD0: {  // POP direct
            const uint8_t d = fetch();
            WriteDirect(d, Pop());
            break;
        }

        // Exchanges.
        case 0xC5: {  // XCH A,direct
            const uint8_t d = fetch();
            const uint8_t v = ReadDirect(d);
            WriteDirect(d, a);
            a = v;
            break;
        }
        case 0xC6:    // XCH A,@R0
        case 0xC7: {  // XCH A,@R1
            uint8_t& m = ind(op & 1);
            const uint8_t v = m;
            m = a;
            a = v;
            break;
        }
        case 0xC8:    // XCH A,R0
        case 0xC9:    // XCH A,R1
        case 0xCA:    // XCH A,R2
        case 0xCB:    // XCH A,R3
        case 0xCC:    // XCH A,R4
        case 0xCD:    // XCH A,R5
        case 0xCE:    // XCH A,R6
        case 0xCF: {  // XCH A,R7
            uint8_t& r = reg(op & 7);
            const uint8_t v = r;
            r = a;
            a = v;
            break;
        }
        case 0xD6:    // XCHD A,@R0
        case 0xD7: {  // XCHD A,@R1
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
