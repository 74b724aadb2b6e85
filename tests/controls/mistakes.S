@ A control for the handheld checks: an old-ABI program that makes the two
@ mistakes the Caanoo's old-ABI layer mishandles: a fstatat64 call (which it
@ passes on unconverted) and code in Thumb state (whose calls it takes as
@ EABI). The checks must flag both.
	.syntax unified
	.arm
	.global _start
_start:
	mvn r0, #99		@ AT_FDCWD
	adr r1, path
	sub sp, sp, #128
	mov r2, sp
	mov r3, #0
	swi 0x900147		@ fstatat64(AT_FDCWD, ".", buffer, 0)
	ldr r4, =in_thumb + 1
	bx r4
path:	.asciz "."
	.align 2
	.ltorg

	.thumb
	.thumb_func
in_thumb:
	movs r0, #0
	ldr r4, =leave
	bx r4
	.align 2
	.ltorg

	.arm
leave:
	swi 0x900001		@ exit(0)
