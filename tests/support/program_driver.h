// Drives the real Sorvagenta.exe from a test process, as the shell and a user would:
// a fake taskbar that records the notification icon, the program's process and windows,
// and waits that keep this thread's messages flowing.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace driver {

// Shell_NotifyIcon codes as the fake taskbar receives them.
enum TrayCode { kTrayAdd = 0, kTrayModify = 1, kTrayDelete = 2 };

// One notification-icon call as it reached the taskbar.
struct TrayMessage {
    DWORD code;
    HWND window;
    UINT id;
    UINT flags;
    UINT callbackMessage;
    std::string tip;
    bool hasIcon;
    int iconWidth;
    int iconHeight;
    int iconBitsPerPixel;
    std::vector<unsigned char> iconMask;   // 1 bit a pixel, rows padded to 16 bits
    std::vector<unsigned char> iconColour; // at 32 bits: BGRX, top row first
};

// A top-level "Shell_TrayWnd" made before the program starts, so the program's icon
// calls come here. Created top-most so it is found ahead of Wine's own.
class FakeTaskbar {
  public:
    FakeTaskbar();
    ~FakeTaskbar();
    bool Create();
    void Destroy();
    HWND Window() const {
        return window_;
    }
    // Calls recorded so far, only those from the given program window when not null.
    std::vector<TrayMessage> Messages(HWND from = NULL) const;
    size_t Count(HWND from = NULL) const;
    void Clear();
    // The latest tooltip the taskbar was given by the program window (empty if none).
    std::string LatestTip(HWND from) const;

  private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND window_;
    std::vector<TrayMessage> messages_;
};

// Pumps this thread's messages until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);

// Pumps messages for a while regardless: only for checking that nothing happens.
void PumpFor(DWORD ms);

// The program beside the test executable.
std::string ProgramPath();

struct Program {
    HANDLE process = NULL;
    DWORD pid = 0;
    HWND host = NULL;
};

// Starts Sorvagenta.exe (not waiting for anything).
bool StartProgram(Program* program);
// Starts it and waits for its hidden host window.
bool StartProgramAndWaitForHost(Program* program, DWORD timeoutMs = 30000);
// Waits for the process to end, pumping messages; false on time-out.
bool WaitForExit(Program* program, DWORD* exitCode, DWORD timeoutMs = 30000);
// Ends it the way the tray menu's Exit does, then waits.
bool ExitProgram(Program* program, DWORD* exitCode = NULL);
void KillProgram(Program* program);
void CloseProgram(Program* program);

// Top-level windows of a process, optionally of one class, title, or visible only.
std::vector<HWND> ProcessWindows(DWORD pid, const char* className = NULL, const char* title = NULL,
                                 bool visibleOnly = false);
HWND FindProcessWindow(DWORD pid, const char* className, const char* title = NULL,
                       bool visibleOnly = false);
// Waits for a visible top-level window of the process with that class (and title).
HWND WaitForWindow(DWORD pid, const char* className, const char* title = NULL,
                   DWORD timeoutMs = 20000);

std::string WindowText(HWND window);
std::string ClassOf(HWND window);

// The process's popup menu ("#32768") while it tracks one.
HWND FindOpenMenu(DWORD pid);

// Posts the notification-icon callback the shell would send for a mouse event.
void PostTrayMouse(const Program& program, UINT mouseMessage);
// Posts a tray menu command to the host window.
void PostTrayCommand(const Program& program, UINT command);

// Reads the screen's pixels of a rectangle (screen coordinates), BGRX rows top first.
std::vector<unsigned char> CaptureScreen(const RECT& box);

} // namespace driver
