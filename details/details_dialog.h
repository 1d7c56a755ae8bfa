// The Details dialog: live total, used and free memory.
#pragma once

#include <windows.h>

INT_PTR CALLBACK DetailsDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Loads the common controls from the system folder and registers the progress bars' class,
// which the dialog's template needs, once. Called just before the dialog opens, so a run that
// never shows the figures never maps the library. FALSE while the class could not be
// registered: the dialog cannot be made then.
BOOL RegisterDetailsControlClasses();

// The open Details dialog, or null while it is closed.
HWND DetailsDialogHandle();
