#include "about/about_dialog.h"

#include <stdio.h>

#include "about/logo_control.h"
#include "platform/program.h"
#include "product.h"
#include "resource.h"

static const char kAuthorCredit[] = SORVAGENTA_NAME ", written by " SORVAGENTA_MAKER "\r\n";
static const char kCreditsRule[] = "________________________________\r\n";
static const char kCopyrightNotice[] = SORVAGENTA_COPYRIGHT " All rights reserved.\r\n";

static const COLORREF kCreditsText = RGB(0, 0, 0);
static const COLORREF kCreditsBack = RGB(255, 255, 255);

// Read by the host window to keep a second dialog from opening.
static HWND aboutDialog;
// Kept after the dialog closes; only compared with the lParam of colour notifications.
static HWND creditsBox;
// The brush last handed to the credits box; it must outlive the paint that asked for it.
static HBRUSH creditsBrush;

HWND AboutDialogHandle() {
    return aboutDialog;
}

static void AppendEditText(HWND edit, const char* text) {
    LRESULT length = SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
    SendMessageA(edit, EM_SETSEL, (WPARAM)length, (LPARAM)length);
    SendMessageA(edit, EM_REPLACESEL, FALSE, (LPARAM)text);
}

// Integer halves on purpose: the box sits half a caption height above the true centre.
static void CenterOnScreen(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height - GetSystemMetrics(SM_CYCAPTION)) / 2;
    SetWindowPos(window, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

static HBRUSH SetCreditsColors(COLORREF textColour, COLORREF backColour, HDC deviceContext) {
    if (creditsBrush) {
        DeleteObject(creditsBrush);
    }
    creditsBrush = CreateSolidBrush(backColour);
    SetTextColor(deviceContext, textColour);
    SetBkColor(deviceContext, backColour);
    return creditsBrush;
}

static void FillCredits(HWND edit) {
    // The host name is the one the Details dialog's system menu shows.
    char hostLine[64];
    snprintf(hostLine, sizeof hostLine, "%s\r\n", kWebSiteHost);
    AppendEditText(edit, kAuthorCredit);
    AppendEditText(edit, hostLine);
    AppendEditText(edit, kCreditsRule);
    AppendEditText(edit, kCopyrightNotice);
}

static void InitAboutDialog(HWND dialog) {
    aboutDialog = dialog;
    creditsBox = GetDlgItem(dialog, IDC_CREDITS);
    FillCredits(creditsBox);
    CenterOnScreen(dialog);
}

// Destroying the dialog destroys the logo control, which joins its render thread.
static void CloseAboutDialog(HWND dialog) {
    EndDialog(dialog, 0);
    DestroyWindow(dialog);
    aboutDialog = NULL;
}

// The order of the tests matters: a WM_COMMAND never reaches the colour test below.
static INT_PTR CALLBACK AboutDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        InitAboutDialog(hwnd);
        return 0;
    }
    if (message == WM_COMMAND) {
        // Only "Ok" or Enter (notification 0 on id 100); Escape's IDCANCEL is ignored.
        if (wParam == IDC_OKAY) {
            CloseAboutDialog(hwnd);
        }
        return 0;
    }
    // Before the first showing the box is unknown, and a null would match every message
    // sent with a zero lParam.
    if (creditsBox && (HWND)lParam == creditsBox) {
        return (INT_PTR)SetCreditsColors(kCreditsText, kCreditsBack, (HDC)wParam);
    }
    if (message == WM_CLOSE) {
        CloseAboutDialog(hwnd);
    } else if (message == WM_DESTROY) {
        aboutDialog = NULL;
    }
    return 0;
}

int ShowAboutBox(HINSTANCE instance, HWND parent) {
    // Every time: a repeated registration fails harmlessly, and the template needs the class.
    RegisterLogoControlClass(instance);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), parent ? parent : GetActiveWindow(),
                    AboutDialogProc, 0);
    return 1;
}
