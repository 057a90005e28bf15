; PUSH and POP of RAM and SFRs, nested calls, the stack through upper RAM, POP SP
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov a,#0x11
	mov b,#0x22
	mov 0x40,#0x33
	mov sp,#0xc0
	push acc
	push b
	push 0x40
	push dpl
	push dph
	mov a,#0x44
	mov b,#0x55
	pop 0x41
	pop 0x42
	pop 0x43
	pop b
	pop acc
	LOGA
	mov a,b
	LOGA
	mov sp,#0x7d
	mov a,#0xa1
	push acc
	mov a,#0xa2
	push acc
	mov a,#0xa3
	push acc
	mov a,#0xa4
	push acc
	lcall level1
	pop 0x44
	pop 0x45
	mov r0,#0x80
	mov a,@r0
	LOGA
	mov a,sp
	LOGA
	mov sp,#0x50
	push 0x44
	pop sp
	mov a,sp
	LOGA
	mov sp,#0x60
	ljmp done
level1:	mov a,sp
	LOGA
	acall level2
	mov a,sp
	LOGA
	ret
level2:	push 0x40
	acall level3
	pop 0x46
	ret
level3:	mov a,sp
	LOGA
	mov r1,sp
	mov a,@r1
	LOGA
	ret
done:
	FINISH
