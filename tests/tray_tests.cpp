// The real program's single-instance guard, host window, notification icon and tray menu,
// driven from outside as the shell and a user would.
#include <stdio.h>
#include <algorithm>
#include <stdlib.h>

#include <gtest/gtest.h>

#include "product.h"
#include "resource.h"
#include "support/program_test.h"

using namespace driver;

namespace {

const UINT kTrayFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

class TrayTest : public ProgramTest {};

// Two decimals, no space before MB, " - " between the halves: rebuilt from the figures.
std::string FormatLikeTip(const TipFigures& f) {
    char text[128];
    snprintf(text, sizeof text, "Used: %.2f%% / %.2fMB - Free: %.2f%% / %.2fMB", f.usedPct,
             f.usedMB, f.freePct, f.freeMB);
    return text;
}

TEST_F(TrayTest, HostWindowIsHiddenWithTheProgramsNameAsClassAndTitle) {
    EXPECT_EQ("Sorvagenta", ClassOf(program.host));
    EXPECT_EQ("Sorvagenta", WindowText(program.host));
    EXPECT_FALSE(IsWindowVisible(program.host));
    EXPECT_TRUE(ProcessWindows(program.pid, NULL, NULL, true).empty())
        << "the program shows no window of its own at start";
}

TEST_F(TrayTest, IconIsAddedWithTheNameThenModifiedWithLiveFigures) {
    ASSERT_TRUE(WaitForTrayCalls(2));
    std::vector<TrayMessage> calls = taskbar.Messages(program.host);
    const TrayMessage& add = calls[0];
    EXPECT_EQ((DWORD)kTrayAdd, add.code);
    EXPECT_EQ("Sorvagenta", add.tip);
    EXPECT_EQ(kTrayFlags, add.flags);
    EXPECT_EQ((UINT)WM_TRAYNOTIFY, add.callbackMessage);
    EXPECT_EQ(0u, add.id);
    EXPECT_TRUE(add.hasIcon);

    // The first refresh comes only after the add, and replaces the name with figures.
    const TrayMessage& modify = calls[1];
    EXPECT_EQ((DWORD)kTrayModify, modify.code);
    EXPECT_EQ(kTrayFlags, modify.flags);
    TipFigures shown;
    ASSERT_TRUE(ParseTrayTip(modify.tip, &shown)) << modify.tip;
    EXPECT_EQ(FormatLikeTip(shown), modify.tip);

    MEMORYSTATUSEX status = SystemMemory();
    double totalMB = status.ullTotalPhys / 1048576.0;
    EXPECT_NEAR(shown.usedMB + shown.freeMB, totalMB, totalMB * 0.02);
    EXPECT_NEAR(shown.usedPct + shown.freePct, 100.0, 2.0);
    EXPECT_NEAR(shown.usedPct, shown.usedMB / totalMB * 100.0, 0.05);
    // Memory moves, but not by a fifth of the machine within a second.
    EXPECT_NEAR(shown.freeMB, status.ullAvailPhys / 1048576.0, totalMB * 0.2);
}

TEST_F(TrayTest, ExitIsTheThirdMenuEntryAndEndsTheProgramWithCodeZero) {
    ASSERT_TRUE(WaitForTrayCalls(2));
    HWND menu = OpenTrayMenu(program);
    ASSERT_NE((HWND)NULL, menu);
    // Down to the third entry, then Enter, as a user on the keyboard would.
    ChooseMenuEntry(menu, 3);
    DWORD code = 99;
    ASSERT_TRUE(WaitForExit(&program, &code));
    EXPECT_EQ(0u, code);
    std::vector<TrayMessage> calls = taskbar.Messages(program.host);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ((DWORD)kTrayDelete, calls.back().code) << "the icon goes with the program";
    EXPECT_EQ(1, (int)std::count_if(calls.begin(), calls.end(),
                                    [](const TrayMessage& m) { return m.code == kTrayDelete; }));
}

TEST_F(TrayTest, ExitsMnemonicEndsTheProgram) {
    HWND menu = OpenTrayMenu(program);
    ASSERT_NE((HWND)NULL, menu);
    PostMessageA(menu, WM_CHAR, 'x', 0);
    DWORD code = 99;
    ASSERT_TRUE(WaitForExit(&program, &code));
    EXPECT_EQ(0u, code);
}

TEST_F(TrayTest, AboutAndDetailsMnemonicsOpenTheirDialogs) {
    const struct {
        char key;
        const char* caption;
    } entries[] = {{'b', SORVAGENTA_ABOUT_CAPTION}, {'e', SORVAGENTA_NAME}};
    for (const auto& entry : entries) {
        SCOPED_TRACE(entry.caption);
        HWND menu = OpenTrayMenu(program);
        ASSERT_NE((HWND)NULL, menu);
        PostMessageA(menu, WM_CHAR, entry.key, 0);
        HWND dialog = WaitForShownDialog(program.pid, entry.caption, IDC_OKAY);
        ASSERT_NE((HWND)NULL, dialog);
        ClickButton(GetDlgItem(dialog, IDC_OKAY));
        ASSERT_TRUE(WaitForWindowGone(dialog));
    }
}

TEST_F(TrayTest, EscapeClosesTheMenuAndTheProgramRunsOn) {
    HWND menu = OpenTrayMenu(program);
    ASSERT_NE((HWND)NULL, menu);
    ASSERT_TRUE(EscapeMenu(program, menu));
    // The menu opens again on the next right click.
    ASSERT_NE((HWND)NULL, OpenTrayMenu(program));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(program.process, 0));
}

TEST_F(TrayTest, OtherMouseEventsOnTheIconDoNothing) {
    const UINT events[] = {WM_MOUSEMOVE,     WM_LBUTTONUP,   WM_RBUTTONUP, WM_LBUTTONDBLCLK,
                           WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_CONTEXTMENU};
    for (UINT event : events) {
        PostTrayMouse(program, event);
    }
    // The host handles its messages in order: once the menu of a later right click is
    // up, every event above has been handled.
    HWND menu = OpenTrayMenu(program);
    ASSERT_NE((HWND)NULL, menu);
    std::vector<HWND> shown = ProcessWindows(program.pid, NULL, NULL, true);
    ASSERT_EQ(1u, shown.size()) << "only the menu is showing, class " << ClassOf(shown[1]);
    EXPECT_EQ(menu, shown[0]);
}

TEST_F(TrayTest, CloseMessageEndsTheProgramWithCodeZero) {
    ASSERT_TRUE(WaitForTrayCalls(1));
    PostMessageA(program.host, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(WaitForExit(&program, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ((DWORD)kTrayDelete, taskbar.Messages(program.host).back().code);
}

// The box a refused copy shows, with its text, buttons and icon.
struct DuplicateBox {
    HWND window = NULL;
    std::string text;
    std::vector<std::string> buttons;
    HWND ok = NULL;
};

DuplicateBox WaitForDuplicateBox(const Program& second) {
    DuplicateBox box;
    box.window = WaitForWindow(second.pid, kDialogClass, "Sorvagenta");
    if (!box.window) {
        return box;
    }
    WaitUntil([&] { return GetDlgItem(box.window, kMessageBoxTextId) != NULL; });
    box.text = WindowText(GetDlgItem(box.window, kMessageBoxTextId));
    for (HWND button : ChildWindows(box.window, "Button")) {
        if (IsWindowVisible(button)) {
            box.buttons.push_back(WindowText(button));
            box.ok = button;
        }
    }
    return box;
}

TEST_F(TrayTest, SecondCopyShowsTheDuplicateBoxAndEndsWithCodeOne) {
    ASSERT_TRUE(WaitForTrayCalls(2));
    Program second;
    ASSERT_TRUE(StartProgram(&second));
    DuplicateBox box = WaitForDuplicateBox(second);
    ASSERT_NE((HWND)NULL, box.window);
    EXPECT_EQ("Only One Instance Can Run At A Time!", box.text);
    ASSERT_EQ(1u, box.buttons.size());
    EXPECT_EQ("OK", box.buttons[0]);
    EXPECT_TRUE(GetWindowLongA(box.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << "system-modal";
    EXPECT_TRUE(WaitUntil([&] { return MessageBoxIcon(box.window) != NULL; })) << "an icon";
    EXPECT_EQ(NULL, FindProcessWindow(second.pid, "Sorvagenta")) << "no second host window";

    // The box waits for the user.
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(second.process, 0));
    ClickButton(box.ok);
    DWORD code = 99;
    ASSERT_TRUE(WaitForExit(&second, &code));
    EXPECT_EQ(1u, code);
    CloseProgram(&second);

    // The first copy runs on, undisturbed.
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(program.process, 0));
    EXPECT_TRUE(IsWindow(program.host));
    std::vector<TrayMessage> calls = taskbar.Messages(program.host);
    EXPECT_TRUE(std::none_of(calls.begin(), calls.end(),
                             [](const TrayMessage& m) { return m.code == kTrayDelete; }));
    size_t before = taskbar.Count(program.host);
    EXPECT_TRUE(ExitProgram(&program));
    EXPECT_GT(taskbar.Count(program.host), before);
}

// A host window without the mutex: the program leaves quietly.
class TrayHostPresent : public WineTest {};

TEST_F(TrayHostPresent, ProgramEndsQuietlyWhenAHostWindowAlreadyExists) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "Sorvagenta";
    RegisterClassA(&wc);
    HWND impostor = CreateWindowExA(0, "Sorvagenta", "", WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                                    GetModuleHandleA(NULL), NULL);
    ASSERT_NE((HWND)NULL, impostor);
    FakeTaskbar taskbar;
    ASSERT_TRUE(taskbar.Create());
    Program program;
    ASSERT_TRUE(StartProgram(&program));
    DWORD code = 99;
    ASSERT_TRUE(WaitForExit(&program, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(0u, taskbar.Count()) << "no icon was added";
    CloseProgram(&program);
    DestroyWindow(impostor);
    UnregisterClassA("Sorvagenta", GetModuleHandleA(NULL));
}

} // namespace
