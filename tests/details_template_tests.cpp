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

TEST_F(DetailsTemplate, IsAnExtendedTemplateWithTheDialogsFrameFontAndPlace) {
    EXPECT_EQ(1, dialog.version);
    EXPECT_EQ(0xFFFF, dialog.signature);
    EXPECT_EQ((DWORD)WS_EX_DLGMODALFRAME, dialog.exStyle);
    EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                      DS_MODALFRAME | DS_SETFONT),
              dialog.style);
    EXPECT_EQ(274, dialog.x);
    EXPECT_EQ(92, dialog.y);
    EXPECT_EQ(174, dialog.cx);
    EXPECT_EQ(70, dialog.cy);
    EXPECT_EQ(0, dialog.menu.ordinal);
    EXPECT_EQ("", dialog.menu.name);
    EXPECT_EQ(0, dialog.windowClass.ordinal);
    EXPECT_EQ("", dialog.windowClass.name);
    EXPECT_EQ("", dialog.title) << "the caption is set when the dialog opens";
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ(0, dialog.weight);
    EXPECT_EQ(0, dialog.italic);
    EXPECT_EQ(0, dialog.charset);
    EXPECT_EQ("MS Sans Serif", dialog.typeface);
}

TEST_F(DetailsTemplate, HoldsTheSevenControlsInOrderWithTheirClassesTextsStylesAndPlaces) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const ExpectedItem expected[] = {
        {IDC_OKAY, "button", "Okay", 0, child | BS_DEFPUSHBUTTON | WS_TABSTOP, 68, 53, 36, 13},
        {IDC_USED_BAR, "msctls_progress32", "Progress1", 0, child | WS_BORDER | PBS_SMOOTH, 1, 22,
         172, 7},
        {IDC_USED_TEXT, "static", "Static", 0, child | SS_LEFT | WS_GROUP, 1, 13, 172, 8},
        {IDC_FREE_BAR, "msctls_progress32", "Progress1", 0, child | WS_BORDER | PBS_SMOOTH, 1, 42,
         172, 7},
        {IDC_FREE_TEXT, "static", "Static", 0, child | SS_LEFT | WS_GROUP, 1, 33, 172, 8},
        {IDC_TOTAL_TEXT, "static", "Static", 0, child | SS_CENTER | WS_GROUP, 1, 1, 172, 8},
        {IDC_TOPMOST, "button", "Top Most", 0, child | BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP,
         1, 59, 46, 10},
    };
    ASSERT_EQ(sizeof expected / sizeof expected[0], dialog.items.size());
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "control " << i);
        ExpectItem(dialog.items[i], expected[i]);
    }
}

} // namespace
