/* The little of the MSVC runtime's start-up that the msvc-abi check build needs, for a Linux
 * host that has no libcmt.lib: the entry points, the initialiser tables, _fltused, and the /GS
 * security cookie with its check. The C library itself comes from ucrtbase.dll. Only that
 * build links this file (cmake/clang-cl-wine.cmake); nothing built with it ships. It is
 * compiled with /GS-: its entry points' frames span the cookie's seeding. */
#include <windows.h>

#include <stdint.h>
#include <stdlib.h>

#include "../app/stack_guard_seed.h"

/* The C library: the functions the headers name, and the command line of a console program. */
#pragma comment(lib, "ucrtbase")

/* Any floating-point code makes the compiler ask for this symbol. */
int _fltused = 0x9875;

/* The compiler puts C initialisers in .CRT$XIU and C++ ones in .CRT$XCU; the linker sorts
 * the sections by name, so these bound each table. */
typedef int(__cdecl* InitFunction)(void);
typedef void(__cdecl* ConstructorFunction)(void);
#pragma section(".CRT$XIA", read)
#pragma section(".CRT$XIZ", read)
#pragma section(".CRT$XCA", read)
#pragma section(".CRT$XCZ", read)
__declspec(allocate(".CRT$XIA")) static const InitFunction initFirst = 0;
__declspec(allocate(".CRT$XIZ")) static const InitFunction initLast = 0;
__declspec(allocate(".CRT$XCA")) static const ConstructorFunction constructorsFirst = 0;
__declspec(allocate(".CRT$XCZ")) static const ConstructorFunction constructorsLast = 0;

/* The /GS cookie, seeded before any protected code of the module runs. */
uintptr_t __security_cookie = STACK_GUARD_UNSEEDED;

static void SeedSecurityCookie(void) {
    __security_cookie = StackGuardSeed();
}

/* Nothing of the damaged stack is trusted: the system ends the process at once, with
 * STATUS_STACK_BUFFER_OVERRUN, as the MSVC runtime's check does. */
void __cdecl __security_check_cookie(uintptr_t cookie) {
    if (cookie != __security_cookie) {
        __fastfail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
    }
}

/* /guard:cf sends every indirect call through these pointers. The MSVC runtime's load
 * configuration lets the Windows loader replace them with its checks; there is none here,
 * so the calls go straight through and nothing is checked. */
static void __cdecl NoCallCheck(uintptr_t target) {
    (void)target;
}
void StandinCallTarget(void); /* The target arrives in rax: jump to it. */
__asm__(".text\n.globl StandinCallTarget\nStandinCallTarget:\n\tjmp *%rax\n");
void(__cdecl* __guard_check_icall_fptr)(uintptr_t) = NoCallCheck;
void (*__guard_dispatch_icall_fptr)(void) = StandinCallTarget;

/* ucrtbase's own walkers: each skips empty entries, and the first initialiser to fail ends
 * the walk with its result. */
int __cdecl _initterm_e(InitFunction* first, InitFunction* last);
void __cdecl _initterm(ConstructorFunction* first, ConstructorFunction* last);

static int RunInitialisers(void) {
    if (_initterm_e((InitFunction*)&initFirst, (InitFunction*)&initLast) != 0) {
        return 0;
    }
    _initterm((ConstructorFunction*)&constructorsFirst, (ConstructorFunction*)&constructorsLast);
    return 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
int __cdecl main(int argc, char** argv);
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

/* The entry points share this one object, so each module names only its own function; the
 * others resolve to this, as in the MSVC runtime. */
int StandinNoEntryFunction(void) {
    return 255;
}
#pragma comment(linker, "/alternatename:WinMain=StandinNoEntryFunction")
#pragma comment(linker, "/alternatename:main=StandinNoEntryFunction")
#pragma comment(linker, "/alternatename:DllMain=StandinNoEntryFunction")

/* The command line after the program's name, as WinMain receives it. */
static LPSTR ArgumentsOf(LPSTR line) {
    int quoted = 0;
    for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line) {
        quoted ^= *line == '"';
    }
    while (*line == ' ' || *line == '\t') {
        ++line;
    }
    return line;
}

int WINAPI WinMainCRTStartup(void) {
    SeedSecurityCookie();
    if (!RunInitialisers()) {
        exit(255);
    }
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    exit(WinMain(GetModuleHandleA(NULL), NULL, ArgumentsOf(GetCommandLineA()), show));
}

/* ucrtbase.dll parses the command line for a console program. */
__declspec(dllimport) int __cdecl _configure_narrow_argv(int mode);
__declspec(dllimport) int* __cdecl __p___argc(void);
__declspec(dllimport) char*** __cdecl __p___argv(void);

int mainCRTStartup(void) {
    SeedSecurityCookie();
    if (!RunInitialisers()) {
        exit(255);
    }
    _configure_narrow_argv(1 /* _crt_argv_unexpanded_arguments */);
    exit(main(*__p___argc(), *__p___argv()));
}

BOOL WINAPI _DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        SeedSecurityCookie();
        if (!RunInitialisers()) {
            return FALSE;
        }
    }
    return DllMain(instance, reason, reserved);
}
