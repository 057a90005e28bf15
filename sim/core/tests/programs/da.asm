; DA after every accumulator value with every AC and CY combination
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov r0,#0
2$:	; four AC/CY combinations per value, set by arithmetic
	mov a,r0
	add a,#0	; AC=0, CY=0
	da a
	LOGAF
	mov a,r0
	add a,#0
	setb c
	da a
	LOGAF
	; AC=1 via adding 0x0F+0x01 sum, then restore value: use PSW bit set
	mov a,r0
	add a,#0
	setb ac
	mov a,r0
	da a
	LOGAF
	mov a,r0
	add a,#0
	setb ac
	setb c
	mov a,r0
	da a
	LOGAF
	inc r0
	cjne r0,#0,2$
	; BCD addition chain
	mov a,#0x99
	add a,#0x01
	da a
	LOGAF
	mov a,#0x58
	add a,#0x67
	da a
	LOGAF
	mov a,#0x19
	add a,#0x28
	da a
	LOGAF
	FINISH
