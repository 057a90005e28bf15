/* A mixed workload for the core benchmark: byte-wise CRC-32, an insertion sort
 * of XDATA bytes, 16-bit arithmetic and a table lookup, repeated ROUNDS times,
 * then parked at the halt loop. */
#include "halt.h"

#define ROUNDS 40

__xdata __at(0x0100) unsigned char buf[128];
__xdata __at(0x0200) unsigned long crcs[ROUNDS];
__code const unsigned char squares[16] = {0, 1, 4, 9, 16, 25, 36, 49, 64, 81, 100, 121, 144, 169, 196, 225};

void main(void) {
    unsigned char r, i, j, t, k;
    unsigned int seed = 0x1D0F, acc = 0;
    for (r = 0; r < ROUNDS; r++) {
        unsigned long crc = 0xFFFFFFFFul;
        for (i = 0; i < 128; i++) {
            seed = seed * 109u + 89u;
            buf[i] = (unsigned char)(seed >> 7);
        }
        for (i = 0; i < 64; i++) {
            crc ^= buf[i];
            for (k = 0; k < 8; k++) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320ul : crc >> 1;
        }
        for (i = 1; i < 128; i++) {
            t = buf[i];
            for (j = i; j > 0 && buf[j - 1] > t; j--) buf[j] = buf[j - 1];
            buf[j] = t;
        }
        for (i = 0; i < 128; i++) acc += squares[buf[i] & 15] + (buf[i] >> 4);
        crcs[r] = crc ^ acc;
    }
    FINISH();
}
