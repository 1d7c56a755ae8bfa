// Shared by the menu-spy hook library and the tests that load it.
#pragma once

#include <windows.h>

// Posted to a window of the hooked thread; wParam is the window to answer.
const char kMenuSpyRequest[] = "SorvagentaTestDescribeSystemMenu";
// dwData of the WM_COPYDATA answer.
const ULONG_PTR kMenuSpyReply = 0x5350;

const char kMenuSpyLibrary[] = "details_menu_spy.dll";

typedef int(__cdecl* DescribeSystemMenuFn)(HWND window, char* out, int size);
