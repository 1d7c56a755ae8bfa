// The Details dialog's template as stored in the built program: the running dialog cannot
// show every style (Wine's progress bar trades WS_BORDER for an edge of its own).
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resource.h"
#include "support/dialog_template.h"

namespace {

using namespace driver;

class DetailsTemplate : public ProgramDialogTest {
  protected:
    void SetUp() override {
        LoadDialog(IDD_DETAILS);
    }
};

TEST_F(DetailsTemplate, HasTheDialogsStylesAndTheSevenControlsInOrder) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    ExpectTemplate(
        dialog, WS_EX_DLGMODALFRAME,
        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
            DS_SETFONT,
        {{IDC_OKAY, "button", 0, child | BS_DEFPUSHBUTTON | WS_TABSTOP},
         {IDC_USED_BAR, "msctls_progress32", 0, child | WS_BORDER | PBS_SMOOTH},
         {IDC_USED_TEXT, "static", 0, child | SS_LEFT | WS_GROUP},
         {IDC_FREE_BAR, "msctls_progress32", 0, child | WS_BORDER | PBS_SMOOTH},
         {IDC_FREE_TEXT, "static", 0, child | SS_LEFT | WS_GROUP},
         {IDC_TOTAL_TEXT, "static", 0, child | SS_CENTER | WS_GROUP},
         {IDC_TOPMOST, "button", 0, child | BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP}});
}

} // namespace
