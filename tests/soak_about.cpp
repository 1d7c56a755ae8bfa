// The About box opened and closed two hundred times, from the tray and from the Details
// dialog, and closed a hundred times before or just as it is first shown.
#include <stdio.h>

#include <gtest/gtest.h>

#include "product.h"
#include "resource.h"
#include "support/soak_support.h"

using namespace driver;

namespace {

const char kAboutCaption[] = SORVAGENTA_ABOUT_CAPTION;

// Each showing makes a dialog, an edit box, a logo control with its DC, GL context and
// render thread, and a credits brush (the last one is kept on purpose); nothing of that
// may pile up. GL drivers keep a little for themselves, hence the handles and megabytes.
const FigureAllowance kAboutAllowance = {8, 0, 0, 0, 4 << 20};

// The About box has no close box: "Ok", Enter, or WM_CLOSE from the system.
void CloseAbout(HWND about, int way) {
    switch (way % 3) {
    case 0:
        ClickButton(GetDlgItem(about, IDC_OKAY));
        break;
    case 1:
        PressKey(about, VK_RETURN);
        break;
    default:
        PostMessageA(about, WM_CLOSE, 0, 0);
        break;
    }
}

class SoakAbout : public DialogSoakTest {
  protected:
    // The About box as soon as its window and its Ok button exist, shown or not.
    HWND WaitForAboutWindow() {
        HWND about = WaitForWindow(program.pid, kDialogClass, kAboutCaption, 20000, false);
        if (!about || !WaitUntil([&] { return GetDlgItem(about, IDC_OKAY) != NULL; })) {
            return NULL;
        }
        return about;
    }

    // The program's windows and whether it answers, for a failure's message.
    std::string DescribeWindows() {
        std::string text =
            Answers(program.host) ? "the host answers;" : "the host does not answer;";
        DWORD code = 0;
        if (WaitForSingleObject(program.process, 0) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(program.process, &code)) {
            char ended[64];
            snprintf(ended, sizeof ended, " the program ended with 0x%08lX;", (unsigned long)code);
            text += ended;
        }
        for (HWND window : ProcessWindows(program.pid)) {
            char line[160];
            snprintf(line, sizeof line, " %s \"%s\"%s;", ClassOf(window).c_str(),
                     WindowText(window).c_str(), IsWindowVisible(window) ? " shown" : "");
            text += line;
        }
        return text;
    }

    // One showing: from the tray or over a Details dialog, closed at once or once it has
    // been up a moment. Returns what went wrong, or an empty text.
    std::string ShowAndClose(int showing) {
        bool fromDetails = showing % 2 == 1;
        bool atOnce = showing % 4 < 2;
        HWND details = NULL;
        if (fromDetails) {
            PostTrayCommand(program, CMD_TRAY_DETAILS);
            details = WaitForShownDialog(program.pid, "Sorvagenta", IDC_OKAY);
            if (!details) {
                return "the Details dialog did not open";
            }
            PostMessageA(details, WM_SYSCOMMAND, SYSCMD_ABOUT, 0);
        } else {
            PostTrayCommand(program, CMD_TRAY_ABOUT);
        }
        HWND about = atOnce ? WaitForAboutWindow()
                            : WaitForShownDialog(program.pid, kAboutCaption, IDC_OKAY);
        if (!about) {
            return "the About box did not open; " + DescribeWindows();
        }
        if (!atOnce) {
            PumpFor(100); // a few dozen frames
        }
        CloseAbout(about, showing / 4);
        if (!details) {
            return WaitUntilClosed(about, "the About box");
        }
        if (!WaitForWindowGone(about, 30000)) {
            return "the About box did not close";
        }
        ClickButton(GetDlgItem(details, IDC_OKAY));
        return WaitUntilClosed(details, "the Details dialog after the About box");
    }
};

TEST_F(SoakAbout, TwoHundredShowingsFromTheTrayAndFromDetailsLeakNothing) {
    const int showings = SoakCount(40, 200);
    // The first showings load the GL driver and its threads, which stay for the process.
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ("", ShowAndClose(i)) << "warm-up";
    }
    EXPECT_TRUE(RunsFlatInTwoHalves("About showings", showings, program.pid, taskbar, program.host,
                                    kAboutAllowance, [&](int i) { return ShowAndClose(i); }));
    EXPECT_TRUE(Answers(program.host));
    DWORD code = 99;
    ASSERT_TRUE(ExitProgram(&program, &code));
    EXPECT_EQ(0u, code);
}

class FaultAbout : public SoakAbout {};

TEST_F(FaultAbout, ClosingBeforeOrJustAsItIsFirstShownNeverHangs) {
    // One showing first: the GL driver's own threads stay once loaded.
    ASSERT_EQ("", ShowAndClose(2)) << "warm-up";
    DWORD threadsBefore = MeasureProcess(program.pid).threads;
    for (int round = 0; round < 100; ++round) {
        PostTrayCommand(program, CMD_TRAY_ABOUT);
        // Even rounds: the close is posted the moment the window exists, and is handled
        // before the dialog is first shown. Odd rounds: the moment it shows, while the
        // render thread is starting and making its context.
        HWND about = round % 2 == 0 ? WaitForAboutWindow()
                                    : WaitForShownDialog(program.pid, kAboutCaption, IDC_OKAY);
        ASSERT_NE((HWND)NULL, about) << "round " << round;
        CloseAbout(about, round / 2);
        ASSERT_TRUE(WaitForWindowGone(about, 30000))
            << "hung closing, round " << round << ";" << DescribeWindows();
        ASSERT_TRUE(Answers(program.host)) << "round " << round;
    }
    EXPECT_TRUE(WaitUntil([&] { return MeasureProcess(program.pid).threads == threadsBefore; }))
        << "every render thread has ended";
}

TEST_F(FaultAbout, ExitWhileTheAboutBoxIsOpenEndsTheProgram) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        if (round > 0) {
            CloseProgram(&program);
            ASSERT_TRUE(StartProgramAndWaitForHost(&program));
        }
        PostTrayCommand(program, CMD_TRAY_ABOUT);
        HWND about = round == 0 ? WaitForAboutWindow()
                                : WaitForShownDialog(program.pid, kAboutCaption, IDC_OKAY);
        ASSERT_NE((HWND)NULL, about);
        // The tray menu still works while a dialog runs; its Exit ends everything.
        PostTrayCommand(program, CMD_TRAY_EXIT);
        DWORD code = 99;
        ASSERT_TRUE(WaitForExit(&program, &code)) << "hung ending with the About box open";
        EXPECT_EQ(0u, code);
    }
}

} // namespace
