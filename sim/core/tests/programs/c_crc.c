/* CRC-32 (bitwise and table-driven) and CRC-16/XMODEM of a generated buffer. */
#include "halt.h"

__xdata __at(0x0400) unsigned char data[200];
__xdata __at(0x0500) unsigned long table[64];
__xdata __at(0x0600) unsigned long results[4];
__xdata __at(0x0610) unsigned int crc16;

static unsigned long crc32_bits(const __xdata unsigned char* p, unsigned char n) {
    unsigned long crc = 0xFFFFFFFFul;
    unsigned char k;
    while (n--) {
        crc ^= *p++;
        for (k = 0; k < 8; k++) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320ul : crc >> 1;
    }
    return ~crc;
}

void main(void) {
    unsigned char i;
    unsigned int c;
    clear_xram();
    for (i = 0; i < 200; i++) data[i] = (unsigned char)(i * 7 + (i >> 3));
    for (i = 0; i < 64; i++) {
        unsigned long r = i;
        unsigned char k;
        for (k = 0; k < 8; k++) r = (r & 1) ? (r >> 1) ^ 0xEDB88320ul : r >> 1;
        table[i] = r;
    }
    results[0] = crc32_bits(data, 200);
    results[1] = crc32_bits(data + 17, 5);
    results[2] = table[63] ^ table[1];
    c = 0;
    for (i = 0; i < 200; i++) {
        unsigned char k;
        c ^= (unsigned int)data[i] << 8;
        for (k = 0; k < 8; k++) c = (c & 0x8000) ? (c << 1) ^ 0x1021 : c << 1;
    }
    crc16 = c;
    FINISH();
}
