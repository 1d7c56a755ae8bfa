#include "details/details_dialog.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>

#include "about/about_dialog.h"
#include "platform/program.h"
#include "platform/system_library.h"
#include "product.h"
#include "readouts/details_readout.h"
#include "readouts/memory_status.h"
#include "readouts/readout_logic.h"
#include "resource.h"
#include "tamsprock.h"
#include "version.h"

static const char kWebSiteAddress[] = SORVAGENTA_WEB_ADDRESS;

// Read by the host window to keep a second dialog from opening.
static HWND detailsDialog;
static HWND totalText;
static DetailsReadoutControls readoutControls;
static HMENU systemMenu;
// Whether the progress bars' class is registered (the common controls loaded).
static BOOL controlClassesRegistered = FALSE;
// Set while the Version box is open, and while the web site is being opened.
static BOOL versionBoxOpen = FALSE;
static BOOL openingWebSite = FALSE;

HWND DetailsDialogHandle() {
    return detailsDialog;
}

BOOL RegisterDetailsControlClasses() {
    if (!controlClassesRegistered) {
        HMODULE commonControls = LoadSystemLibrary(L"comctl32.dll");
        decltype(&::InitCommonControlsEx) initCommonControls =
            EntryPoint<decltype(initCommonControls)>(commonControls, "InitCommonControlsEx");
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
        controlClassesRegistered = initCommonControls && initCommonControls(&controls);
        // The registered class lives in the library, which then stays loaded.
        if (!controlClassesRegistered && commonControls) {
            FreeLibrary(commonControls);
        }
    }
    return controlClassesRegistered;
}

static void ExtendSystemMenu(HWND dialog) {
    systemMenu = GetSystemMenu(dialog, FALSE);
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(systemMenu, MF_STRING, SYSCMD_VERSION, "Version");
    AppendMenuA(systemMenu, MF_STRING, SYSCMD_ABOUT, "About");
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(systemMenu, MF_STRING, SYSCMD_WEBSITE, kWebSiteHost);
}

static void FindReadoutControls(HWND dialog) {
    totalText = GetDlgItem(dialog, IDC_TOTAL_TEXT);
    readoutControls.usedText = GetDlgItem(dialog, IDC_USED_TEXT);
    readoutControls.usedBar = GetDlgItem(dialog, IDC_USED_BAR);
    readoutControls.freeText = GetDlgItem(dialog, IDC_FREE_TEXT);
    readoutControls.freeBar = GetDlgItem(dialog, IDC_FREE_BAR);
}

static void ShowTotalMemory() {
    // Total does not change while the program runs, so it is written once.
    char text[kReadoutTextSize];
    FormatTotalText(text, sizeof text, QueryTotalPhysical());
    Set_Text(totalText, text);
}

static void SetTopMost(HWND dialog, BOOL topMost) {
    SetWindowPos(dialog, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
}

static void InitDetailsDialog(HWND dialog) {
    detailsDialog = dialog;
    ExtendSystemMenu(dialog);
    SendMessageA(dialog, WM_SETTEXT, 0, (LPARAM)kProgramName);
    SendMessageA(dialog, WM_SETICON, ICON_BIG,
                 (LPARAM)LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_MAIN)));
    FindReadoutControls(dialog);
    ShowTotalMemory();
    // The cache was reset when the dialog last closed, so this fills every control.
    RefreshDetailsReadout(&readoutControls);
    SetTimer(dialog, TIMER_REFRESH, 250, NULL);
    CheckDlgButton(dialog, IDC_TOPMOST, BST_CHECKED);
    SetTopMost(dialog, TRUE);
    // Last, once the dialog has its final size.
    CenterWindow(dialog);
}

static void ForgetDialog() {
    detailsDialog = NULL;
    ResetDetailsReadout();
}

static void CloseDetailsDialog(HWND dialog) {
    EndDialog(dialog, 0);
    KillTimer(dialog, TIMER_REFRESH);
    DestroyWindow(dialog);
    ForgetDialog();
}

static void ShowVersionBox(HWND dialog) {
    char text[128];
    snprintf(text, sizeof text, SORVAGENTA_MAKER " %s, Version %s", kProgramName,
             SORVAGENTA_VERSION_TEXT);
    MessageBoxA(dialog, text, "Application Version", MB_OK | MB_TASKMODAL);
}

static void OpenWebSite(HWND) {
    ShellExecuteA(NULL, "Open", kWebSiteAddress, NULL, NULL, SW_SHOWNORMAL);
}

// The box's modal loop, and the shell's while it hands the address on, still dispatch what
// is posted to this dialog: a repeated command waits for the first to finish rather than
// nesting another box (thousands of them overflow the stack) or another opening.
static void RunUnlessRunning(BOOL* running, void (*action)(HWND), HWND dialog) {
    if (!*running) {
        *running = TRUE;
        action(dialog);
        *running = FALSE;
    }
}

static void OnCommand(HWND dialog, WPARAM wParam) {
    // Only a click (notification 0) counts; Escape's IDCANCEL falls through and is ignored.
    if (wParam == IDC_OKAY) {
        CloseDetailsDialog(dialog);
    } else if (wParam == IDC_TOPMOST) {
        SetTopMost(dialog, IsDlgButtonChecked(dialog, IDC_TOPMOST));
    }
}

static void OnSysCommand(HWND dialog, WPARAM wParam) {
    // Our ids are not multiples of 16, so the whole low word is compared rather than the
    // id with its low 4 bits masked off.
    switch (LOWORD(wParam)) {
    case SYSCMD_VERSION:
        RunUnlessRunning(&versionBoxOpen, ShowVersionBox, dialog);
        break;
    case SYSCMD_ABOUT:
        // The About box's modal loop still dispatches messages posted to this dialog, a
        // second About among them: one box at a time. Our timer keeps firing inside it.
        if (!AboutDialogHandle()) {
            ShowAboutBox(hInstance, dialog);
        }
        break;
    case SYSCMD_WEBSITE:
        RunUnlessRunning(&openingWebSite, OpenWebSite, dialog);
        break;
    }
}

INT_PTR CALLBACK DetailsDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        InitDetailsDialog(hwnd);
        break;
    case WM_TIMER:
        RefreshDetailsReadout(&readoutControls);
        break;
    case WM_COMMAND:
        OnCommand(hwnd, wParam);
        break;
    case WM_SYSCOMMAND:
        // Other commands, the close box's included, go on to the dialog manager.
        OnSysCommand(hwnd, wParam);
        break;
    case WM_CLOSE:
        CloseDetailsDialog(hwnd);
        break;
    case WM_DESTROY:
        ForgetDialog();
        break;
    }
    // The dialog manager always gets its default handling, and no focus is set.
    return FALSE;
}
