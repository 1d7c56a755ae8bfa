// Resource and command ids of Sorvagenta. Shared by the resource script and the code.
#pragma once

// Icons: the program's own picture, then the gauge whose id is the shown number plus one.
#define IDI_MAIN 1
#define IDI_GAUGE_FIRST 2
#define IDI_GAUGE_LAST 101

// Details dialog
#define IDD_DETAILS 100
#define IDC_OKAY 100
#define IDC_TOPMOST 200
#define IDC_TOTAL_TEXT 1000
#define IDC_USED_TEXT 2000
#define IDC_USED_BAR 2500
#define IDC_FREE_TEXT 3000
#define IDC_FREE_BAR 3500

// Commands the Details dialog adds to its system menu. Not multiples of 16, so the dialog
// compares the whole low word of WM_SYSCOMMAND rather than masking the low 4 bits.
#define SYSCMD_VERSION 1000
#define SYSCMD_ABOUT 1001
#define SYSCMD_WEBSITE 1002

// About dialog
#define IDD_ABOUT 1000
#define IDC_CREDITS 500
#define IDC_LOGO 1028

// Tray menu commands
#define CMD_TRAY_DETAILS 1001
#define CMD_TRAY_ABOUT 1002
#define CMD_TRAY_EXIT 1003

// Callback message of the notification icon, sent to the host window
#define WM_TRAYNOTIFY (WM_USER + 5)

// The logo's raw 64x64 RGB picture
#define IDR_LOGO_TEXTURE 10000

// Timer id of the host window and, separately, of the Details dialog
#define TIMER_REFRESH 1
