#include "details/details_dialog.h"

static HWND detailsDialog;

HWND DetailsDialogHandle() {
    return detailsDialog;
}

INT_PTR CALLBACK DetailsDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
