/* Shared by the C reference programs: the halt loop at 0x7FF0 where both
 * simulators stop, and a clear of the compared XDATA area (the reference
 * simulator starts with noise there). */
__code __at(0x7FF0) unsigned char halt_loop[] = {0x80, 0xFE};

static void clear_xram(void) {
    __xdata unsigned char* p = (__xdata unsigned char*)0;
    unsigned int n;
    for (n = 0; n < 0x1000; n++) p[n] = 0;
}

#define FINISH() __asm ljmp 0x7ff0 __endasm
