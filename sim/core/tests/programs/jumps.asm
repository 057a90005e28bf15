; AJMP and ACALL to every page and across a 2K block, JMP @A+DPTR, far calls, RETI, JZ/JNZ
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov r5,#8
	mov r6,#0
	ljmp 0x0810
after_pages:
	mov a,r6
	LOGA
	; AJMP whose successor address is already in the next 2K block
	ljmp 0x0ffe
back_from_edge:
	mov a,r6
	LOGA
	; jump table through JMP @A+DPTR
	mov r2,#0
jt_loop:
	mov a,r2
	rl a
	mov dptr,#jtab
	jmp @a+dptr
jtab:	sjmp jt0
	sjmp jt1
	sjmp jt2
jt0:	mov r3,#0x10
	sjmp jt_next
jt1:	mov r3,#0x21
	sjmp jt_next
jt2:	mov r3,#0x32
jt_next:
	mov dpl,r4
	mov dph,#0
	mov a,r3
	LOGA
	mov r4,dpl
	inc r2
	cjne r2,#3,jt_loop
	mov dptr,#0x0100
	; far calls, RETI, backward SJMP
	lcall far_sub
	LOGA
	mov r2,#3
	clr a
bw:	add a,#5
	djnz r2,fw
	sjmp out
fw:	sjmp bw
out:	LOGA
	mov a,#0
	jz 1$
	mov a,#0xee
1$:	jnz 2$
	mov a,#0x11
2$:	jnz 3$
	mov a,#0x22
3$:	jz 4$
	LOGA
4$:	lcall 0x1840 - 0x40 + 0x60
	ljmp done
	.org 0x0810
	acall 0x0d80
	mov a,#0x00
	LOGA
	djnz r5,70$
	ljmp after_pages
70$:	ajmp 0x0b10
	.org 0x0880
	mov a,r6
	add a,#0x01
	mov r6,a
	ret
	.org 0x0910
	acall 0x0e80
	mov a,#0x01
	LOGA
	djnz r5,71$
	ljmp after_pages
71$:	ajmp 0x0c10
	.org 0x0980
	mov a,r6
	add a,#0x02
	mov r6,a
	ret
	.org 0x0a10
	acall 0x0f80
	mov a,#0x02
	LOGA
	djnz r5,72$
	ljmp after_pages
72$:	ajmp 0x0d10
	.org 0x0a80
	mov a,r6
	add a,#0x03
	mov r6,a
	ret
	.org 0x0b10
	acall 0x0880
	mov a,#0x03
	LOGA
	djnz r5,73$
	ljmp after_pages
73$:	ajmp 0x0e10
	.org 0x0b80
	mov a,r6
	add a,#0x04
	mov r6,a
	ret
	.org 0x0c10
	acall 0x0980
	mov a,#0x04
	LOGA
	djnz r5,74$
	ljmp after_pages
74$:	ajmp 0x0f10
	.org 0x0c80
	mov a,r6
	add a,#0x05
	mov r6,a
	ret
	.org 0x0d10
	acall 0x0a80
	mov a,#0x05
	LOGA
	djnz r5,75$
	ljmp after_pages
75$:	ajmp 0x0810
	.org 0x0d80
	mov a,r6
	add a,#0x06
	mov r6,a
	ret
	.org 0x0e10
	acall 0x0b80
	mov a,#0x06
	LOGA
	djnz r5,76$
	ljmp after_pages
76$:	ajmp 0x0910
	.org 0x0e80
	mov a,r6
	add a,#0x07
	mov r6,a
	ret
	.org 0x0f10
	acall 0x0c80
	mov a,#0x07
	LOGA
	djnz r5,77$
	ljmp after_pages
77$:	ajmp 0x0a10
	.org 0x0f80
	mov a,r6
	add a,#0x08
	mov r6,a
	ret
	.org 0x0ffe
	.db 0x01,0x20	; AJMP 0x1020: the page comes from the address after it
	.org 0x1020
	mov a,r6
	add a,#0x40
	mov r6,a
	ljmp 0x17fe
	.org 0x17fe
	.db 0x11,0x40	; ACALL 0x1840, returning to 0x1800
	ljmp back_from_edge
	.org 0x1840
	mov a,r6
	add a,#0x80
	mov r6,a
	pop 0x30
	pop 0x31
	push 0x31
	push 0x30
	ret
	.org 0x1860
	mov a,#0x66
	ret
	.org 0x3000
far_sub:
	mov a,#0x5c
	reti
done:
	FINISH
