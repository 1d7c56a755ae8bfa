/* Built with the program's stack canaries and guard. "guard" prints the canary this run was
 * given; "smash" runs over a local buffer, which must end the process with 0xC0000409. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

extern uintptr_t __stack_chk_guard;

/* Read, and written to, as volatiles, so the compiler cannot see the overrun coming. */
static volatile size_t overrunBytes = 64;

static int Overrun(size_t count) {
    char buffer[16];
    volatile char* target = buffer;
    for (size_t i = 0; i < count; ++i) {
        target[i] = 'x';
    }
    return buffer[0];
}

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "guard") == 0) {
        printf("%016llx\n", (unsigned long long)__stack_chk_guard);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "smash") == 0) {
        Overrun(overrunBytes);
        return 3; /* The overrun went unnoticed. */
    }
    return 2;
}
