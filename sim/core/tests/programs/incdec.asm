; INC and DEC in every form, INC DPTR carrying and wrapping
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov r0,#0x60
	mov r1,#0xc0
	mov @r0,#0xff
	mov @r1,#0x00
	mov 0x45,#0x7f
	mov a,#0xff
	inc a
	LOGAF
	dec a
	LOGAF
	inc 0x45
	mov a,0x45
	LOGA
	dec 0x45
	dec 0x45
	mov a,0x45
	LOGA
	mov b,#0xff
	inc b
	mov a,b
	LOGA
	dec b
	mov a,b
	LOGA
	inc @r0
	inc @r1
	dec @r0
	dec @r0
	dec @r1
	dec @r1
	inc @r1
	mov r0,#0x00
	inc r0
	inc r0
	dec r0
	mov a,r0
	LOGA
	mov r1,#0x25
	inc r1
	inc r1
	dec r1
	mov a,r1
	LOGA
	mov r2,#0x4a
	inc r2
	inc r2
	dec r2
	mov a,r2
	LOGA
	mov r3,#0x6f
	inc r3
	inc r3
	dec r3
	mov a,r3
	LOGA
	mov r4,#0x94
	inc r4
	inc r4
	dec r4
	mov a,r4
	LOGA
	mov r5,#0xb9
	inc r5
	inc r5
	dec r5
	mov a,r5
	LOGA
	mov r6,#0xde
	inc r6
	inc r6
	dec r6
	mov a,r6
	LOGA
	mov r7,#0x03
	inc r7
	inc r7
	dec r7
	mov a,r7
	LOGA
	mov r0,#0x00
	dec r0
	mov r1,#0x00
	dec r1
	mov r2,#0x00
	dec r2
	mov r3,#0x00
	dec r3
	mov r4,#0x00
	dec r4
	mov r5,#0x00
	dec r5
	mov r6,#0x00
	dec r6
	mov r7,#0x00
	dec r7
	mov r0,#0x60
	mov r1,#0xc0
	push dpl
	push dph
	mov dptr,#0x12ff
	inc dptr
	mov 0x46,dpl
	mov 0x47,dph
	mov dptr,#0xffff
	inc dptr
	mov 0x48,dpl
	mov 0x49,dph
	pop dph
	pop dpl
	FINISH
