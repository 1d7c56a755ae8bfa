/* The stack canary that -fstack-protector-strong checks, for MinGW builds. GCC's own (libssp)
 * seeds it through the CryptoAPI, which imports ADVAPI32 and loads the crypto provider and its
 * libraries by name before WinMain, ahead of the program's restricted library search. This one
 * is seeded as the Windows C runtime seeds its security cookie, from sources kernel32 alone
 * gives, and a smashed stack ends the process as the system's fail-fast does. */
#include <windows.h>

#include <intrin.h>
#include <stdint.h>

#ifndef STATUS_STACK_BUFFER_OVERRUN
#define STATUS_STACK_BUFFER_OVERRUN ((DWORD)0xC0000409L)
#endif
#ifndef PF_FASTFAIL_AVAILABLE
#define PF_FASTFAIL_AVAILABLE 23
#endif
#define FAST_FAIL_STACK_COOKIE_CHECK_FAILURE_CODE 2

/* The value any protected code that runs before the seeding below checks against. */
uintptr_t __stack_chk_guard = (uintptr_t)0x2B992DDFA232ULL;

/* These two run while the guard changes, so they carry no canary whatever the flags. */
__attribute__((no_stack_protector)) static uintptr_t MixedStartSources(void) {
    FILETIME systemTime;
    LARGE_INTEGER counter;
    GetSystemTimeAsFileTime(&systemTime);
    QueryPerformanceCounter(&counter);
    uintptr_t mixed = ((uintptr_t)systemTime.dwHighDateTime << 32) ^ systemTime.dwLowDateTime;
    mixed ^= (uintptr_t)counter.QuadPart << 32 ^ (uintptr_t)counter.QuadPart;
    mixed ^= (uintptr_t)GetCurrentProcessId() << 16 ^ GetCurrentThreadId();
    mixed ^= (uintptr_t)GetTickCount64() << 40;
    mixed ^= (uintptr_t)&systemTime;
    mixed ^= (uintptr_t)__rdtsc() * 0x9E3779B97F4A7C15ULL;
    return mixed;
}

__attribute__((constructor(101), no_stack_protector)) static void SeedStackGuard(void) {
    uintptr_t seed = MixedStartSources();
    /* A zero low byte stops a string copy running over the canary into what lies beyond. */
    seed &= ~(uintptr_t)0xFF;
    if (seed == 0) {
        seed = (uintptr_t)0x5E1F2A3B4C6D7E00ULL;
    }
    __stack_chk_guard = seed;
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
