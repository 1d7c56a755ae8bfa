// Stands in for the browser a web address is opened with: appends the address to a log, then
// waits, as a browser still starting would, until the test lets it go (a minute at most).
//
// browser_standin <log> <address>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "browser_standin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc != 3) {
        return 2;
    }
    HANDLE log = CreateFileA(__argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(log, __argv[2], (DWORD)strlen(__argv[2]), &written, NULL);
    WriteFile(log, "\n", 1, &written, NULL);
    CloseHandle(log);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, kBrowserStandInRelease);
    if (release) {
        WaitForSingleObject(release, 60000);
        CloseHandle(release);
    }
    return 0;
}
