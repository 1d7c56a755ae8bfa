// Starts Sorvagenta beside a taskbar and prints what its notification icon says.
//
// traywatch <program> <seconds> <screenshot.bmp>
//
// The tests' fake taskbar sits in front of the real one, so the program's icon calls come
// there first: each is passed on unchanged, so the icon still shows in the real notification
// area, and the latest tooltip is printed once a second. After the given time the desktop is
// saved as a bitmap and the program is ended through its tray menu command.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "support/program_driver.h"

using namespace driver;

// A 24-bit bitmap, bottom row first: what every viewer reads alike.
static bool SaveDesktop(const char* path) {
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    RECT screen = {0, 0, width, height};
    std::vector<unsigned char> pixels = CaptureScreen(screen); // BGRX, top row first
    DWORD rowBytes = ((DWORD)width * 3 + 3) & ~3u;
    std::vector<unsigned char> rows(rowBytes * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            memcpy(&rows[(height - 1 - y) * rowBytes + x * 3], &pixels[(y * width + x) * 4], 3);
        }
    }
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + (DWORD)rows.size();
    FILE* out = fopen(path, "wb");
    bool saved = out && fwrite(&file, sizeof file, 1, out) == 1 &&
                 fwrite(&info, sizeof info, 1, out) == 1 &&
                 fwrite(rows.data(), rows.size(), 1, out) == 1;
    if (out) {
        fclose(out);
    }
    return saved;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: traywatch <program> <seconds> <screenshot.bmp>\n");
        return 2;
    }
    FakeTaskbar taskbar;
    taskbar.PassOn();
    Program program;
    if (!taskbar.Create() || !StartProgramAndWaitForHost(&program, argv[1])) {
        fprintf(stderr, "cannot start %s beside a taskbar\n", argv[1]);
        CloseProgram(&program); // a copy started without its window would block the next
        return 1;
    }
    for (int i = 0; i < atoi(argv[2]); ++i) {
        PumpFor(1000);
        printf("tooltip: %s\n", taskbar.LatestTip(program.host).c_str());
        fflush(stdout);
    }
    if (!SaveDesktop(argv[3])) {
        fprintf(stderr, "cannot save %s\n", argv[3]);
    }
    DWORD code = 0;
    if (!ExitProgram(&program, &code)) {
        fprintf(stderr, "Sorvagenta did not end from its menu's Exit: ended by force\n");
        CloseProgram(&program);
        return 1;
    }
    printf("Sorvagenta ended with exit code %lu\n", code);
    CloseProgram(&program);
    return 0;
}
