; NVM burner for the Zeltra.
;
; The composer appends a parameter table at 0x0200 and the data after it. Each
; segment is staged from code memory into XDATA and handed to the ROM routine
; NvmBurn in pieces of at most 256 bytes. The outcome is left in the result
; block at internal RAM 0x64..0x67, then the program parks at 0x0006, where the
; host has its breakpoint.
;
; Parameter table (16-bit fields big-endian):
;   +0  'Z', 'B'          signature
;   +2  0x01              table layout
;   +3  mode              0 strict, 1 logic OR (NvmBurn R4)
;   +4  segment count
;   +6  code address of the first segment's data (data of all segments follows
;       back to back in segment order)
;   +8  per segment: NVM destination, length, XDATA staging address

	.module	nvm_burner
	.area	BURNER	(ABS,CODE)

PARAM	= 0x0200
NVMBURN	= 0x8063
RES	= 0x64			; result block: status, code, address high, low
OK	= 0x5C			; status of a burner that finished
FAIL	= 0xFA			; status of one that failed or stopped early
UNDONE	= 0xFF			; code of one that stopped early
OVERFLOW = 0x01			; code of a segment beyond the staging window

; Working variables, kept in memory because NvmBurn may use any register.
TPH	= 0x30			; next segment descriptor
TPL	= 0x31
SRCH	= 0x32			; next data byte in code memory
SRCL	= 0x33
CNTH	= 0x34			; segments still to burn
CNTL	= 0x35
DSTH	= 0x36			; NVM destination of the current piece
DSTL	= 0x37
LENH	= 0x38			; bytes of the segment not yet burned
LENL	= 0x39
XSH	= 0x3A			; XDATA address of the current piece
XSL	= 0x3B
MODE	= 0x3C
PIECE	= 0x3D			; size of the current piece, 0 = 256

	.org	0x0000
	ljmp	start

	.org	0x0006
done:
	sjmp	done

start:
	clr	ea			; whatever ran before may have left interrupts on
	mov	psw,#0x00		; register bank 0, which NvmBurn takes its arguments in
	mov	sp,#0x6F		; stack above the result block
	; A burner stopped before its end must not leave a stale success.
	mov	RES+0,#FAIL
	mov	RES+1,#UNDONE
	mov	RES+2,#0x00
	mov	RES+3,#0x00

	mov	dptr,#PARAM+3
	acall	fetch
	mov	MODE,a
	acall	fetch
	mov	CNTH,a
	acall	fetch
	mov	CNTL,a
	acall	fetch
	mov	SRCH,a
	acall	fetch
	mov	SRCL,a
	mov	TPH,dph
	mov	TPL,dpl

next_segment:
	mov	a,CNTL
	orl	a,CNTH
	jnz	1$
	ljmp	success
1$:	mov	a,CNTL
	jnz	2$
	dec	CNTH
2$:	dec	CNTL

	mov	dph,TPH
	mov	dpl,TPL
	acall	fetch
	mov	DSTH,a
	acall	fetch
	mov	DSTL,a
	acall	fetch
	mov	LENH,a
	acall	fetch
	mov	LENL,a
	acall	fetch
	mov	XSH,a
	acall	fetch
	mov	XSL,a
	mov	TPH,dph
	mov	TPL,dpl

	mov	a,LENL
	orl	a,LENH
	jz	next_segment

	; The staging window is XDATA 0x0000..0x0FFF: XS + LEN must not pass 0x1000.
	mov	a,XSL
	add	a,LENL
	mov	r2,a
	mov	a,XSH
	addc	a,LENH
	jc	overflow
	clr	c
	subb	a,#0x10
	jc	stage
	jnz	overflow
	mov	a,r2
	jnz	overflow

stage:
	mov	dph,SRCH
	mov	dpl,SRCL
	mov	p2,XSH			; MOVX @R0 takes its high byte from P2
	mov	r0,XSL
	mov	r6,LENH
	mov	r7,LENL
copy:
	clr	a
	movc	a,@a+dptr
	inc	dptr
	movx	@r0,a
	inc	r0
	cjne	r0,#0,1$
	inc	p2
1$:	mov	a,r7
	jnz	2$
	dec	r6
2$:	dec	r7
	mov	a,r7
	orl	a,r6
	jnz	copy
	mov	SRCH,dph
	mov	SRCL,dpl

burn_piece:
	mov	a,LENH
	jz	1$
	mov	r5,#0			; 256 bytes
	sjmp	2$
1$:	mov	r5,LENL
2$:	mov	PIECE,r5
	mov	dph,XSH
	mov	dpl,XSL
	mov	r6,DSTH
	mov	r7,DSTL
	mov	r4,MODE
	lcall	NVMBURN
	mov	a,r7
	jnz	burn_failed
	; A short piece is always the last one of its segment.
	mov	a,PIECE
	jz	3$
	ljmp	next_segment
3$:	inc	XSH
	inc	DSTH
	dec	LENH
	mov	a,LENL
	orl	a,LENH
	jnz	burn_piece
	ljmp	next_segment

burn_failed:
	mov	RES+1,r7
	mov	RES+2,r2
	mov	RES+3,r3
	ljmp	done

overflow:
	mov	RES+1,#OVERFLOW
	mov	RES+2,DSTH
	mov	RES+3,DSTL
	ljmp	done

success:
	mov	RES+1,#0x00
	mov	RES+0,#OK
	ljmp	done

; A = code byte at DPTR, DPTR advanced.
fetch:
	clr	a
	movc	a,@a+dptr
	inc	dptr
	ret

	; Empty table: the bare firmware burns nothing and reports success.
	.org	PARAM
	.db	0x5A, 0x42, 0x01, 0x00, 0x00, 0x00, 0x02, 0x08
