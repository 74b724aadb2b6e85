/* A control for the handheld checks: what Debian's ARM compiler makes by
 * default (EABI system calls, ARMv5TE code, the kernel helpers through the C
 * library). The checks must flag it, and the Wiz's kernel must kill it. */
#include <stdio.h>

int main(void) {
    printf("an EABI program ran\n");
    return 0;
}
