// Libraries the program loads itself come from the system folder only: a file of the same
// name beside the program, left there by a download, must never be loaded in its place.
#pragma once

#include <windows.h>

// Makes the system folder the only place searched for libraries loaded by name, for every
// later load in the process. Where the system cannot be told (Windows 7 without its 2011
// update), at least the current folder is taken out of the search.
void RestrictLibrarySearch();

// Loads a system library, name being its bare file name ("opengl32.dll"), from the system
// folder and nowhere else; NULL when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// An entry point of a module as the pointer type of its declaration, NULL when missing or
// when the module did not load (GetProcAddress would search the program itself for NULL).
template <typename Pointer> Pointer EntryPoint(HMODULE module, const char* name) {
    if (!module) {
        return NULL;
    }
    return reinterpret_cast<Pointer>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
