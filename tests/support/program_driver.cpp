#include "support/program_driver.h"

#include <stdio.h>
#include <string.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>

#include "product.h"
#include "resource.h"

namespace driver {

namespace {

// The record Wine's shell32 sends to the taskbar with WM_COPYDATA (64-bit layout).
const size_t kRecordSize = 960;
const size_t kTipOffset = 16;
const size_t kTipChars = 128;
const size_t kIconInfoOffset = 944;

const char kTaskbarClass[] = "Shell_TrayWnd";

bool ParseRecord(DWORD code, const unsigned char* data, size_t size, TrayMessage* out) {
    if (size < kRecordSize) {
        return false;
    }
    UINT fields[4];
    memcpy(fields, data, sizeof fields);
    out->code = code;
    out->window = (HWND)(ULONG_PTR)fields[0];
    out->id = fields[1];
    out->flags = fields[2];
    out->callbackMessage = fields[3];
    wchar_t tip[kTipChars];
    memcpy(tip, data + kTipOffset, sizeof tip);
    int tipChars = (int)wcsnlen(tip, kTipChars);
    if (tipChars > 0) {
        out->tip.resize(WideCharToMultiByte(CP_ACP, 0, tip, tipChars, NULL, 0, NULL, NULL));
        WideCharToMultiByte(CP_ACP, 0, tip, tipChars, &out->tip[0], (int)out->tip.size(), NULL,
                            NULL);
    }
    UINT icon[4];
    memcpy(icon, data + kIconInfoOffset, sizeof icon);
    out->iconWidth = (int)icon[0];
    out->iconHeight = (int)icon[1];
    out->iconBitsPerPixel = (int)icon[3];
    // The mask (1 bit a pixel, rows padded to 16 bits), then the colour bits.
    size_t maskBytes = (size_t)((icon[0] * icon[1] * icon[2] + 15) / 16 * 2);
    size_t colourBytes = (size_t)((icon[0] * icon[1] * icon[2] * icon[3] + 15) / 16 * 2);
    out->hasIcon = size > kRecordSize && icon[0] > 0 && icon[1] > 0 &&
                   size >= kRecordSize + maskBytes + colourBytes;
    if (out->hasIcon) {
        const unsigned char* bits = data + kRecordSize;
        out->iconMask.assign(bits, bits + maskBytes);
        out->iconColour.assign(bits + maskBytes, bits + maskBytes + colourBytes);
    }
    return true;
}

DWORD OwnerPid(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

BOOL CALLBACK Collect(HWND window, LPARAM windows) {
    ((std::vector<HWND>*)windows)->push_back(window);
    return TRUE;
}

// Top-level windows in z-order.
std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(Collect, (LPARAM)&windows);
    return windows;
}

// The first window of the taskbar class that another process made: Wine's own.
HWND OtherProcessTaskbar() {
    for (HWND window : TopLevelWindows()) {
        if (OwnerPid(window) != GetCurrentProcessId() && ClassOf(window) == kTaskbarClass) {
            return window;
        }
    }
    return NULL;
}

std::vector<TrayMessage> From(const std::vector<TrayMessage>& calls, HWND from) {
    std::vector<TrayMessage> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [&](const TrayMessage& m) { return m.window == from; });
    return out;
}

bool Ended(HANDLE process) {
    return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

// A popup menu's window shows before its loop runs; the loop holds the mouse capture in
// menu mode from its start to its end.
bool MenuLoopRunning(HWND menu) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(menu, NULL), &info) &&
           (info.flags & GUI_INMENUMODE) && info.hwndCapture == menu;
}

bool WaitForMenuGone(const Program& program) {
    return WaitUntil([&] { return FindOpenMenu(program.pid) == NULL; }) && Answers(program.host);
}

// Calls visit with each entry of a Toolhelp snapshot. A module snapshot fails for a moment
// while the process is loading or unloading a module.
template <typename Entry, typename Visit>
void ForEachEntry(DWORD what, DWORD pid, BOOL(WINAPI* first)(HANDLE, Entry*),
                  BOOL(WINAPI* next)(HANDLE, Entry*), const Visit& visit) {
    HANDLE snapshot;
    DWORD start = GetTickCount();
    do {
        snapshot = CreateToolhelp32Snapshot(what, pid);
    } while (snapshot == INVALID_HANDLE_VALUE && GetLastError() == ERROR_BAD_LENGTH &&
             GetTickCount() - start < 5000);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    Entry entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = first(snapshot, &entry); more; more = next(snapshot, &entry)) {
        visit(entry);
    }
    CloseHandle(snapshot);
}

// Waits until find gives a window, and gives it; NULL on time-out.
HWND WaitForFound(const std::function<HWND()>& find, DWORD timeoutMs, DWORD pauseMs = 20) {
    HWND found = NULL;
    WaitUntil([&] { return (found = find()) != NULL; }, timeoutMs, pauseMs);
    return found;
}

void PumpOnce(DWORD waitMs) {
    MsgWaitForMultipleObjects(0, NULL, FALSE, waitMs, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

} // namespace

FakeTaskbar::~FakeTaskbar() {
    Destroy();
}

LRESULT CALLBACK FakeTaskbar::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    FakeTaskbar* self = (FakeTaskbar*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    const COPYDATASTRUCT* copy = (const COPYDATASTRUCT*)lParam;
    TrayMessage received = {};
    if (!self || !copy ||
        !ParseRecord((DWORD)copy->dwData, (const unsigned char*)copy->lpData, copy->cbData,
                     &received)) {
        return FALSE;
    }
    received.receivedAt = GetTickCount();
    received.refused = !self->Take(received);
    self->messages_.push_back(received);
    if (self->watcher_) {
        self->watcher_(received);
    }
    if (self->passOn_) {
        SendMessageA(OtherProcessTaskbar(), WM_COPYDATA, wParam, lParam);
    }
    return received.refused ? FALSE : TRUE;
}

// Answers the call by the policy and keeps the icons taken.
bool FakeTaskbar::Take(const TrayMessage& message) {
    auto icon = std::find_if(held_.begin(), held_.end(), [&](const TrayMessage& held) {
        return held.window == message.window && held.id == message.id;
    });
    bool holds = icon != held_.end();
    if (policy_.refuseAll || (message.code == kTrayAdd && policy_.refuseAdds > 0)) {
        policy_.refuseAdds -= message.code == kTrayAdd;
        return false;
    }
    if (policy_.likeWindows && holds == (message.code == kTrayAdd)) {
        return false;
    }
    if (message.code == kTrayDelete) {
        if (holds) {
            held_.erase(icon);
        }
    } else if (holds) {
        *icon = message;
    } else if (message.code == kTrayAdd) {
        held_.push_back(message);
    }
    return true;
}

std::vector<TrayMessage> FakeTaskbar::HeldIcons(HWND from) const {
    return From(held_, from);
}

// Wine's desktop process, started again when a program starts after the last one ended, makes
// a taskbar of its own a moment after it starts. Waits a while for it and sends it to the
// bottom, then keeps putting ours on top until the shell's search finds ours first.
bool FakeTaskbar::Create() {
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(WaitForFound(OtherProcessTaskbar, 3000), HWND_BOTTOM, 0, 0, 0, 0, keep);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = kTaskbarClass;
    RegisterClassA(&wc);
    window_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTaskbarClass, "", WS_POPUP, 0, 0,
                              1, 1, NULL, NULL, wc.hInstance, NULL);
    if (!window_) {
        return false;
    }
    SetWindowLongPtrA(window_, GWLP_USERDATA, (LONG_PTR)this);
    return WaitUntil(
        [&] {
            if (FindWindowA(kTaskbarClass, NULL) == window_) {
                return true;
            }
            SetWindowPos(OtherProcessTaskbar(), HWND_BOTTOM, 0, 0, 0, 0, keep);
            SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, keep);
            return false;
        },
        30000);
}

void FakeTaskbar::Destroy() {
    if (window_) {
        DestroyWindow(window_);
        window_ = NULL;
    }
}

std::vector<TrayMessage> FakeTaskbar::Messages(HWND from) const {
    return from ? From(messages_, from) : messages_;
}

size_t FakeTaskbar::Count(HWND from) const {
    return Messages(from).size();
}

std::string FakeTaskbar::LatestTip(HWND from) const {
    std::vector<TrayMessage> all = Messages(from);
    auto tip = std::find_if(all.rbegin(), all.rend(), [](const TrayMessage& m) {
        return m.code != kTrayDelete && (m.flags & NIF_TIP);
    });
    return tip == all.rend() ? std::string() : tip->tip;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pauseMs) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpOnce(0);
        if (condition()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        PumpOnce(pauseMs);
    }
}

void PumpFor(DWORD ms) {
    WaitUntil([] { return false; }, ms);
}

std::string BuiltFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    char* slash = strrchr(path, '\\');
    return slash ? std::string(path, slash + 1) : std::string();
}

std::string ProgramFolder() {
    char folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("SORVAGENTA_PROGRAM_DIR", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return BuiltFolder();
    }
    std::string path(folder, length);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path.back() == '\\' ? path : path + '\\';
}

std::string ProgramPath() {
    return ProgramFolder() + SORVAGENTA_PROGRAM_FILE;
}

HMODULE LoadProgramAsData() {
    return LoadLibraryExA(ProgramPath().c_str(), NULL,
                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

Resource FindEnglishResource(HMODULE module, LPCSTR type, int id) {
    Resource found;
    HRSRC info = FindResourceExA(module, type, MAKEINTRESOURCEA(id),
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    found.data = info ? (const unsigned char*)LockResource(LoadResource(module, info)) : NULL;
    found.size = found.data ? SizeofResource(module, info) : 0;
    return found;
}

bool StartProgram(Program* program, HANDLE* suspendedThread, const std::string& path,
                  const char* desktop) {
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.lpDesktop = (char*)desktop;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(path.c_str(), &commandLine[0], NULL, NULL, FALSE,
                        suspendedThread ? CREATE_SUSPENDED : 0, NULL, NULL, &startup, &info)) {
        return false;
    }
    if (suspendedThread) {
        *suspendedThread = info.hThread;
    } else {
        CloseHandle(info.hThread);
    }
    program->process = info.hProcess;
    program->pid = info.dwProcessId;
    program->host = NULL;
    return true;
}

bool StartProgramAndWaitForHost(Program* program, const std::string& path) {
    if (!StartProgram(program, NULL, path)) {
        return false;
    }
    program->host = WaitForFound(
        [&] { return FindProcessWindow(program->pid, SORVAGENTA_NAME, SORVAGENTA_NAME); }, 30000);
    return program->host != NULL;
}

bool WaitForExit(Program* program, DWORD* exitCode, DWORD timeoutMs) {
    bool ended = program->process && WaitUntil([&] { return Ended(program->process); }, timeoutMs);
    if (ended && exitCode) {
        GetExitCodeProcess(program->process, exitCode);
    }
    return ended;
}

bool ExitProgram(Program* program, DWORD* exitCode) {
    if (program->host) {
        PostTrayCommand(*program, CMD_TRAY_EXIT);
    }
    return WaitForExit(program, exitCode);
}

void KillProgram(Program* program) {
    if (program->process && !Ended(program->process)) {
        TerminateProcess(program->process, 99);
        WaitForSingleObject(program->process, 30000);
    }
}

void CloseProgram(Program* program) {
    KillProgram(program);
    if (program->process) {
        CloseHandle(program->process);
    }
    *program = Program();
}

int EndLeftoverCopies() {
    int ended = 0;
    ForEachEntry(
        TH32CS_SNAPPROCESS, 0, Process32First, Process32Next, [&](const PROCESSENTRY32& entry) {
            if (lstrcmpiA(entry.szExeFile, SORVAGENTA_PROGRAM_FILE) == 0) {
                Program copy;
                copy.process =
                    OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE,
                                entry.th32ProcessID);
                ended += copy.process != NULL;
                CloseProgram(&copy);
            }
        });
    return ended;
}

std::vector<HWND> ProcessWindows(DWORD pid, const char* className, const char* title,
                                 bool visibleOnly) {
    std::vector<HWND> found;
    for (HWND window : TopLevelWindows()) {
        if (OwnerPid(window) == pid && (!visibleOnly || IsWindowVisible(window)) &&
            (!className || ClassOf(window) == className) &&
            (!title || WindowText(window) == title)) {
            found.push_back(window);
        }
    }
    return found;
}

HWND FindProcessWindow(DWORD pid, const char* className, const char* title, bool visibleOnly) {
    std::vector<HWND> found = ProcessWindows(pid, className, title, visibleOnly);
    return found.empty() ? NULL : found.front();
}

HWND WaitForWindow(DWORD pid, const char* className, const char* title, DWORD timeoutMs,
                   bool shown) {
    return WaitForFound([&] { return FindProcessWindow(pid, className, title, shown); }, timeoutMs,
                        shown ? 20 : 0);
}

std::string WindowText(HWND window) {
    char text[1024] = "";
    // GetWindowText does not ask another process's controls for their text.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 5000,
                        NULL);
    return text;
}

std::string ClassOf(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

HWND FindOpenMenu(DWORD pid) {
    return FindProcessWindow(pid, "#32768", NULL, true);
}

void PostTrayMouse(const Program& program, UINT mouseMessage) {
    PostMessageA(program.host, WM_TRAYNOTIFY, 0, mouseMessage);
}

void PostTrayCommand(const Program& program, UINT command) {
    PostMessageA(program.host, WM_COMMAND, command, 0);
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

bool Answers(HWND window) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer) != 0;
}

HWND OpenTrayMenu(const Program& program) {
    PostTrayMouse(program, WM_RBUTTONDOWN);
    HWND menu = NULL;
    bool running = WaitUntil([&] {
        menu = FindOpenMenu(program.pid);
        return (menu && MenuLoopRunning(menu)) || !Answers(program.host);
    });
    return running && menu && MenuLoopRunning(menu) ? menu : NULL;
}

void ChooseMenuEntry(HWND menu, int entry) {
    for (int i = 0; i < entry; ++i) {
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    }
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
}

bool ChooseTrayEntry(const Program& program, int entry) {
    HWND menu = OpenTrayMenu(program);
    if (!menu) {
        return false;
    }
    ChooseMenuEntry(menu, entry);
    return WaitForMenuGone(program);
}

bool EscapeMenu(const Program& program, HWND menu) {
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    return WaitForMenuGone(program);
}

void PressKey(HWND window, UINT key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

void ClickButton(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
}

bool ParseTrayTip(const std::string& tip, TipFigures* f) {
    char tail = 0;
    return sscanf(tip.c_str(), "Used: %lf%% / %lfMB - Free: %lf%% / %lfMB%c", &f->usedPct,
                  &f->usedMB, &f->freePct, &f->freeMB, &tail) == 4;
}

HWND WaitForShownDialog(DWORD pid, const char* caption, int controlId, DWORD timeoutMs) {
    return WaitForFound(
        [&] {
            HWND dialog = FindProcessWindow(pid, kDialogClass, caption, true);
            return dialog && GetDlgItem(dialog, controlId) ? dialog : NULL;
        },
        timeoutMs);
}

std::vector<HWND> ChildWindows(HWND parent, const char* className) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!className || ClassOf(child) == className) {
            children.push_back(child);
        }
    }
    return children;
}

HICON MessageBoxIcon(HWND box) {
    for (HWND child : ChildWindows(box, "Static")) {
        DWORD_PTR icon = 0;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_ICON) &&
            SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon) && icon) {
            return (HICON)icon;
        }
    }
    return NULL;
}

std::set<DWORD> ProcessThreads(DWORD pid) {
    std::set<DWORD> threads;
    ForEachEntry(TH32CS_SNAPTHREAD, 0, Thread32First, Thread32Next,
                 [&](const THREADENTRY32& entry) {
                     if (entry.th32OwnerProcessID == pid) {
                         threads.insert(entry.th32ThreadID);
                     }
                 });
    return threads;
}

std::map<std::string, std::string> ProcessModules(DWORD pid) {
    std::map<std::string, std::string> modules;
    ForEachEntry(TH32CS_SNAPMODULE, pid, Module32First, Module32Next, [&](MODULEENTRY32& entry) {
        CharLowerA(entry.szModule);
        CharLowerA(entry.szExePath);
        modules[entry.szModule] = entry.szExePath;
    });
    return modules;
}

MemoryBlock::MemoryBlock(size_t bytes)
    : base_((char*)VirtualAlloc(NULL, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)) {
    for (size_t at = 0; base_ && at < bytes; at += 4096) {
        base_.get()[at] = 1;
    }
}

void MemoryChurn::Step() {
    if (step_ % 4 < 2 || blocks_.empty()) {
        blocks_.emplace_back((size_t)(8 + 8 * ((step_ / 4 + step_ % 4) % 8)) << 20);
    } else {
        blocks_.erase(blocks_.begin());
    }
    ++step_;
}

OtherWindow::OtherWindow(const RECT& place) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    wc.lpszClassName = "DriverOtherWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "other", WS_POPUP | WS_VISIBLE, place.left,
                              place.top, place.right - place.left, place.bottom - place.top, NULL,
                              NULL, wc.hInstance, NULL);
}

bool TakeForeground(HWND window) {
    DWORD heldSince = 0;
    return WaitUntil([&] {
        if (GetForegroundWindow() != window) {
            SetForegroundWindow(window);
            heldSince = 0;
            return false;
        }
        if (heldSince == 0) {
            heldSince = GetTickCount();
        }
        return GetTickCount() - heldSince >= 300;
    });
}

MEMORYSTATUSEX SystemMemory() {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatusEx(&status);
    return status;
}

std::vector<unsigned char> CaptureScreen(const RECT& box) {
    int width = box.right - box.left, height = box.bottom - box.top;
    std::vector<unsigned char> pixels((size_t)width * height * 4);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
    GdiFlush();
    memcpy(pixels.data(), bits, pixels.size());
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return pixels;
}

void DeleteTree(const std::string& folder) {
    std::wstring from = Wide(folder) + L'\0'; // the shell wants a double-null list
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
}

bool UnderWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != NULL;
}

bool RunToEnd(const std::string& commandLine, std::string* output, DWORD* exitCode,
              DWORD timeoutMs) {
    char folder[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    if (!GetTempFileNameA(folder, "out", 0, path)) {
        return false;
    }
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    HANDLE file =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
    PROCESS_INFORMATION info = {};
    std::wstring line = Wide(commandLine);
    bool ended = CreateProcessW(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &info);
    if (ended) {
        // Pumping: the program may be waiting on a window of this thread (the fake taskbar).
        ended = WaitUntil([&] { return Ended(info.hProcess); }, timeoutMs);
        if (!ended) {
            TerminateProcess(info.hProcess, 1);
        }
        GetExitCodeProcess(info.hProcess, exitCode);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        char buffer[4096];
        DWORD read = 0;
        std::string discarded;
        output = output ? output : &discarded;
        output->clear();
        SetFilePointer(file, 0, NULL, FILE_BEGIN);
        while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read > 0) {
            output->append(buffer, read);
        }
    }
    CloseHandle(file);
    return ended;
}

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], (int)wide.size());
    wide.resize(n > 0 ? n - 1 : 0);
    return wide;
}

} // namespace driver
