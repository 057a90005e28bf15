/* Pseudo-random bytes and words sorted in XDATA (insertion and bubble sort). */
#include "halt.h"

__xdata __at(0x0100) unsigned char bytes[96];
__xdata __at(0x0200) unsigned int words[48];

void main(void) {
    unsigned char i, j, t;
    unsigned int seed = 0xACE1, w;
    clear_xram();
    for (i = 0; i < 96; i++) {
        seed = seed * 25173u + 13849u;
        bytes[i] = (unsigned char)(seed >> 8);
    }
    for (i = 1; i < 96; i++) {
        t = bytes[i];
        for (j = i; j > 0 && bytes[j - 1] > t; j--) bytes[j] = bytes[j - 1];
        bytes[j] = t;
    }
    for (i = 0; i < 48; i++) {
        seed ^= seed << 7;
        seed ^= seed >> 9;
        words[i] = seed;
    }
    for (i = 0; i < 47; i++)
        for (j = 0; j < 47 - i; j++)
            if ((int)words[j] > (int)words[j + 1]) {
                w = words[j];
                words[j] = words[j + 1];
                words[j + 1] = w;
            }
    FINISH();
}
