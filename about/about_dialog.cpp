#include "about/about_dialog.h"

static HWND aboutDialog;

HWND AboutDialogHandle() {
    return aboutDialog;
}

int ShowAboutBox(HINSTANCE, HWND) {
    return 1;
}
