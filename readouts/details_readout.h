// The Details dialog's live figures.
#pragma once

#include <windows.h>

// The four controls a details refresh writes to; the dialog owns them.
struct DetailsReadoutControls {
    HWND usedText;
    HWND usedBar;
    HWND freeText;
    HWND freeBar;
};

// One details refresh: bars and texts change only when used or free memory changed.
void RefreshDetailsReadout(const DetailsReadoutControls* controls);

// Forgets what the dialog showed, so a reopened dialog is filled at its first refresh.
void ResetDetailsReadout();
