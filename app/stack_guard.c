/* The stack canary that -fstack-protector-strong checks, for MinGW builds. GCC's own (libssp)
 * seeds it through the CryptoAPI, which imports ADVAPI32 and loads the crypto provider and its
 * libraries by name before WinMain, ahead of the program's restricted library search. This one
 * is seeded as the Windows C runtime seeds its security cookie, from sources kernel32 alone
 * gives, and a smashed stack ends the process as the system's fail-fast does. */
#include "stack_guard_seed.h"

#ifndef STATUS_STACK_BUFFER_OVERRUN
#define STATUS_STACK_BUFFER_OVERRUN ((DWORD)0xC0000409L)
#endif
#ifndef PF_FASTFAIL_AVAILABLE
#define PF_FASTFAIL_AVAILABLE 23
#endif
#define FAST_FAIL_STACK_COOKIE_CHECK_FAILURE_CODE 2

uintptr_t __stack_chk_guard = STACK_GUARD_UNSEEDED;

/* It runs while the guard changes, so it carries no canary whatever the flags. */
__attribute__((constructor(101), no_stack_protector)) static void SeedStackGuard(void) {
    __stack_chk_guard = StackGuardSeed();
}

/* Nothing of the damaged stack is trusted: no unwinding, no handlers, no exit routines. */
__attribute__((noreturn, no_stack_protector)) static void FailFast(void) {
    if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
        /* The intrinsic __fastfail: the system ends the process at once. */
        __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE_CODE));
    }
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    for (;;) {
    }
}

__attribute__((noreturn)) void __stack_chk_fail(void) {
    FailFast();
}

/* What checked string and memory functions call on an overflow, should any be built in. */
__attribute__((noreturn)) void __chk_fail(void) {
    FailFast();
}
