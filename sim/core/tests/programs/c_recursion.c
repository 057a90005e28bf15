/* Reentrant recursion on the stack: Fibonacci, Ackermann and a tower of Hanoi. */
#include "halt.h"

__xdata __at(0x0300) unsigned int out[8];
__xdata __at(0x0320) unsigned char moves[64];
unsigned char nmoves;

static unsigned int fib(unsigned char n) __reentrant {
    return n < 2 ? n : fib(n - 1) + fib(n - 2);
}

static unsigned int ack(unsigned char m, unsigned int n) __reentrant {
    if (m == 0) return n + 1;
    if (n == 0) return ack(m - 1, 1);
    return ack(m - 1, ack(m, n - 1));
}

static void hanoi(unsigned char n, unsigned char from, unsigned char to, unsigned char via) __reentrant {
    if (n == 0) return;
    hanoi(n - 1, from, via, to);
    moves[nmoves++] = (unsigned char)(from << 4 | to);
    hanoi(n - 1, via, to, from);
}

void main(void) {
    clear_xram();
    nmoves = 0;
    out[0] = fib(10);
    out[1] = fib(15);
    out[2] = ack(2, 3);
    out[3] = ack(1, 20);
    hanoi(5, 1, 3, 2);
    out[4] = nmoves;
    FINISH();
}
