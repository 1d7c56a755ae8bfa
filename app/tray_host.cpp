#include "app/tray_host.h"

#include <windows.h>

#include "app/host_window.h"
#include "platform/program.h"

int IsHostWindowPresent(const char* className) {
    return FindWindowA(className, NULL) != NULL ? 1 : 0;
}

static void RegisterHostClass() {
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(NULL, IDI_WINLOGO);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kProgramName;
    RegisterClassA(&wc);
}

static void RunMessageLoop(HWND host) {
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        if (!IsWindow(host) || !IsDialogMessageA(host, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

int RunTrayHost(int iconId, const char* windowName) {
    if (IsHostWindowPresent(kProgramName)) {
        return 0;
    }
    RegisterHostClass();
    // WM_CREATE starts the refresh timer; its first tick can only come once the loop
    // runs, after the icon and the menu exist.
    HWND host = CreateWindowExA(0, kProgramName, windowName, WS_POPUP | WS_SYSMENU, 0, 0, 0, 0,
                                NULL, NULL, hInstance, NULL);
    AddTrayIcon(host, iconId, windowName);
    BuildTrayMenu();
    RunMessageLoop(host);
    return 1;
}
