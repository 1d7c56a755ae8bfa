#include "app/host_window.h"

#include <shellapi.h>

#include "about/about_dialog.h"
#include "app/program.h"
#include "details/details_dialog.h"
#include "readouts/readout_logic.h"
#include "readouts/tray_readout.h"
#include "resource.h"

// The one icon record, resent whole with every shell call.
static NOTIFYICONDATAA trayIcon;
static UINT taskbarCreatedMessage = 0xFFFFFFFF;
static BOOL firstTick = TRUE;
static HMENU menuBar;
static HMENU trayMenu;
static POINT cursorPoint;

static HICON LoadProgramIcon(int iconId) {
    return LoadIconA(hInstance, MAKEINTRESOURCEA(iconId & 0xFFFF));
}

static void CopyTip(const char* text) {
    // The tooltip field is 64 bytes; a longer text is cut, never overrun.
    CopyBounded(trayIcon.szTip, sizeof trayIcon.szTip, text);
}

void AddTrayIcon(HWND host, int iconId, const char* windowName) {
    // The first record layout, whatever this SDK's full size is.
    trayIcon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    trayIcon.hWnd = host;
    trayIcon.hIcon = LoadProgramIcon(iconId);
    trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIcon.uCallbackMessage = WM_TRAYNOTIFY;
    if (windowName) {
        CopyTip(windowName);
    }
    Shell_NotifyIconA(NIM_ADD, &trayIcon);
}

void BuildTrayMenu() {
    menuBar = CreateMenu();
    trayMenu = CreateMenu();
    AppendMenuA(trayMenu, MF_STRING, CMD_TRAY_ABOUT, "A&bout");
    AppendMenuA(trayMenu, MF_STRING, CMD_TRAY_DETAILS, "D&etails");
    AppendMenuA(trayMenu, MF_STRING, CMD_TRAY_EXIT, "E&xit");
    // Without MF_BYPOSITION the 0 is a command id; the bar is never shown either way.
    InsertMenuA(menuBar, 0, MF_POPUP, (UINT_PTR)trayMenu, "invisible menu");
}

void UpdateTrayIcon(int iconId, const char* tipText) {
    if (iconId != 0) {
        trayIcon.hIcon = LoadProgramIcon(iconId);
    }
    if (tipText) {
        CopyTip(tipText);
    }
    Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
}

static void OpenDetailsDialog(HWND hwnd) {
    RegisterDetailsControlClasses();
    DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_DETAILS), hwnd, DetailsDialogProc, 0);
}

static void OnRefreshTimer(HWND hwnd) {
    if (firstTick) {
        // The first tick comes at once; from then on, four times a second.
        SetTimer(hwnd, TIMER_REFRESH, 250, NULL);
        firstTick = FALSE;
    }
    RefreshTrayReadout();
}

static void OnCommand(HWND hwnd, int command) {
    switch (command) {
    case CMD_TRAY_EXIT:
        KillTimer(hwnd, TIMER_REFRESH);
        DestroyWindow(hwnd);
        break;
    case CMD_TRAY_ABOUT:
        if (!AboutDialogHandle() && !DetailsDialogHandle()) {
            ShowAboutBox(hInstance, hwnd);
        }
        break;
    case CMD_TRAY_DETAILS:
        if (!DetailsDialogHandle() && !AboutDialogHandle()) {
            OpenDetailsDialog(hwnd);
        }
        break;
    }
}

static void ShowTrayMenu(HWND hwnd) {
    GetCursorPos(&cursorPoint);
    // The host must be foreground or the menu stays up when the user clicks away.
    SetForegroundWindow(hwnd);
    TrackPopupMenuEx(trayMenu, TPM_RIGHTBUTTON, cursorPoint.x, cursorPoint.y, hwnd, NULL);
    PostMessageA(hwnd, WM_NULL, 0, 0);
}

static void OnLeftButtonDown(HWND hwnd) {
    if (AboutDialogHandle()) {
        SetForegroundWindow(AboutDialogHandle());
    } else if (DetailsDialogHandle()) {
        SetForegroundWindow(DetailsDialogHandle());
    } else {
        OpenDetailsDialog(hwnd);
    }
}

static void OnTrayNotify(HWND hwnd, LPARAM mouseMessage) {
    if (mouseMessage == WM_RBUTTONDOWN) {
        ShowTrayMenu(hwnd);
    } else if (mouseMessage == WM_LBUTTONDOWN) {
        OnLeftButtonDown(hwnd);
    }
}

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
        SetTimer(hwnd, TIMER_REFRESH, 0, NULL);
        break;
    case WM_TIMER:
        OnRefreshTimer(hwnd);
        break;
    case WM_COMMAND:
        OnCommand(hwnd, LOWORD(wParam));
        break;
    case WM_TRAYNOTIFY:
        OnTrayNotify(hwnd, lParam);
        break;
    case WM_CLOSE:
        KillTimer(hwnd, TIMER_REFRESH);
        DestroyWindow(hwnd);
        break;
    case WM_DESTROY:
        UnregisterClassA(kProgramName, hInstance);
        Shell_NotifyIconA(NIM_DELETE, &trayIcon);
        PostQuitMessage(0);
        break;
    default:
        if (message == taskbarCreatedMessage) {
            // The taskbar was restarted: the icon comes back as it last was.
            Shell_NotifyIconA(NIM_ADD, &trayIcon);
        }
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
