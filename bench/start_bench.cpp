// Time from process start to a program's first window and, for Sorvagenta, to its first
// icon add as a taskbar of our own receives it. Prints the median of several starts.
//
// start_bench <program.exe> <window class> <runs>
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <vector>

#include "support/program_driver.h"

using namespace driver;

static double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

static double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: start_bench <program.exe> <window class> <runs>\n");
        return 2;
    }
    int runs = atoi(argv[3]);
    std::vector<double> toWindow, toIcon;
    for (int run = 0; run < runs; ++run) {
        FakeTaskbar taskbar;
        taskbar.Create();
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        double start = NowMs();
        if (!CreateProcessA(argv[1], NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
            fprintf(stderr, "cannot start %s\n", argv[1]);
            return 1;
        }
        HWND window = NULL;
        double windowAt = 0, iconAt = 0;
        WaitUntil(
            [&] {
                if (!window && (window = FindProcessWindow(info.dwProcessId, argv[2])) != NULL) {
                    windowAt = NowMs() - start;
                }
                if (window && !iconAt && taskbar.Count(window) > 0) {
                    iconAt = NowMs() - start;
                }
                return window && (iconAt || strcmp(argv[2], "Sorvagenta") != 0);
            },
            30000);
        toWindow.push_back(windowAt);
        if (iconAt) {
            toIcon.push_back(iconAt);
        }
        PostMessageA(window, strcmp(argv[2], "Sorvagenta") == 0 ? WM_COMMAND : WM_CLOSE,
                     strcmp(argv[2], "Sorvagenta") == 0 ? 1003 : 0, 0);
        WaitUntil([&] { return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; });
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    printf("first window: %.1f ms", Median(toWindow));
    if (!toIcon.empty()) {
        printf(", first icon add: %.1f ms", Median(toIcon));
    }
    printf(" (median of %d starts)\n", runs);
    return 0;
}
