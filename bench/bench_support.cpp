#include "bench_support.h"

#include <shellapi.h>
#include <string.h>

#include <algorithm>

namespace bench {

double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Minimum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 1, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
    }
    return true;
}

namespace {
struct Search {
    DWORD pid;
    const char* className;
    const char* title;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM lParam) {
    Search* search = (Search*)lParam;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char className[64] = "", title[128] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (pid == search->pid && strcmp(className, search->className) == 0 &&
        (!search->title || strcmp(title, search->title) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND FindProcessWindow(DWORD pid, const char* className, const char* title) {
    Search search = {pid, className, title, NULL};
    EnumWindows(Match, (LPARAM)&search);
    return search.found;
}

Taskbar::Taskbar() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, 0, 0,
                              0, 0, NULL, NULL, wc.hInstance, this);
    SetWindowLongPtrA(window_, GWLP_USERDATA, (LONG_PTR)this);
}

Taskbar::~Taskbar() {
    DestroyWindow(window_);
}

int Taskbar::Adds(HWND from) const {
    std::map<HWND, int>::const_iterator it = adds_.find(from);
    return it == adds_.end() ? 0 : it->second;
}

LRESULT CALLBACK Taskbar::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        Taskbar* self = (Taskbar*)GetWindowLongPtrA(window, GWLP_USERDATA);
        const COPYDATASTRUCT* data = (const COPYDATASTRUCT*)lParam;
        if (self && data->dwData == NIM_ADD) {
            ++self->adds_[(HWND)wParam];
        }
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace bench
