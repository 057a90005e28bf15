; ADD, ADDC and SUBB over a grid of operands, with and without carry
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
	add a,@r1
	LOGAF
	clr c
	mov a,@r0
	addc a,@r1
	LOGAF
	setb c
	mov a,@r0
	addc a,@r1
	LOGAF
	clr c
	mov a,@r0
	subb a,@r1
	LOGAF
	setb c
	mov a,@r0
	subb a,@r1
	LOGAF
	inc r1
	cjne r1,#0x40,3$
	inc r0
	cjne r0,#0x40,2$
	ljmp done
values:
	.db 0x00,0x01,0x07,0x08,0x0f,0x10,0x3f,0x40
	.db 0x7e,0x7f,0x80,0x81,0x88,0xf0,0xf8,0xff
done:
	FINISH
