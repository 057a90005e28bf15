; MUL and DIV over a grid of operands, and the flags of DIV by zero
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	; operand table to RAM 0x30..0x3F
	mov dptr,#values
	mov r0,#0x30
	mov r2,#16
1$:	clr a
	movc a,@a+dptr
	mov @r0,a
	inc dptr
	inc r0
	djnz r2,1$
	mov dptr,#0
	mov r0,#0x30
2$:	mov r1,#0x30
3$:	mov a,@r0
	mov b,@r1
	mul ab
	LOGAF
	mov a,b
	LOGA
	mov a,@r1
	jz 4$
	mov a,@r0
	mov b,@r1
	div ab
	LOGAF
	mov a,b
	LOGA
4$:	inc r1
	cjne r1,#0x40,3$
	inc r0
	cjne r0,#0x40,2$
	; by zero: only the flags are defined
	setb c
	mov a,#0x12
	mov b,#0
	div ab
	mov a,psw
	anl a,#0xc4
	LOGA
	mov a,#0
	mov b,#0
	ljmp done
values:
	.db 0x00,0x01,0x02,0x03,0x07,0x0f,0x10,0x11
	.db 0x3f,0x40,0x7f,0x80,0x81,0xc8,0xfe,0xff
done:
	FINISH
