/* Built with the program's stack canaries and guard: MinGW's canary with our guard, or MSVC's
 * /GS cookie. "guard" prints the canary this run was given and who seeded it ("ours" for our
 * guard and for the MSVC-style check build's stand-in runtime, "runtime" for MSVC's own);
 * "smash" runs over a local buffer, which must end the process with 0xC0000409. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#ifdef _MSC_VER
extern uintptr_t __security_cookie;
#define CANARY __security_cookie
#ifdef SORVAGENTA_RUNTIME_STANDIN
#define SEEDED_BY "ours"
#else
#define SEEDED_BY "runtime"
#endif
#else
extern uintptr_t __stack_chk_guard;
#define CANARY __stack_chk_guard
#define SEEDED_BY "ours"
#endif

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
        printf("%016llx " SEEDED_BY "\n", (unsigned long long)CANARY);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "smash") == 0) {
        Overrun(overrunBytes);
        return 3; /* The overrun went unnoticed. */
    }
    return 2;
}
