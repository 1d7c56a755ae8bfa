// Opens one of the running Sorvagenta's dialogs from its tray menu command, lets it run a
// moment, closes it with its button and waits until it has gone, so the benchmark can read
// the footprint a first opening leaves behind.
//
// dialog_step details|about
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "product.h"
#include "resource.h"
#include "support/program_driver.h"

using namespace driver;

int main(int argc, char** argv) {
    bool about = argc == 2 && strcmp(argv[1], "about") == 0;
    if (argc != 2 || (!about && strcmp(argv[1], "details") != 0)) {
        fprintf(stderr, "usage: dialog_step details|about\n");
        return 2;
    }
    HWND host = FindWindowA("Sorvagenta", NULL);
    DWORD pid = 0;
    GetWindowThreadProcessId(host, &pid);
    if (!host) {
        fprintf(stderr, "Sorvagenta is not running\n");
        return 1;
    }
    PostMessageA(host, WM_COMMAND, about ? CMD_TRAY_ABOUT : CMD_TRAY_DETAILS, 0);
    const char* caption = about ? SORVAGENTA_ABOUT_CAPTION : SORVAGENTA_NAME;
    HWND dialog = NULL;
    if (!WaitUntil([&] {
            dialog = FindProcessWindow(pid, "#32770", caption);
            return dialog && IsWindowVisible(dialog);
        })) {
        fprintf(stderr, "the dialog did not open\n");
        return 1;
    }
    // A few refreshes of the figures, or a few hundred frames of the logo.
    WaitUntil([] { return false; }, 2000);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_OKAY, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, IDC_OKAY));
    return WaitUntil([&] { return !IsWindow(dialog); }) ? 0 : 1;
}
