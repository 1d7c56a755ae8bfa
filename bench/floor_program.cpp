// The least a tray utility of this design can cost: a hidden window whose 250 ms timer
// does nothing (built as floor_idle), or makes the three memory queries and nothing else
// (built as floor_queries, with FLOOR_QUERIES defined).
#include <windows.h>

#ifdef FLOOR_QUERIES
static ULONGLONG sink;

static void QueryMemoryThreeTimes() {
    for (int i = 0; i < 3; ++i) {
        MEMORYSTATUSEX status = {};
        status.dwLength = sizeof status;
        GlobalMemoryStatusEx(&status);
        sink += status.ullAvailPhys;
    }
}
#endif

static LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
#ifdef FLOOR_QUERIES
        QueryMemoryThreeTimes();
#endif
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = instance;
    wc.lpszClassName = "SorvagentaFloor";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "SorvagentaFloor", "SorvagentaFloor", WS_POPUP, 0, 0, 0, 0,
                                  NULL, NULL, instance, NULL);
    SetTimer(window, 1, 250, NULL);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        DispatchMessageA(&msg);
    }
    return 0;
}
