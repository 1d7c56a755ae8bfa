// Starts Sorvagenta beside a taskbar and prints what its notification icon says.
//
// traywatch <program> <seconds> <screenshot.bmp>
//
// A top-most "Shell_TrayWnd" of our own sits in front of the real taskbar, so the
// program's icon calls come here first: each is printed and passed on unchanged, so
// the icon still shows in the real notification area. After the given time the desktop
// is saved as a bitmap and the program is ended through its tray menu command.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HWND realTaskbar;
static char latestTip[129];

// Wine's shell hands the taskbar a record whose tooltip is UTF-16 at offset 16.
static void NoteTip(const COPYDATASTRUCT* copy) {
    if (copy->cbData < 16 + 256 || copy->dwData == 2) {
        return;
    }
    WideCharToMultiByte(CP_ACP, 0, (const wchar_t*)((const char*)copy->lpData + 16), 128, latestTip,
                        sizeof latestTip - 1, NULL, NULL);
}

static LRESULT CALLBACK RelayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        NoteTip((const COPYDATASTRUCT*)lParam);
        return realTaskbar ? SendMessageA(realTaskbar, WM_COPYDATA, wParam, lParam) : TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

static HWND CreateRelay() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RelayProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&wc);
    HWND relay = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, 0,
                                 0, 1, 1, NULL, NULL, GetModuleHandleA(NULL), NULL);
    realTaskbar = FindWindowExA(NULL, relay, "Shell_TrayWnd", NULL);
    return relay;
}

static void PumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
    }
}

static bool SaveDesktop(const char* path) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD rowBytes = ((DWORD)width * 3 + 3) & ~3u;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + rowBytes * height;
    FILE* out = fopen(path, "wb");
    bool saved = false;
    if (out) {
        saved = fwrite(&file, sizeof file, 1, out) == 1 &&
                fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                fwrite(bits, rowBytes * height, 1, out) == 1;
        fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return saved;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: traywatch <program> <seconds> <screenshot.bmp>\n");
        return 2;
    }
    CreateRelay();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program = {};
    if (!CreateProcessA(argv[1], NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &program)) {
        fprintf(stderr, "cannot start %s\n", argv[1]);
        return 1;
    }
    int seconds = atoi(argv[2]);
    for (int i = 0; i < seconds; ++i) {
        PumpFor(1000);
        printf("tooltip: %s\n", latestTip);
        fflush(stdout);
    }
    if (!SaveDesktop(argv[3])) {
        fprintf(stderr, "cannot save %s\n", argv[3]);
    }
    HWND host = FindWindowA("Sorvagenta", "Sorvagenta");
    if (host) {
        PostMessageA(host, WM_COMMAND, 1003, 0);
    }
    while (MsgWaitForMultipleObjects(1, &program.hProcess, FALSE, 10000, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        PumpFor(10);
    }
    DWORD code = 0;
    GetExitCodeProcess(program.hProcess, &code);
    printf("Sorvagenta ended with exit code %lu\n", code);
    return 0;
}
