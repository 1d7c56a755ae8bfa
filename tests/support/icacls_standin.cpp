// Stands in for the system's icacls.exe in the installer tests (Wine has no access rights to
// see): appends its command line to the file SORVAGENTA_ICACLS_LOG names and exits with the
// code in SORVAGENTA_ICACLS_EXIT (0 without it).
#include <windows.h>

#include <stdlib.h>

int main() {
    char log[MAX_PATH] = "";
    char code[16] = "0";
    GetEnvironmentVariableA("SORVAGENTA_ICACLS_LOG", log, MAX_PATH);
    GetEnvironmentVariableA("SORVAGENTA_ICACLS_EXIT", code, sizeof code);
    HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        const char* line = GetCommandLineA();
        DWORD written = 0;
        WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
        WriteFile(file, "\n", 1, &written, NULL);
        CloseHandle(file);
    }
    return atoi(code);
}
