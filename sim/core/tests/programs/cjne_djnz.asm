; CJNE in every form with all carry outcomes, DJNZ on registers, RAM and an SFR
	.include "prelude.inc"
	CLEARX
	CLEARRAM
	mov r7,#0
	mov a,#0x40
	cjne a,#0x40,1$
	inc r7
1$:	mov 0x50,r7
	mov a,psw
	mov 0x51,a
	mov a,#0x40
	cjne a,#0x41,2$
	inc r7
2$:	mov a,psw
	mov 0x52,a
	mov a,#0x40
	cjne a,#0x3f,3$
	inc r7
3$:	mov a,psw
	mov 0x53,a
	mov 0x60,#0x90
	mov a,#0x90
	cjne a,0x60,4$
	inc r7
4$:	mov 0x60,#0x91
	cjne a,0x60,5$
	inc r7
5$:	mov a,psw
	mov 0x54,a
	mov b,#0x10
	mov a,#0x20
	cjne a,b,6$
	inc r7
6$:	mov a,psw
	mov 0x55,a
	mov r0,#0x60
	mov r1,#0xd0
	mov @r1,#0x05
	cjne @r0,#0x91,7$
	inc r7
7$:	cjne @r0,#0x92,8$
	inc r7
8$:	mov a,psw
	mov 0x56,a
	cjne @r1,#0x04,9$
	inc r7
9$:	mov a,psw
	mov 0x57,a
	mov 0x58,r7
	mov r0,#0x30
	cjne r0,#0x30,20$
	mov a,#0x00
	LOGA
20$:	cjne r0,#0x31,21$
	mov a,#0xff
	LOGA
21$:	mov a,psw
	LOGA
	cjne r0,#0x2f,40$
40$:	mov a,psw
	LOGA
	mov r1,#0x31
	cjne r1,#0x31,22$
	mov a,#0x01
	LOGA
22$:	cjne r1,#0x32,23$
	mov a,#0xff
	LOGA
23$:	mov a,psw
	LOGA
	cjne r1,#0x30,41$
41$:	mov a,psw
	LOGA
	mov r2,#0x32
	cjne r2,#0x32,24$
	mov a,#0x02
	LOGA
24$:	cjne r2,#0x33,25$
	mov a,#0xff
	LOGA
25$:	mov a,psw
	LOGA
	cjne r2,#0x31,42$
42$:	mov a,psw
	LOGA
	mov r3,#0x33
	cjne r3,#0x33,26$
	mov a,#0x03
	LOGA
26$:	cjne r3,#0x34,27$
	mov a,#0xff
	LOGA
27$:	mov a,psw
	LOGA
	cjne r3,#0x32,43$
43$:	mov a,psw
	LOGA
	mov r4,#0x34
	cjne r4,#0x34,28$
	mov a,#0x04
	LOGA
28$:	cjne r4,#0x35,29$
	mov a,#0xff
	LOGA
29$:	mov a,psw
	LOGA
	cjne r4,#0x33,44$
44$:	mov a,psw
	LOGA
	mov r5,#0x35
	cjne r5,#0x35,30$
	mov a,#0x05
	LOGA
30$:	cjne r5,#0x36,31$
	mov a,#0xff
	LOGA
31$:	mov a,psw
	LOGA
	cjne r5,#0x34,45$
45$:	mov a,psw
	LOGA
	mov r6,#0x36
	cjne r6,#0x36,32$
	mov a,#0x06
	LOGA
32$:	cjne r6,#0x37,33$
	mov a,#0xff
	LOGA
33$:	mov a,psw
	LOGA
	cjne r6,#0x35,46$
46$:	mov a,psw
	LOGA
	mov r7,#0x37
	cjne r7,#0x37,34$
	mov a,#0x07
	LOGA
34$:	cjne r7,#0x38,35$
	mov a,#0xff
	LOGA
35$:	mov a,psw
	LOGA
	cjne r7,#0x36,47$
47$:	mov a,psw
	LOGA
	mov r0,#2
	clr a
50$:	inc a
	djnz r0,50$
	LOGA
	mov r1,#3
	clr a
51$:	inc a
	djnz r1,51$
	LOGA
	mov r2,#4
	clr a
52$:	inc a
	djnz r2,52$
	LOGA
	mov r3,#5
	clr a
53$:	inc a
	djnz r3,53$
	LOGA
	mov r4,#6
	clr a
54$:	inc a
	djnz r4,54$
	LOGA
	mov r5,#7
	clr a
55$:	inc a
	djnz r5,55$
	LOGA
	mov r6,#8
	clr a
56$:	inc a
	djnz r6,56$
	LOGA
	mov r7,#9
	clr a
57$:	inc a
	djnz r7,57$
	LOGA
	mov 0x61,#7
	clr a
60$:	add a,#3
	djnz 0x61,60$
	LOGA
	mov b,#5
	clr a
61$:	add a,#2
	djnz b,61$
	LOGA
	mov r2,#0
	clr a
62$:	inc a
	djnz r2,62$
	LOGA
	FINISH
