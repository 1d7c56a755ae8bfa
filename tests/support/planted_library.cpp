// Stands in for a library a download left beside the program: copied under a system
// library's name, it writes its own path into loaded.txt in its folder when it is loaded.
#include <windows.h>

#include <string.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH];
        DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
        char log[MAX_PATH + 16];
        memcpy(log, path, length + 1);
        char* slash = strrchr(log, '\\');
        strcpy(slash ? slash + 1 : log, "loaded.txt");
        HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD written;
        WriteFile(file, path, length, &written, NULL);
        WriteFile(file, "\r\n", 2, &written, NULL);
        CloseHandle(file);
    }
    return TRUE;
}
