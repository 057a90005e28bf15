/* A dense switch (a jump table), function pointers and a byte-code interpreter. */
#include "halt.h"

__xdata __at(0x0800) unsigned char trace[128];
__xdata __at(0x0880) unsigned char stack_[16];

typedef unsigned char (*op_fn)(unsigned char, unsigned char) __reentrant;
static unsigned char op_add(unsigned char a, unsigned char b) __reentrant { return a + b; }
static unsigned char op_sub(unsigned char a, unsigned char b) __reentrant { return a - b; }
static unsigned char op_and(unsigned char a, unsigned char b) __reentrant { return a & b; }
static unsigned char op_rot(unsigned char a, unsigned char b) __reentrant {
    b &= 7;
    return (unsigned char)((a << b) | (a >> (8 - b)));
}
static __code const op_fn ops[4] = {op_add, op_sub, op_and, op_rot};
static __code const unsigned char program[] = {1, 5, 1, 9, 2, 1, 200, 3, 4, 1, 3, 5, 6, 2, 7, 0};

void main(void) {
    unsigned char pc = 0, sp = 0, n = 0, i;
    clear_xram();
    for (;;) {
        unsigned char op = program[pc++];
        switch (op) {
            case 0:
                goto done;
            case 1:
                stack_[sp++] = program[pc++];
                break;
            case 2:
                sp--;
                stack_[sp - 1] = ops[0](stack_[sp - 1], stack_[sp]);
                break;
            case 3:
                sp--;
                stack_[sp - 1] = ops[1](stack_[sp - 1], stack_[sp]);
                break;
            case 4:
                stack_[sp - 1] = ops[3](stack_[sp - 1], 3);
                break;
            case 5:
                stack_[sp] = stack_[sp - 1];
                sp++;
                break;
            case 6:
                sp--;
                stack_[sp - 1] = ops[2](stack_[sp - 1], stack_[sp]);
                break;
            case 7:
                stack_[sp - 1] = ~stack_[sp - 1];
                break;
            default:
                break;
        }
        trace[n++] = op;
        trace[n++] = sp ? stack_[sp - 1] : 0xEE;
    }
done:
    for (i = 0; i < 40; i++) {
        switch (i % 10) {
            case 0: trace[64 + i] = 'a'; break;
            case 1: trace[64 + i] = i * 3; break;
            case 2: trace[64 + i] = ops[i & 3](i, 9); break;
            case 3: trace[64 + i] = 0x33; break;
            case 4: trace[64 + i] = i ^ 0x5A; break;
            case 5: trace[64 + i] = i << 2; break;
            case 6: trace[64 + i] = 0x66; break;
            case 7: trace[64 + i] = ~i; break;
            case 8: trace[64 + i] = i - 100; break;
            default: trace[64 + i] = 9; break;
        }
    }
    FINISH();
}
