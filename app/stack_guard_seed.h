/* The seed of a stack canary, from sources kernel32 alone gives, as the Windows C runtime seeds
 * its security cookie: our MinGW guard (stack_guard.c) and the MSVC-style check build's cookie
 * both take it from here. The function that stores the seed must carry no canary of its own:
 * its frame is the one that spans the change. */
#pragma once

#include <windows.h>

#include <intrin.h>
#include <stdint.h>

/* The value any protected code that runs before the seeding checks against. */
#define STACK_GUARD_UNSEEDED ((uintptr_t)0x2B992DDFA232ULL)

static uintptr_t MixedStartSources(void) {
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

static uintptr_t StackGuardSeed(void) {
    uintptr_t seed = MixedStartSources();
    /* A zero low byte stops a string copy running over the canary into what lies beyond. */
    seed &= ~(uintptr_t)0xFF;
    if (seed == 0) {
        seed = (uintptr_t)0x5E1F2A3B4C6D7E00ULL;
    }
    return seed;
}
