@ A control for the handheld checks: an old-ABI program that makes the
@ mistakes the checks look for: a fstatat64 call (which the Caanoo's old-ABI
@ layer passes on unconverted), code in Thumb state (whose calls it takes as
@ EABI), and a descriptor opened without close-on-exec and held at an exec
@ (2.4 ignores O_CLOEXEC). The checks must flag all three.
	.syntax unified
	.arm
	.global _start
_start:
	mvn r0, #99		@ AT_FDCWD
	adr r1, here
	sub sp, sp, #128
	mov r2, sp
	mov r3, #0
	swi 0x900147		@ fstatat64(AT_FDCWD, ".", buffer, 0)
	ldr r4, =in_thumb + 1
	bx r4
here:	.asciz "."
true:	.asciz "/bin/true"
	.align 2
	.ltorg

	.thumb
	.thumb_func
in_thumb:
	movs r0, #0
	ldr r4, =back_in_arm
	bx r4
	.align 2
	.ltorg

	.arm
back_in_arm:
	adr r0, here
	mov r1, #0		@ O_RDONLY, without O_CLOEXEC
	swi 0x900005		@ open(".", O_RDONLY): descriptor 3
	adr r0, true
	mov r1, #0
	str r1, [sp, #-4]!
	str r0, [sp, #-4]!
	mov r1, sp		@ { "/bin/true", NULL }
	add r2, sp, #4		@ no environment
	swi 0x90000b		@ execve("/bin/true", ...), with descriptor 3 open
	mov r0, #1
	swi 0x900001		@ exit(1) if it returns
