; Bit addressing of RAM and SFR bits, carry logic, bit jumps
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov 0x20,#0x00
	mov 0x2f,#0xff
	setb 0x00
	setb 0x07
	setb 0x7e
	clr 0x7f
	cpl 0x78
	cpl 0x10
	cpl 0x10
	cpl 0x11
	setb c
	mov 0x21,c
	clr c
	mov 0x0f,c
	mov c,0x08
	mov 0x30,c
	mov c,0x00
	mov 0x31,c
	mov b,#0x00
	setb b.7
	setb b.0
	cpl b.1
	clr b.7
	mov c,b.0
	mov b.4,c
	mov a,#0x81
	mov c,acc.7
	cpl acc.0
	cpl acc.7
	mov 0x40,a
	mov 0x41,b
	mov 0x42,psw
	mov a,#0
	; carry logic in all combinations
	mov 0x22,#0x01	; bit 0x10 = 1, bit 0x11 = 0
	mov r2,#0
	clr c
	anl c,0x10
	mov a,r2
	rlc a
	mov r2,a
	setb c
	anl c,0x10
	mov a,r2
	rlc a
	mov r2,a
	clr c
	anl c,0x11
	mov a,r2
	rlc a
	mov r2,a
	setb c
	anl c,0x11
	mov a,r2
	rlc a
	mov r2,a
	clr c
	anl c,/0x10
	mov a,r2
	rlc a
	mov r2,a
	setb c
	anl c,/0x10
	mov a,r2
	rlc a
	mov r2,a
	clr c
	anl c,/0x11
	mov a,r2
	rlc a
	mov r2,a
	setb c
	anl c,/0x11
	mov a,r2
	rlc a
	mov r2,a
	clr c
	orl c,0x10
	mov a,r2
	rlc a
	mov r2,a
	setb c
	orl c,0x10
	mov a,r2
	rlc a
	mov r2,a
	clr c
	orl c,0x11
	mov a,r2
	rlc a
	mov r2,a
	setb c
	orl c,0x11
	mov a,r2
	rlc a
	mov r2,a
	clr c
	orl c,/0x10
	mov a,r2
	rlc a
	mov r2,a
	setb c
	orl c,/0x10
	mov a,r2
	rlc a
	mov r2,a
	clr c
	orl c,/0x11
	mov a,r2
	rlc a
	mov r2,a
	setb c
	orl c,/0x11
	mov a,r2
	rlc a
	mov r2,a
	mov a,r2
	LOGA
	mov a,#0
	mov r3,#0
	; bit jumps
	mov 0x23,#0x05
	jb 0x18,1$
	inc r3
1$:	jb 0x19,2$
	inc r3
2$:	jnb 0x19,3$
	inc r3
3$:	jnb 0x18,4$
	inc r3
4$:	jbc 0x1a,5$
	inc r3
5$:	jbc 0x1a,6$
	inc r3
6$:	setb c
	jc 7$
	inc r3
7$:	jnc 8$
	inc r3
8$:	clr c
	jc 9$
	inc r3
9$:	jnc 10$
	inc r3
10$:	mov b,#0x80
	jbc b.7,11$
	inc r3
11$:	mov a,b
	LOGA
	mov a,r3
	LOGA
	mov a,0x23
	LOGA
	setb c
	cpl c
	mov 0x24,c
	cpl c
	mov 0x25,c
	clr c
	mov a,#0
	FINISH
