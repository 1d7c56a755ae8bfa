// What every part of the program shares: its name and module handle.
#pragma once

#include <windows.h>

// The program's name: mutex, host class and title, first tooltip, Details caption.
extern const char kProgramName[];

// The program's module, kept once the single-instance guard has let this copy run.
extern HINSTANCE hInstance;
