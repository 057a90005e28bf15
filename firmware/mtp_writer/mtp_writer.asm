; MTP writer for the Zeltra.
;
; The host patches the parameter record at 0x0100 (offset, length, 16 data
; bytes), downloads the program, runs it from 0x0000 for a second and halts it.
; The result is left at internal RAM 0x0D:
;   5 written and verified, 1 bad offset, 2 bad length, 3 the ROM refused the
;   write, 4 a cell reads back different.
; The program ends in an idle loop at a fixed address, so the host can tell a
; finished writer from one it stopped half-way.

	.module	mtp_writer
	.area	WRITER	(ABS,CODE)

PARAM	= 0x0100		; offset, length, data[16]
PDATA	= PARAM + 2		; the data bytes of the record
MTPSIZE	= 16			; MTP cells
MTPWRITE = 0x8069		; R7 = key; R7 out: 0 ok
MTPKEY	= 0x32
MTPBASE	= 0x806C		; R6:R7 out: XDATA address of MTP byte 0
ROMRES	= 0x0900		; XDATA: what MtpWrite returned
MAINVEC	= 0x0003		; where the start-up code continues
IDLE	= 0x00B0		; the final loop
FINISH	= IDLE - 5	; interrupts off, then the loop
START	= 0x00BC		; start-up code
STACK	= 0x89			; the stack pointer main starts with

RESULT	= 0x0D
WRITTEN	= 5			; result codes
BADOFS	= 1
BADLEN	= 2
ROMFAIL	= 3
MISMATCH = 4
; Working variables in RAM: the ROM routines may change any register.
OFS	= 0x30
LEN	= 0x31
PTRH	= 0x32			; XDATA address of the current MTP byte
PTRL	= 0x33
CNT	= 0x34
IDX	= 0x35			; index of the current data byte

	.org	0x0000
	ljmp	START

	; A burn leaves its breakpoint at 0x0006: no instruction of this program
	; starts there.
	.org	MAINVEC
	ljmp	main

	.org	0x0008
main:
	mov	RESULT,#WRITTEN
	mov	dptr,#PARAM
	clr	a
	movc	a,@a+dptr
	mov	OFS,a
	mov	a,#1
	movc	a,@a+dptr
	mov	LEN,a

	mov	a,OFS
	clr	c
	subb	a,#MTPSIZE
	jc	1$
	mov	RESULT,#BADOFS
	ljmp	FINISH
1$:	mov	a,LEN
	jz	2$
	add	a,OFS			; 8-bit sum, as the record is laid out
	clr	c
	subb	a,#MTPSIZE+1
	jc	copy_start
2$:	mov	RESULT,#BADLEN
	ljmp	FINISH

copy_start:
	acall	first_cell
copy:
	acall	next_data
	mov	dph,PTRH
	mov	dpl,PTRL
	movx	@dptr,a			; latches the byte
	acall	advance
	djnz	CNT,copy

	clr	ea
	mov	pcon,pcon
	mov	r7,#MTPKEY
	lcall	MTPWRITE
	mov	a,r7
	mov	dptr,#ROMRES
	movx	@dptr,a
	setb	ea

	acall	first_cell
verify:
	acall	next_data
	mov	r2,a
	mov	dph,PTRH
	mov	dpl,PTRL
	movx	a,@dptr
	xrl	a,r2
	jz	3$
	mov	RESULT,#MISMATCH
3$:	acall	advance
	djnz	CNT,verify

	mov	dptr,#ROMRES
	movx	a,@dptr
	jz	4$
	mov	RESULT,#ROMFAIL
4$:	ljmp	FINISH

; PTR = MTP base + offset, CNT = length, IDX = 0.
first_cell:
	lcall	MTPBASE
	mov	a,r7
	add	a,OFS
	mov	PTRL,a
	mov	a,r6
	addc	a,#0
	mov	PTRH,a
	mov	CNT,LEN
	mov	IDX,#0
	ret

; A = data byte IDX, IDX advanced.
next_data:
	mov	dptr,#PDATA
	mov	a,IDX
	inc	IDX
	movc	a,@a+dptr
	ret

advance:
	inc	PTRL
	mov	a,PTRL
	jnz	1$
	inc	PTRH
1$:	ret

	.org	FINISH
	clr	ea
	mov	pcon,pcon
idle:
	orl	pcon,#0x01
	mov	pcon,pcon
	sjmp	idle
idle_end:

	.org	START
	mov	r0,#0x7F
1$:	mov	@r0,#0
	djnz	r0,1$
	mov	sp,#STACK
	ljmp	MAINVEC

	; The resource's own record: the host patches offset, length and data.
	.org	PARAM
	.db	0x01, 0x0D
	.db	0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08
	.db	0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10
