// Run beside planted copies of dwmapi.dll, glu32.dll and msimg32.dll, it tries each layer of
// the program's library search alone and prints where each library came from:
//   fallback <path asked for> <flags> <path loaded>  the full-path load a system without the
//                                                   search flags gets, before any restriction
//   flagged <path loaded>     LoadSystemLibrary, before RestrictLibrarySearch
//   plain <path loaded>       a plain LoadLibraryW, after RestrictLibrarySearch
#include <stdio.h>
#include <wchar.h>

#include "platform/system_library.h"

namespace {

typedef HMODULE(WINAPI* LoadLibraryExWPointer)(LPCWSTR, HANDLE, DWORD);

bool refuseSearchFlags = false;
wchar_t askedPath[MAX_PATH];
DWORD askedFlags;

// Answers as a system without the LOAD_LIBRARY_SEARCH_* flags does while told to, and notes
// the load that follows.
HMODULE WINAPI LoadLibraryExLikeAnOldSystem(LPCWSTR name, HANDLE file, DWORD flags) {
    if (refuseSearchFlags) {
        if (flags & 0xFFFFFF00) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return NULL;
        }
        wcsncpy(askedPath, name, MAX_PATH - 1);
        askedFlags = flags;
    }
    LoadLibraryExWPointer system =
        EntryPoint<LoadLibraryExWPointer>(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryExW");
    return system(name, file, flags);
}

void PrintLoadedPath(HMODULE module) {
    wchar_t path[MAX_PATH] = L"(none)";
    if (module) {
        GetModuleFileNameW(module, path, MAX_PATH);
    }
    wprintf(L"%ls\n", path);
}

} // namespace

// The import table entry every LoadLibraryExW call of this program goes through, the one in
// platform/system_library.cpp included: defined here, it takes the place of kernel32's.
extern "C" {
LoadLibraryExWPointer __imp_LoadLibraryExW = LoadLibraryExLikeAnOldSystem;
}

int main() {
    refuseSearchFlags = true;
    HMODULE fallback = LoadSystemLibrary(L"dwmapi.dll");
    refuseSearchFlags = false;
    wprintf(L"fallback %ls %lu ", askedPath, askedFlags);
    PrintLoadedPath(fallback);

    wprintf(L"flagged ");
    PrintLoadedPath(LoadSystemLibrary(L"glu32.dll"));

    RestrictLibrarySearch();
    wprintf(L"plain ");
    PrintLoadedPath(LoadLibraryW(L"msimg32.dll"));
    return 0;
}
