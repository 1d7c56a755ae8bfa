#include "tamsprock.h"

BOOL WINAPI Set_Text(HWND window, const char* text) {
    return SetWindowTextA(window, text ? text : "");
}

BOOL WINAPI CenterWindow(HWND window) {
    RECT box;
    if (!GetWindowRect(window, &box)) {
        return FALSE;
    }
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return FALSE;
    }
    const RECT& work = monitor.rcWork;
    int x = work.left + ((work.right - work.left) - (box.right - box.left)) / 2;
    int y = work.top + ((work.bottom - work.top) - (box.bottom - box.top)) / 2;
    return SetWindowPos(window, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
