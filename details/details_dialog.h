// The Details dialog: live total, used and free memory.
#pragma once

#include <windows.h>

INT_PTR CALLBACK DetailsDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Loads the common controls and registers the progress bars' class, which the dialog's
// template needs, once. Called just before the dialog opens, so a run that never shows the
// figures never maps the library.
void RegisterDetailsControlClasses();

// The open Details dialog, or null while it is closed.
HWND DetailsDialogHandle();
