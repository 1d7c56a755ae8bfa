// Time from process start to the first window of each floor program and to Sorvagenta's
// first icon add, as the test driver's fake taskbar receives it. Each round starts every program
// once, in turn, so all are measured under the same load; reports medians, and the ratio
// of Sorvagenta's first icon add to floor_queries' first window per round.
//
// start_bench <rounds> <floor_idle.exe> <floor_queries.exe> <Sorvagenta.exe>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <vector>

#include "bench_support.h"
#include "product.h"
#include "support/program_driver.h"

using namespace bench;
using namespace driver;

// Starts the program and returns the milliseconds to its first window of the class, or,
// when a taskbar is given, to its first icon add; ends it again. 0 when it never came.
static double TimeStart(const char* path, const char* windowClass, FakeTaskbar* taskbar) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    double start = NowMs();
    if (!CreateProcessA(path, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        fprintf(stderr, "cannot start %s\n", path);
        exit(1);
    }
    HWND window = NULL;
    double at = 0;
    WaitUntil([&] {
        if (!window) {
            window = FindProcessWindow(info.dwProcessId, windowClass);
        }
        if (window && (!taskbar || taskbar->Count(window) > 0)) {
            at = NowMs() - start;
        }
        return at > 0;
    });
    if (window) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
    }
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return at;
}

static void Report(const char* what, const std::vector<double>& values, const char* unit) {
    printf("%-46s median %7.2f%s  min %7.2f%s  (%zu rounds)\n", what, Median(values), unit,
           Minimum(values), unit, values.size());
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: start_bench <rounds> <floor_idle.exe> <floor_queries.exe> "
                        "<Sorvagenta.exe>\n");
        return 2;
    }
    int rounds = atoi(argv[1]);
    std::vector<double> idle, queries, icon, ratio;
    for (int round = 0; round < rounds; ++round) {
        idle.push_back(TimeStart(argv[2], "SorvagentaFloor", NULL));
        queries.push_back(TimeStart(argv[3], "SorvagentaFloor", NULL));
        FakeTaskbar taskbar;
        taskbar.Create();
        icon.push_back(TimeStart(argv[4], SORVAGENTA_NAME, &taskbar));
        if (queries.back() > 0 && icon.back() > 0) {
            ratio.push_back(icon.back() / queries.back());
        }
    }
    Report("floor_idle: start to first window", idle, " ms");
    Report("floor_queries: start to first window", queries, " ms");
    Report(SORVAGENTA_NAME ": start to first icon add", icon, " ms");
    Report("ratio, icon add to floor_queries' window", ratio, "  ");
    return 0;
}
