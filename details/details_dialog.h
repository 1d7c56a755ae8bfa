// The Details dialog: live total, used and free memory.
#pragma once

#include <windows.h>

INT_PTR CALLBACK DetailsDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The open Details dialog, or null while it is closed.
HWND DetailsDialogHandle();
