// The common controls and OpenGL are loaded only when the dialogs that need them first
// open: a run that stays in the tray maps neither, and both dialogs work as before.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "resource.h"
#include "support/program_driver.h"

using namespace driver;

namespace {

const char kAboutCaption[] = "Brindlewox About";

class DialogLibraries : public ProgramTest {
  protected:
    bool Loaded(const char* module) {
        return ProcessModules(program.pid).count(module) != 0;
    }
    int BarPosition(HWND dialog, int id) {
        return (int)SendMessageA(GetDlgItem(dialog, id), PBM_GETPOS, 0, 0);
    }
};

TEST_F(DialogLibraries, LoadWhenTheirDialogFirstOpensAndTheDialogsWorkEachTime) {
    // Refreshed a few times in the tray, with no dialog opened yet.
    ASSERT_TRUE(WaitUntil([&] { return taskbar.Count(program.host) >= 2; }));
    std::set<std::string> idle = ProcessModules(program.pid);
    ASSERT_EQ(1u, idle.count("user32.dll")) << "the snapshot lists the program's modules";
    EXPECT_EQ(0u, idle.count("comctl32.dll"));
    EXPECT_EQ(0u, idle.count("opengl32.dll"));
    EXPECT_EQ(0u, idle.count("glu32.dll"));

    for (int opening = 1; opening <= 2; ++opening) {
        PostTrayCommand(program, CMD_TRAY_DETAILS);
        HWND details = WaitForShownDialog(program.pid, "Sorvagenta", IDC_FREE_BAR);
        ASSERT_NE((HWND)NULL, details) << "opening " << opening;
        // Both bars show their share of memory, together the whole of it.
        EXPECT_TRUE(WaitUntil([&] {
            int used = BarPosition(details, IDC_USED_BAR),
                free = BarPosition(details, IDC_FREE_BAR);
            return used > 0 && free > 0 && used + free >= 98 && used + free <= 100;
        })) << "opening "
            << opening;
        EXPECT_TRUE(Loaded("comctl32.dll"));
        ClickButton(GetDlgItem(details, IDC_OKAY));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(details); }));
    }
    EXPECT_FALSE(Loaded("opengl32.dll")) << "the Details dialog needs no OpenGL";

    for (int showing = 1; showing <= 2; ++showing) {
        std::set<DWORD> before = ProcessThreads(program.pid);
        PostTrayCommand(program, CMD_TRAY_ABOUT);
        HWND about = WaitForShownDialog(program.pid, kAboutCaption, IDC_LOGO);
        ASSERT_NE((HWND)NULL, about) << "showing " << showing;
        // The logo's render thread starts and keeps drawing with the libraries bound.
        EXPECT_TRUE(WaitUntil([&] { return ProcessThreads(program.pid).size() > before.size(); }))
            << "showing " << showing;
        EXPECT_TRUE(WaitUntil([&] { return Loaded("opengl32.dll") && Loaded("glu32.dll"); }));
        ClickButton(GetDlgItem(about, IDC_OKAY));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
        EXPECT_TRUE(WaitUntil([&] { return ProcessThreads(program.pid) == before; }))
            << "showing " << showing << ": the render thread was joined";
    }
    DWORD exitCode = 1;
    EXPECT_TRUE(ExitProgram(&program, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

} // namespace
