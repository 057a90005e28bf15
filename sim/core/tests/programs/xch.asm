; XCH in every form and XCHD
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov 0x40,#0x12
	mov a,#0x34
	xch a,0x40
	LOGA
	mov b,#0x56
	xch a,b
	LOGA
	mov r0,#0x41
	mov @r0,#0x78
	mov r1,#0xc1
	mov @r1,#0x9a
	mov a,#0xbc
	xch a,@r0
	LOGA
	xch a,@r1
	LOGA
	mov a,#0xde
	xchd a,@r0
	LOGA
	mov a,#0x01
	xchd a,@r1
	LOGA
	mov r0,#0x20
	mov a,#0xe0
	xch a,r0
	LOGA
	mov r1,#0x23
	mov a,#0xe1
	xch a,r1
	LOGA
	mov r2,#0x26
	mov a,#0xe2
	xch a,r2
	LOGA
	mov r3,#0x29
	mov a,#0xe3
	xch a,r3
	LOGA
	mov r4,#0x2c
	mov a,#0xe4
	xch a,r4
	LOGA
	mov r5,#0x2f
	mov a,#0xe5
	xch a,r5
	LOGA
	mov r6,#0x32
	mov a,#0xe6
	xch a,r6
	LOGA
	mov r7,#0x35
	mov a,#0xe7
	xch a,r7
	LOGA
	mov r0,#0
	mov r1,#0
	FINISH
