// A hook library the Details tests load into the running program to read a window's
// system menu: under Wine another process's menu handles cannot be read from outside.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "details_menu_spy.h"

// Writes one line per item: "S" for a separator, else "<id> <text>".
extern "C" __declspec(dllexport) int DescribeSystemMenu(HWND window, char* out, int size) {
    HMENU menu = GetSystemMenu(window, FALSE);
    int count = GetMenuItemCount(menu);
    int used = 0;
    out[0] = '\0';
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        GetMenuItemInfoA(menu, (UINT)i, TRUE, &item);
        int n = (item.fType & MFT_SEPARATOR)
                    ? snprintf(out + used, (size_t)(size - used), "S\n")
                    : snprintf(out + used, (size_t)(size - used), "%u %s\n", item.wID, text);
        if (n < 0 || n >= size - used) {
            return -1;
        }
        used += n;
    }
    return count;
}

// Answers the request message posted to a window of the hooked thread: the window's
// system menu goes back by WM_COPYDATA to the window named in wParam.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    DetailsMenuSpyHook(int code, WPARAM removal, LPARAM lParam) {
    const MSG* msg = (const MSG*)lParam;
    if (code == HC_ACTION && removal == PM_REMOVE &&
        msg->message == RegisterWindowMessageA(kMenuSpyRequest)) {
        char description[4096];
        DescribeSystemMenu(msg->hwnd, description, sizeof description);
        COPYDATASTRUCT copy = {kMenuSpyReply, (DWORD)strlen(description) + 1, description};
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA((HWND)msg->wParam, WM_COPYDATA, (WPARAM)msg->hwnd, (LPARAM)&copy,
                            SMTO_ABORTIFHUNG, 10000, &ignored);
    }
    return CallNextHookEx(NULL, code, removal, lParam);
}
