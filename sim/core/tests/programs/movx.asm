; MOVX through DPTR and through R0/R1 with P2 as the page
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov p2,#0x02
	mov r0,#0x00
	mov r1,#0x80
	mov r2,#0x40
1$:	mov a,r0
	cpl a
	movx @r0,a
	mov a,r1
	movx @r1,a
	inc r0
	inc r1
	djnz r2,1$
	mov p2,#0x03
	mov r0,#0x10
	mov a,#0xee
	movx @r0,a
	mov r1,#0x11
	mov a,#0xdd
	movx @r1,a
	mov p2,#0x02
	mov r0,#0x05
	movx a,@r0
	mov 0x40,a
	mov r1,#0x85
	movx a,@r1
	mov 0x41,a
	mov dptr,#0x0310
	movx a,@dptr
	mov 0x42,a
	inc dptr
	movx a,@dptr
	mov 0x43,a
	mov dptr,#0x0800
	mov r2,#0
2$:	mov a,r2
	movx @dptr,a
	inc dptr
	inc r2
	cjne r2,#0x20,2$
	mov p2,#0xff
	FINISH
