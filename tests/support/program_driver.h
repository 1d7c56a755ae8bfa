// Drives the real Sorvagenta.exe as the shell and a user would: a fake taskbar recording the
// notification icon, the program's process and windows, and waits that keep messages flowing.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace driver {

const char kDialogClass[] = "#32770";

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
    bool refused;                          // the taskbar answered FALSE
    DWORD receivedAt;                      // GetTickCount when it came
};

// How the fake taskbar answers icon calls. By default it takes every call.
struct TaskbarPolicy {
    int refuseAdds = 0;       // refuses this many adds before it takes any
    bool refuseAll = false;   // refuses every call, as if no taskbar were running
    bool likeWindows = false; // refuses an add of an icon it holds, a modify of one it does not
};

// A top-level "Shell_TrayWnd" made before the program starts, so the program's icon calls
// come here. Top-most, so that it is found ahead of Wine's own.
class FakeTaskbar {
  public:
    // Called for each call once answered, while the program still waits for the answer.
    using CallWatcher = std::function<void(const TrayMessage&)>;

    ~FakeTaskbar();
    bool Create();
    void Destroy();
    HWND Window() const {
        return window_;
    }
    // Calls recorded so far, only those from the given program window when not null.
    std::vector<TrayMessage> Messages(HWND from = NULL) const;
    size_t Count(HWND from = NULL) const;
    void Clear() {
        messages_.clear();
    }
    // The latest tooltip the program window gave (empty if none).
    std::string LatestTip(HWND from) const;
    void SetPolicy(const TaskbarPolicy& policy) {
        policy_ = policy;
    }
    // Drops every icon it holds, as a busy shell may.
    void ForgetIcons() {
        held_.clear();
    }
    // The icons of the program window the taskbar holds, each as its last taken call.
    std::vector<TrayMessage> HeldIcons(HWND from) const;
    void WatchCalls(const CallWatcher& watcher) {
        watcher_ = watcher;
    }
    // Hands every call on to the taskbar behind this one, so the icon still shows for real.
    void PassOn() {
        passOn_ = true;
    }

  private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    bool Take(const TrayMessage& message);
    HWND window_ = NULL;
    std::vector<TrayMessage> messages_;
    TaskbarPolicy policy_;
    std::vector<TrayMessage> held_;
    CallWatcher watcher_;
    bool passOn_ = false;
};

// Pumps this thread's messages until the condition holds or the time is up, pausing up to
// pauseMs between tries while no message comes.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000, DWORD pauseMs = 20);
// Pumps messages for a while regardless: only for checking that nothing happens.
void PumpFor(DWORD ms);

// The test executable's own folder, ending in a backslash.
std::string BuiltFolder();
// SORVAGENTA_PROGRAM_DIR when set (to drive another build, such as the MSVC-style one), else
// BuiltFolder(); and the program in it.
std::string ProgramFolder();
std::string ProgramPath();
// The built program loaded for its resources only. FreeLibrary when done.
HMODULE LoadProgramAsData();
// A resource stored under English (United States), as all of the program's are; empty if none.
struct Resource {
    const unsigned char* data = nullptr;
    DWORD size = 0;
};
Resource FindEnglishResource(HMODULE module, LPCSTR type, int id);

struct Program {
    HANDLE process = NULL;
    DWORD pid = 0;
    HWND host = NULL;
};

// Starts Sorvagenta.exe (the built one unless path names another) without waiting: suspended
// when given a place for its thread (the caller resumes and closes it), on a desktop if given
// ("winstation\\desktop" or one of this window station).
bool StartProgram(Program* program, HANDLE* suspendedThread = NULL,
                  const std::string& path = ProgramPath(), const char* desktop = NULL);
// Starts it and waits for its hidden host window.
bool StartProgramAndWaitForHost(Program* program, const std::string& path = ProgramPath());
// Waits for the process to end, pumping messages; false on time-out.
bool WaitForExit(Program* program, DWORD* exitCode, DWORD timeoutMs = 30000);
// Ends it the way the tray menu's Exit does, then waits.
bool ExitProgram(Program* program, DWORD* exitCode = NULL);
void KillProgram(Program* program);
void CloseProgram(Program* program);
// Ends every copy of the program running here, whoever started it; returns how many.
int EndLeftoverCopies();

// Top-level windows of a process, optionally of one class, title, or visible only.
std::vector<HWND> ProcessWindows(DWORD pid, const char* className = NULL, const char* title = NULL,
                                 bool visibleOnly = false);
HWND FindProcessWindow(DWORD pid, const char* className, const char* title = NULL,
                       bool visibleOnly = false);
// Waits for a visible top-level window of the process with that class (and title); when shown
// is false, for one that merely exists, looked for without pause to find it before it shows.
HWND WaitForWindow(DWORD pid, const char* className, const char* title = NULL,
                   DWORD timeoutMs = 20000, bool shown = true);
bool WaitForWindowGone(HWND window, DWORD timeoutMs = 20000);
// Whether the window's thread still handles messages (a hung one fails at once).
bool Answers(HWND window);

std::string WindowText(HWND window);
std::string ClassOf(HWND window);

// The process's popup menu ("#32768") while it tracks one.
HWND FindOpenMenu(DWORD pid);

// Posts the notification-icon callback the shell would send for a mouse event.
void PostTrayMouse(const Program& program, UINT mouseMessage);
void PostTrayCommand(const Program& program, UINT command);

// Opens the tray menu as a right click does and waits until its loop has taken the mouse (keys
// posted before that are still read, in order); NULL if not, or if the program stops answering.
HWND OpenTrayMenu(const Program& program);
// Moves down to the nth entry (1 for the first) of an open menu, then presses Enter.
void ChooseMenuEntry(HWND menu, int entry);
// Both, then waits for the menu to go and the program to answer again.
bool ChooseTrayEntry(const Program& program, int entry);
// Presses Escape in the open menu and waits for it to go.
bool EscapeMenu(const Program& program, HWND menu);

// Posted, so that they are handled in order with other posted input.
void PressKey(HWND window, UINT key);
void ClickButton(HWND button);

// The program's visible dialog with that caption, once its control with that id exists.
HWND WaitForShownDialog(DWORD pid, const char* caption, int controlId, DWORD timeoutMs = 20000);

// Child windows in z-order, only those of one class when className is not null.
std::vector<HWND> ChildWindows(HWND parent, const char* className = NULL);

// A message box's text is a static of this id.
const int kMessageBoxTextId = 0xFFFF;
// The icon a message box shows, NULL when it shows none.
HICON MessageBoxIcon(HWND box);

// The four figures of a tray tooltip; false when the text is not in that format.
struct TipFigures {
    double usedPct, usedMB, freePct, freeMB;
};
bool ParseTrayTip(const std::string& tip, TipFigures* figures);

// The ids of a process's threads at this moment.
std::set<DWORD> ProcessThreads(DWORD pid);
// A process's modules now, file name to full path, both lower case; empty if unreadable.
std::map<std::string, std::string> ProcessModules(DWORD pid);

// Commits and touches memory, so that the system's free figure moves, until released.
class MemoryBlock {
  public:
    explicit MemoryBlock(size_t bytes);
    bool ok() const {
        return base_ != nullptr;
    }
    void Release() {
        base_.reset();
    }

  private:
    struct Free {
        void operator()(char* base) const {
            VirtualFree(base, 0, MEM_RELEASE);
        }
    };
    std::unique_ptr<char, Free> base_;
};

// Takes and gives back memory in steps, so the machine's free memory keeps moving under the
// program: two blocks taken, then the same two given back, 8 to 64 MB, varying step to step.
class MemoryChurn {
  public:
    void Step();
    void ReleaseAll() {
        blocks_.clear();
    }

  private:
    std::vector<MemoryBlock> blocks_;
    unsigned step_ = 0;
};

// A plain window of the test's own, to cover the program's windows or take the foreground.
class OtherWindow {
  public:
    explicit OtherWindow(const RECT& place);
    ~OtherWindow() {
        DestroyWindow(window_);
    }
    HWND get() const {
        return window_;
    }

  private:
    HWND window_;
};

// Makes the window foreground and waits until it has stayed so for a while: under Wine the
// X server's focus events arrive late and can hand the foreground back for a moment.
bool TakeForeground(HWND window);

MEMORYSTATUSEX SystemMemory();

// The screen's pixels of a rectangle (screen coordinates), BGRX rows top first.
std::vector<unsigned char> CaptureScreen(const RECT& box);

// Removes a folder (UTF-8) with everything in it, if it is there.
void DeleteTree(const std::string& folder);

bool UnderWine();

// Runs a command line (UTF-8) to its end, pumping messages, its output and errors into output
// when not null. False when it does not start or end in time (then it is ended).
bool RunToEnd(const std::string& commandLine, std::string* output, DWORD* exitCode,
              DWORD timeoutMs = 120000);
// UTF-8 as UTF-16, for the wide calls.
std::wstring Wide(const std::string& utf8);

} // namespace driver
