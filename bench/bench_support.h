// What the benchmark programs share: a clock, medians, waits that keep messages flowing,
// finding a process's window, and a taskbar window of their own that counts icon adds.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <vector>

namespace bench {

double NowMs();
double Median(std::vector<double> values);
double Minimum(const std::vector<double>& values);

// Pumps this thread's messages until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);

// A top-level window of that class (and title, unless null) belonging to the process.
HWND FindProcessWindow(DWORD pid, const char* className, const char* title = NULL);

// A top-most "Shell_TrayWnd" made before a program starts, so its icon calls come here.
class Taskbar {
  public:
    Taskbar();
    ~Taskbar();
    // Icon adds received from that program window so far.
    int Adds(HWND from) const;

  private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND window_;
    std::map<HWND, int> adds_;
};

} // namespace bench
