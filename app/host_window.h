// The hidden host window: notification icon, refresh timer and tray menu.
#pragma once

#include <windows.h>

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Fills the icon record for the host window and adds the icon with picture and tooltip.
void AddTrayIcon(HWND host, int iconId, const char* windowName);

// Builds the tray menu: "A&bout", "D&etails", "E&xit".
void BuildTrayMenu();

// Changes the icon's picture (unless iconId is 0) and tooltip (unless tipText is null).
void UpdateTrayIcon(int iconId, const char* tipText);
