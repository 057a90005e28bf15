/* 8-, 16- and 32-bit multiply, divide, modulo and shifts, signed and unsigned
 * (the compiler's support library does the wide ones). */
#include "halt.h"

__xdata __at(0x0700) unsigned long ul[24];
__xdata __at(0x0780) long sl[16];
__xdata __at(0x07C0) int si[16];

void main(void) {
    unsigned long a = 123456789ul, b = 98765ul;
    long x = -1234567l, y = 321l;
    int p = -300, q = 7;
    unsigned char i;
    clear_xram();
    ul[0] = a * b;
    ul[1] = a / b;
    ul[2] = a % b;
    ul[3] = a << 5;
    ul[4] = a >> 11;
    ul[5] = (a ^ b) | 0x80000001ul;
    sl[0] = x * y;
    sl[1] = x / y;
    sl[2] = x % y;
    sl[3] = x >> 3;
    si[0] = p * q;
    si[1] = p / q;
    si[2] = p % q;
    si[3] = (int)((unsigned int)p >> 4);
    for (i = 0; i < 12; i++) {
        a = a * 1103515245ul + 12345ul;
        ul[6 + i] = a / (unsigned long)(i + 3);
        sl[4 + i] = (long)a / -(long)(i + 1);
    }
    FINISH();
}
