// GLLogoControl: a child window showing the animated logo, drawn by a thread of its own
// from the window's creation until its destruction.
#pragma once

#include <windows.h>

// The class name dialog templates use to place the control.
extern const char kLogoControlClass[];

// Registers the class for instance. Calling it again is harmless: the repeated
// registration fails because the class exists, and that is ignored.
void RegisterLogoControlClass(HINSTANCE instance);
