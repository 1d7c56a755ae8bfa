// Reports the frames per second the logo control reaches at its dialog size and the CPU the
// process uses meanwhile; also how fast the scene alone draws at that size, unpaced.
//     logo_benchmark.exe [seconds]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <GL/gl.h>

#include "about/logo_animation.h"
#include "about/logo_control.h"
#include "about/logo_scene.h"
#include "support/logo_test_resource.h"
#include "support/logo_test_support.h"
#include "resource.h"
#include "support/program_driver.h"

using namespace logo_test;

static INT_PTR CALLBACK BenchmarkDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

static double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)now.QuadPart / frequency.QuadPart;
}

static double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (k.QuadPart + u.QuadPart) / 1e7;
}

static void MeasureControl(double seconds) {
    RegisterLogoControlClass(GetModuleHandleA(NULL));
    LogoAnimation before = processLogoAnimation;
    double cpu0 = CpuSeconds();
    double t0 = Seconds();
    HWND dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_LOGO_TEST), NULL,
                                     BenchmarkDialogProc, 0);
    RECT outer;
    GetWindowRect(GetDlgItem(dialog, IDC_LOGO), &outer);
    driver::PumpFor((DWORD)(seconds * 1000));
    DestroyWindow(dialog);
    double elapsed = Seconds() - t0;
    double cpu = CpuSeconds() - cpu0;
    long frames = FramesBetween(before, processLogoAnimation, 100000000);
    printf("control %ldx%ld px (70x49 dialog units): %ld frames in %.2f s = %.0f frames/s\n",
           outer.right - outer.left, outer.bottom - outer.top, frames, elapsed, frames / elapsed);
    printf("process CPU while shown: %.2f s of %.2f s = %.0f%% of one core\n", cpu, elapsed,
           100.0 * cpu / elapsed);
}

static void MeasureSceneAlone(int width, int height, double seconds) {
    GLWindow window(width, height);
    if (!window.Ready()) {
        printf("no GL context for the unpaced scene\n");
        return;
    }
    LogoSceneInit(width, height);
    long frames = 0;
    double t0 = Seconds();
    while (Seconds() - t0 < seconds) {
        LogoSceneDrawFrame();
        SwapBuffers(wglGetCurrentDC());
        ++frames;
    }
    glFinish();
    double elapsed = Seconds() - t0;
    printf("scene alone, unpaced, %dx%d px: %.0f frames/s (%.3f ms a frame)\n", width, height,
           frames / elapsed, 1000.0 * elapsed / frames);
}

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 10.0;
    MeasureControl(seconds);
    MeasureSceneAlone(107, 80, seconds / 2);
    return 0;
}
