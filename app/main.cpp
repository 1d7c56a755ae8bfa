// Entry point: the single-instance guard, then the tray host until Exit.
#include <windows.h>

#include "app/tray_host.h"
#include "platform/program.h"
#include "platform/system_library.h"
#include "resource.h"

static void ShowDuplicateStartBox() {
    MessageBoxA(NULL, "Only One Instance Can Run At A Time!", kProgramName,
                MB_SYSTEMMODAL | MB_ICONINFORMATION);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a library by name: none may come from the program's folder.
    RestrictLibrarySearch();
    HANDLE running = OpenMutexA(SYNCHRONIZE, FALSE, kProgramName);
    if (running) {
        ShowDuplicateStartBox();
        CloseHandle(running);
        return 1;
    }
    HANDLE mutex = CreateMutexA(NULL, FALSE, kProgramName);
    // Two copies started together can both miss the open above; the later creator loses.
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        ShowDuplicateStartBox();
        CloseHandle(mutex);
        return 1;
    }
    hInstance = instance;
    RunTrayHost(IDI_MAIN, kProgramName);
    CloseHandle(mutex);
    return 0;
}
