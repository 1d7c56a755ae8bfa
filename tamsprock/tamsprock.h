// Window helpers of Tamsprock.dll, imported by name.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Replaces the text of a window or control with a NUL-terminated ANSI string.
BOOL WINAPI Set_Text(HWND window, const char* text);

// Moves a window, keeping its size, to the centre of its monitor's work area.
BOOL WINAPI CenterWindow(HWND window);

#ifdef __cplusplus
}
#endif
