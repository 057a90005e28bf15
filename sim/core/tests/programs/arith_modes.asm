; ADD, ADDC and SUBB in every addressing mode
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov 0x50,#0x7f
	mov 0x51,#0x80
	mov 0xF0,#0x99
	clr c
	mov a,#0x45
	add a,#0xbb
	LOGAF
	clr c
	mov a,#0x7f
	add a,0x50
	LOGAF
	clr c
	mov a,#0x80
	add a,0x51
	LOGAF
	clr c
	mov a,#0x0a
	add a,b
	LOGAF
	mov r0,#0x51
	clr c
	mov a,#0x8f
	add a,@r0
	LOGAF
	mov r1,#0x51
	clr c
	mov a,#0x8f
	add a,@r1
	LOGAF
	mov r0,#0x01
	clr c
	mov a,#0x7f
	add a,r0
	LOGAF
	mov r1,#0x0f
	clr c
	mov a,#0x90
	add a,r1
	LOGAF
	mov r2,#0x70
	clr c
	mov a,#0xa1
	add a,r2
	LOGAF
	mov r3,#0x80
	clr c
	mov a,#0xb2
	add a,r3
	LOGAF
	mov r4,#0xff
	clr c
	mov a,#0xc3
	add a,r4
	LOGAF
	mov r5,#0x88
	clr c
	mov a,#0xd4
	add a,r5
	LOGAF
	mov r6,#0x09
	clr c
	mov a,#0xe5
	add a,r6
	LOGAF
	mov r7,#0x10
	clr c
	mov a,#0xf6
	add a,r7
	LOGAF
	setb c
	mov a,#0x45
	add a,#0xbb
	LOGAF
	setb c
	mov a,#0x7f
	add a,0x50
	LOGAF
	setb c
	mov a,#0x80
	add a,0x51
	LOGAF
	setb c
	mov a,#0x0a
	add a,b
	LOGAF
	mov r0,#0x51
	setb c
	mov a,#0x8f
	add a,@r0
	LOGAF
	mov r1,#0x51
	setb c
	mov a,#0x8f
	add a,@r1
	LOGAF
	mov r0,#0x01
	setb c
	mov a,#0x7f
	add a,r0
	LOGAF
	mov r1,#0x0f
	setb c
	mov a,#0x90
	add a,r1
	LOGAF
	mov r2,#0x70
	setb c
	mov a,#0xa1
	add a,r2
	LOGAF
	mov r3,#0x80
	setb c
	mov a,#0xb2
	add a,r3
	LOGAF
	mov r4,#0xff
	setb c
	mov a,#0xc3
	add a,r4
	LOGAF
	mov r5,#0x88
	setb c
	mov a,#0xd4
	add a,r5
	LOGAF
	mov r6,#0x09
	setb c
	mov a,#0xe5
	add a,r6
	LOGAF
	mov r7,#0x10
	setb c
	mov a,#0xf6
	add a,r7
	LOGAF
	clr c
	mov a,#0x45
	addc a,#0xbb
	LOGAF
	clr c
	mov a,#0x7f
	addc a,0x50
	LOGAF
	clr c
	mov a,#0x80
	addc a,0x51
	LOGAF
	clr c
	mov a,#0x0a
	addc a,b
	LOGAF
	mov r0,#0x51
	clr c
	mov a,#0x8f
	addc a,@r0
	LOGAF
	mov r1,#0x51
	clr c
	mov a,#0x8f
	addc a,@r1
	LOGAF
	mov r0,#0x01
	clr c
	mov a,#0x7f
	addc a,r0
	LOGAF
	mov r1,#0x0f
	clr c
	mov a,#0x90
	addc a,r1
	LOGAF
	mov r2,#0x70
	clr c
	mov a,#0xa1
	addc a,r2
	LOGAF
	mov r3,#0x80
	clr c
	mov a,#0xb2
	addc a,r3
	LOGAF
	mov r4,#0xff
	clr c
	mov a,#0xc3
	addc a,r4
	LOGAF
	mov r5,#0x88
	clr c
	mov a,#0xd4
	addc a,r5
	LOGAF
	mov r6,#0x09
	clr c
	mov a,#0xe5
	addc a,r6
	LOGAF
	mov r7,#0x10
	clr c
	mov a,#0xf6
	addc a,r7
	LOGAF
	setb c
	mov a,#0x45
	addc a,#0xbb
	LOGAF
	setb c
	mov a,#0x7f
	addc a,0x50
	LOGAF
	setb c
	mov a,#0x80
	addc a,0x51
	LOGAF
	setb c
	mov a,#0x0a
	addc a,b
	LOGAF
	mov r0,#0x51
	setb c
	mov a,#0x8f
	addc a,@r0
	LOGAF
	mov r1,#0x51
	setb c
	mov a,#0x8f
	addc a,@r1
	LOGAF
	mov r0,#0x01
	setb c
	mov a,#0x7f
	addc a,r0
	LOGAF
	mov r1,#0x0f
	setb c
	mov a,#0x90
	addc a,r1
	LOGAF
	mov r2,#0x70
	setb c
	mov a,#0xa1
	addc a,r2
	LOGAF
	mov r3,#0x80
	setb c
	mov a,#0xb2
	addc a,r3
	LOGAF
	mov r4,#0xff
	setb c
	mov a,#0xc3
	addc a,r4
	LOGAF
	mov r5,#0x88
	setb c
	mov a,#0xd4
	addc a,r5
	LOGAF
	mov r6,#0x09
	setb c
	mov a,#0xe5
	addc a,r6
	LOGAF
	mov r7,#0x10
	setb c
	mov a,#0xf6
	addc a,r7
	LOGAF
	clr c
	mov a,#0x45
	subb a,#0xbb
	LOGAF
	clr c
	mov a,#0x7f
	subb a,0x50
	LOGAF
	clr c
	mov a,#0x80
	subb a,0x51
	LOGAF
	clr c
	mov a,#0x0a
	subb a,b
	LOGAF
	mov r0,#0x51
	clr c
	mov a,#0x8f
	subb a,@r0
	LOGAF
	mov r1,#0x51
	clr c
	mov a,#0x8f
	subb a,@r1
	LOGAF
	mov r0,#0x01
	clr c
	mov a,#0x7f
	subb a,r0
	LOGAF
	mov r1,#0x0f
	clr c
	mov a,#0x90
	subb a,r1
	LOGAF
	mov r2,#0x70
	clr c
	mov a,#0xa1
	subb a,r2
	LOGAF
	mov r3,#0x80
	clr c
	mov a,#0xb2
	subb a,r3
	LOGAF
	mov r4,#0xff
	clr c
	mov a,#0xc3
	subb a,r4
	LOGAF
	mov r5,#0x88
	clr c
	mov a,#0xd4
	subb a,r5
	LOGAF
	mov r6,#0x09
	clr c
	mov a,#0xe5
	subb a,r6
	LOGAF
	mov r7,#0x10
	clr c
	mov a,#0xf6
	subb a,r7
	LOGAF
	setb c
	mov a,#0x45
	subb a,#0xbb
	LOGAF
	setb c
	mov a,#0x7f
	subb a,0x50
	LOGAF
	setb c
	mov a,#0x80
	subb a,0x51
	LOGAF
	setb c
	mov a,#0x0a
	subb a,b
	LOGAF
	mov r0,#0x51
	setb c
	mov a,#0x8f
	subb a,@r0
	LOGAF
	mov r1,#0x51
	setb c
	mov a,#0x8f
	subb a,@r1
	LOGAF
	mov r0,#0x01
	setb c
	mov a,#0x7f
	subb a,r0
	LOGAF
	mov r1,#0x0f
	setb c
	mov a,#0x90
	subb a,r1
	LOGAF
	mov r2,#0x70
	setb c
	mov a,#0xa1
	subb a,r2
	LOGAF
	mov r3,#0x80
	setb c
	mov a,#0xb2
	subb a,r3
	LOGAF
	mov r4,#0xff
	setb c
	mov a,#0xc3
	subb a,r4
	LOGAF
	mov r5,#0x88
	setb c
	mov a,#0xd4
	subb a,r5
	LOGAF
	mov r6,#0x09
	setb c
	mov a,#0xe5
	subb a,r6
	LOGAF
	mov r7,#0x10
	setb c
	mov a,#0xf6
	subb a,r7
	LOGAF
	FINISH
