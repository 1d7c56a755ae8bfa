// The About dialog: credits beside the animated logo.
#pragma once

#include <windows.h>

// Runs the About dialog modally over parent (the active window when null); returns 1 once
// it has closed.
int ShowAboutBox(HINSTANCE instance, HWND parent);

// The open About dialog, or null while it is closed.
HWND AboutDialogHandle();
