; Rotates, SWAP, CPL A and CLR A on a running value
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov r2,#0x5b
	mov r3,#24
2$:
	mov a,r2
	rr a
	LOGA
	rl a
	rl a
	LOGA
	mov r2,a
	clr c
	rrc a
	LOGAF
	setb c
	rrc a
	LOGAF
	rlc a
	LOGAF
	clr c
	mov a,r2
	rlc a
	LOGAF
	mov a,r2
	swap a
	LOGA
	cpl a
	LOGA
	mov r4,a
	clr a
	LOGA
	mov a,r4
	add a,r2
	mov r2,a
	djnz r3,2$
	nop
	nop
	FINISH
