; ANL, ORL and XRL into A from every source
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov 0x40,#0x5a
	mov b,#0x0f
	mov r0,#0x40
	mov r1,#0xf0
	mov 0xf0,#0x33
	mov a,#0xc3
	anl a,#0x3c
	LOGA
	mov a,#0xc3
	anl a,0x40
	LOGA
	mov a,#0xc3
	anl a,b
	LOGA
	mov a,#0xa5
	anl a,@r0
	LOGA
	mov a,#0xa5
	anl a,@r1
	LOGA
	mov r0,#0x33
	mov a,#0x96
	anl a,r0
	LOGA
	mov r1,#0x44
	mov a,#0x96
	anl a,r1
	LOGA
	mov r2,#0x55
	mov a,#0x96
	anl a,r2
	LOGA
	mov r3,#0x66
	mov a,#0x96
	anl a,r3
	LOGA
	mov r4,#0x77
	mov a,#0x96
	anl a,r4
	LOGA
	mov r5,#0x88
	mov a,#0x96
	anl a,r5
	LOGA
	mov r6,#0x99
	mov a,#0x96
	anl a,r6
	LOGA
	mov r7,#0xaa
	mov a,#0x96
	anl a,r7
	LOGA
	mov r0,#0x40
	mov r1,#0xf0
	mov a,#0xc3
	orl a,#0x3c
	LOGA
	mov a,#0xc3
	orl a,0x40
	LOGA
	mov a,#0xc3
	orl a,b
	LOGA
	mov a,#0xa5
	orl a,@r0
	LOGA
	mov a,#0xa5
	orl a,@r1
	LOGA
	mov r0,#0x33
	mov a,#0x96
	orl a,r0
	LOGA
	mov r1,#0x44
	mov a,#0x96
	orl a,r1
	LOGA
	mov r2,#0x55
	mov a,#0x96
	orl a,r2
	LOGA
	mov r3,#0x66
	mov a,#0x96
	orl a,r3
	LOGA
	mov r4,#0x77
	mov a,#0x96
	orl a,r4
	LOGA
	mov r5,#0x88
	mov a,#0x96
	orl a,r5
	LOGA
	mov r6,#0x99
	mov a,#0x96
	orl a,r6
	LOGA
	mov r7,#0xaa
	mov a,#0x96
	orl a,r7
	LOGA
	mov r0,#0x40
	mov r1,#0xf0
	mov a,#0xc3
	xrl a,#0x3c
	LOGA
	mov a,#0xc3
	xrl a,0x40
	LOGA
	mov a,#0xc3
	xrl a,b
	LOGA
	mov a,#0xa5
	xrl a,@r0
	LOGA
	mov a,#0xa5
	xrl a,@r1
	LOGA
	mov r0,#0x33
	mov a,#0x96
	xrl a,r0
	LOGA
	mov r1,#0x44
	mov a,#0x96
	xrl a,r1
	LOGA
	mov r2,#0x55
	mov a,#0x96
	xrl a,r2
	LOGA
	mov r3,#0x66
	mov a,#0x96
	xrl a,r3
	LOGA
	mov r4,#0x77
	mov a,#0x96
	xrl a,r4
	LOGA
	mov r5,#0x88
	mov a,#0x96
	xrl a,r5
	LOGA
	mov r6,#0x99
	mov a,#0x96
	xrl a,r6
	LOGA
	mov r7,#0xaa
	mov a,#0x96
	xrl a,r7
	LOGA
	mov r0,#0x40
	mov r1,#0xf0
	FINISH
