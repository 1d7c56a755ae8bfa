// The hidden host window's lifetime and the program's one message loop.
#pragma once

// 1 when a top-level window of the class exists, else 0.
int IsHostWindowPresent(const char* className);

// Creates the host window, adds the icon, builds the menu and runs the loop until the
// window is destroyed. Returns 0 at once when a host window already exists, else 1.
int RunTrayHost(int iconId, const char* windowName);
