// The Details dialog opened and closed a thousand times through every way it closes, the
// program's resources measured before and after.
#include <gtest/gtest.h>

#include "resource.h"
#include "support/soak_support.h"

using namespace driver;

namespace {

// Each opening makes and destroys a dialog, its controls, its system menu and its timer;
// nothing of that may stay. The handles and the megabyte allow for Wine's own bookkeeping.
const FigureAllowance kDialogAllowance = {4, 0, 0, 0, 1 << 20};

struct CloseWay {
    const char* name;
    void (*close)(HWND dialog);
};

const CloseWay kCloseWays[] = {
    {"Okay", [](HWND dialog) { ClickButton(GetDlgItem(dialog, IDC_OKAY)); }},
    {"Enter", [](HWND dialog) { PressKey(dialog, VK_RETURN); }},
    {"close box", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"WM_CLOSE", [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); }},
};

class SoakDetails : public DialogSoakTest {
  protected:
    // Opens the dialog (by the menu entry or a click on the icon, in turn), checks it is
    // filled at once, closes it the given way and waits until the host has it back.
    // Returns what went wrong, or an empty text.
    std::string OpenAndClose(int opening, const CloseWay& way) {
        if (opening % 2 == 0) {
            PostTrayCommand(program, CMD_TRAY_DETAILS);
        } else {
            PostTrayMouse(program, WM_LBUTTONDOWN);
        }
        HWND dialog = WaitForShownDialog(program.pid, "Sorvagenta", IDC_OKAY);
        if (!dialog) {
            return "the dialog did not open";
        }
        if (WindowText(GetDlgItem(dialog, IDC_USED_TEXT)).compare(0, 6, "Used: ") != 0) {
            return "the used text was not filled at once";
        }
        if (IsWindowEnabled(program.host)) {
            return "the host window was not disabled under the modal dialog";
        }
        way.close(dialog);
        return WaitUntilClosed(dialog, std::string("the dialog closed by ") + way.name);
    }
};

TEST_F(SoakDetails, AThousandOpeningsThroughEveryWayItClosesLeakNothing) {
    const int openings = SoakCount(100, 1000);
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ("", OpenAndClose(i, kCloseWays[i % 4])) << "warm-up";
    }
    int closedBy[4] = {};
    EXPECT_TRUE(RunsFlatInTwoHalves("Details openings", openings, program.pid, taskbar,
                                    program.host, kDialogAllowance, [&](int i) {
                                        ++closedBy[i % 4];
                                        return OpenAndClose(i, kCloseWays[i % 4]);
                                    }));
    for (int way = 0; way < 4; ++way) {
        EXPECT_EQ(openings / 4, closedBy[way]) << kCloseWays[way].name;
    }

    // The tray lived through it.
    size_t calls = taskbar.Count(program.host);
    PostMessageA(program.host, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return taskbar.Count(program.host) > calls; }));
    DWORD code = 99;
    ASSERT_TRUE(ExitProgram(&program, &code));
    EXPECT_EQ(0u, code);
}

} // namespace
