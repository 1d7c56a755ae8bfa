#include "app/host_window.h"

#include <shellapi.h>

#include "about/about_dialog.h"
#include "about/logo_control.h"
#include "details/details_dialog.h"
#include "platform/bounded_text.h"
#include "platform/program.h"
#include "readouts/tray_readout.h"
#include "resource.h"

// The one icon record, resent whole with every shell call.
static NOTIFYICONDATAA trayIcon;
// Whether the shell holds the icon, as the result of the last add, modify or delete said.
static BOOL shellHoldsIcon = FALSE;
static UINT taskbarCreatedMessage = 0xFFFFFFFF;
static BOOL firstTick = TRUE;
static HMENU menuBar;
static HMENU trayMenu;
static POINT cursorPoint;

static HICON LoadProgramIcon(int iconId) {
    return LoadIconA(hInstance, MAKEINTRESOURCEA(iconId & 0xFFFF));
}

// An add the shell refuses may still have left it holding the icon (a restart message
// while it shows ours, or an add it took but timed out): a modify then makes it current.
static void AddIconToShell() {
    shellHoldsIcon = Shell_NotifyIconA(NIM_ADD, &trayIcon);
    if (!shellHoldsIcon) {
        shellHoldsIcon = Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
    }
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
    AddIconToShell();
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
    // Without the icon the shell would refuse the modify; the next tick's add carries this.
    if (shellHoldsIcon) {
        shellHoldsIcon = Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
        if (!shellHoldsIcon) {
            // The shell may have dropped the icon while busy: give it back at once.
            shellHoldsIcon = Shell_NotifyIconA(NIM_ADD, &trayIcon);
        }
    }
}

// Without the progress bars' class the dialog could not be made: it does not open.
static void OpenDetailsDialog(HWND hwnd) {
    if (RegisterDetailsControlClasses()) {
        DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_DETAILS), hwnd, DetailsDialogProc, 0);
    }
}

static void OnRefreshTimer(HWND hwnd) {
    if (firstTick) {
        // The first tick comes at once; from then on, four times a second.
        SetTimer(hwnd, TIMER_REFRESH, 250, NULL);
        firstTick = FALSE;
    }
    BOOL iconWasHeld = shellHoldsIcon;
    RefreshTrayReadout();
    if (!iconWasHeld) {
        // Each tick tries a refused add once more, with the picture and tooltip just set.
        AddIconToShell();
    }
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
    // Taking the foreground and showing the menu change windows under X11 while the About
    // box's logo may be drawing: the two have hung each other there, so the logo waits.
    HoldLogoDrawing(TRUE);
    // The host must be foreground or the menu stays up when the user clicks away.
    SetForegroundWindow(hwnd);
    TrackPopupMenuEx(trayMenu, TPM_RIGHTBUTTON, cursorPoint.x, cursorPoint.y, hwnd, NULL);
    HoldLogoDrawing(FALSE);
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
        if (Shell_NotifyIconA(NIM_DELETE, &trayIcon)) {
            shellHoldsIcon = FALSE;
        }
        PostQuitMessage(0);
        break;
    default:
        if (message == taskbarCreatedMessage) {
            // The taskbar was restarted: the icon comes back as it last was.
            AddIconToShell();
        }
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
