/* Floating point through the compiler's software library, plus bitfields. */
#include "halt.h"

__xdata __at(0x0900) float f[12];
__xdata __at(0x0940) long conv[6];
__xdata __at(0x0960) unsigned char bits_out[8];

struct flags {
    unsigned char a : 3;
    unsigned char b : 1;
    unsigned char c : 4;
};

void main(void) {
    float x = 1.5f, y = -0.3125f;
    unsigned char i;
    struct flags fl;
    clear_xram();
    f[0] = x + y;
    f[1] = x * y;
    f[2] = x / y;
    f[3] = x - y * 3.0f;
    for (i = 4; i < 12; i++) f[i] = f[i - 1] * 1.25f + f[i - 4];
    conv[0] = (long)f[2];
    conv[1] = (long)(f[11] * 100.0f);
    conv[2] = (long)(float)123456l;
    conv[3] = f[0] < f[1];
    conv[4] = (long)(x * 1000.0f);
    conv[5] = (unsigned char)(y * -16.0f);
    fl.a = 5;
    fl.b = 1;
    fl.c = 11;
    for (i = 0; i < 8; i++) {
        fl.a += i;
        fl.c ^= i;
        fl.b = !fl.b;
        bits_out[i] = *(unsigned char*)&fl;
    }
    FINISH();
}
