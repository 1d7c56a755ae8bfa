// What every part of the program shares: its name, its maker's web host and its module handle.
// Like all of platform/, it knows nothing of the program's windows, which may all use it.
#pragma once

#include <windows.h>

// The program's name: mutex, host class and title, first tooltip, Details caption.
extern const char kProgramName[];

// The maker's web host name: the Details system menu's web-site entry, and a line of the
// About credits.
extern const char kWebSiteHost[];

// The program's module, kept once the single-instance guard has let this copy run.
extern HINSTANCE hInstance;
