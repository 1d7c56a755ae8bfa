#include "platform/system_library.h"

#include <wchar.h>

void RestrictLibrarySearch() {
    // Looked up, not imported: an import the system lacks would stop the program starting.
    decltype(&::SetDefaultDllDirectories) setDefaultDirectories =
        EntryPoint<decltype(setDefaultDirectories)>(GetModuleHandleW(L"kernel32.dll"),
                                                    "SetDefaultDllDirectories");
    if (!setDefaultDirectories || !setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L"");
    }
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // A system without the search flags refuses them as an invalid parameter: name the file
    // by its full path instead, and have its own dependencies looked for beside it.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
        wchar_t path[MAX_PATH];
        UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length + 1 + wcslen(name) >= MAX_PATH) {
            return NULL;
        }
        path[length] = L'\\';
        wcscpy(path + length + 1, name);
        module = LoadLibraryExW(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return module;
}
