// Keeps Wine's desktop process alive for a whole test run. Wine ends it when the last program
// on the desktop ends and starts it again for the next one, which costs each test program
// about a second. scripts/test.sh starts this idle program, with one hidden window, before
// the tests; it ends with the run's wineserver.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CreateWindowExA(0, "Static", "desktop keeper", WS_POPUP, 0, 0, 1, 1, NULL, NULL, instance,
                    NULL);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    return 0;
}
