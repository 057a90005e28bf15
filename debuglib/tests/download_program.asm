; Test program for the download tests: computes the first twelve Fibonacci
; numbers (mod 256) into XDATA 0x0200, their sum into internal RAM 0x65,
; leaves 0x5C at internal RAM 0x64 and R0..R2 = 0x11, 0x22, 0x33, then
; loops at 0x0006.
        .area   CODE (ABS,CODE)
        .org    0x0000
        ljmp    start
        .org    0x0006
done:   sjmp    done
        .org    0x0010
start:  mov     sp,#0x30
        mov     dptr,#0x0200
        mov     r3,#0           ; a
        mov     r4,#1           ; b
        mov     r5,#12          ; count
        mov     r6,#0           ; sum
next:   mov     a,r3
        movx    @dptr,a
        inc     dptr
        add     a,r6
        mov     r6,a
        mov     a,r3
        add     a,r4
        mov     b,r4
        mov     r3,b
        mov     r4,a
        djnz    r5,next
        mov     0x65,r6
        mov     0x64,#0x5C
        mov     r0,#0x11
        mov     r1,#0x22
        mov     r2,#0x33
        ljmp    done
