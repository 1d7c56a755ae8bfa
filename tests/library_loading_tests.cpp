// The common controls and OpenGL are loaded only when the dialogs that need them first
// open, so a run that stays in the tray maps neither. That the dialogs work on their first
// opening and after is what the Details, About and soak tests check.
#include <windows.h>

#include "resource.h"
#include "support/program_test.h"

using namespace driver;

namespace {

class DialogLibraries : public ProgramTest {
  protected:
    DialogLibraries() : ProgramTest(kFirstRefresh) {}
    bool Loaded(const char* module) {
        return ProcessModules(program.pid).count(module) != 0;
    }
    // Opens the dialog from the tray menu, waits for what shows it is working, closes it.
    void OpenAndClose(UINT command, const char* caption, int controlId,
                      const std::function<bool()>& working) {
        PostTrayCommand(program, command);
        HWND dialog = WaitForShownDialog(program.pid, caption, controlId);
        ASSERT_NE((HWND)NULL, dialog) << caption;
        EXPECT_TRUE(WaitUntil(working)) << caption;
        ClickButton(GetDlgItem(dialog, IDC_OKAY));
        ASSERT_TRUE(WaitForWindowGone(dialog));
    }
};

TEST_F(DialogLibraries, LoadWhenTheirDialogFirstOpens) {
    ASSERT_TRUE(Loaded("user32.dll")) << "the snapshot lists the program's modules";
    EXPECT_FALSE(Loaded("comctl32.dll"));
    EXPECT_FALSE(Loaded("opengl32.dll"));
    EXPECT_FALSE(Loaded("glu32.dll"));

    ASSERT_NO_FATAL_FAILURE(OpenAndClose(CMD_TRAY_DETAILS, "Sorvagenta", IDC_FREE_BAR,
                                         [&] { return Loaded("comctl32.dll"); }));
    EXPECT_FALSE(Loaded("opengl32.dll")) << "the Details dialog needs no OpenGL";

    std::set<DWORD> before = ProcessThreads(program.pid);
    ASSERT_NO_FATAL_FAILURE(OpenAndClose(CMD_TRAY_ABOUT, "Brindlewox About", IDC_LOGO, [&] {
        return Loaded("opengl32.dll") && Loaded("glu32.dll");
    }));
    EXPECT_TRUE(WaitUntil([&] { return ProcessThreads(program.pid) == before; }))
        << "the render thread was joined";
}

} // namespace
