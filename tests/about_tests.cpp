// The About dialog of the real program: its template as built, and the box itself opened
// from the tray menu and from the Details dialog, driven from outside as a user would.
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "product.h"
#include "resource.h"
#include "support/dialog_template.h"
#include "support/program_test.h"

using namespace driver;

namespace {

const char kAboutCaption[] = SORVAGENTA_ABOUT_CAPTION;
const char kCredits[] = "Sorvagenta, written by Brindlewox\r\n"
                        "www.brindlewox.example\r\n"
                        "________________________________\r\n"
                        "Copyright (C) Brindlewox. All rights reserved.\r\n";

// ---------------------------------------------------------------------------------------
// The template, read from the program file.

const DWORD kChild = WS_CHILD | WS_VISIBLE;

class AboutTemplate : public ProgramDialogTest {
  protected:
    void SetUp() override {
        LoadDialog(IDD_ABOUT);
    }
};

// No system menu, hence no close box. windres stores the logo's class name upper-cased;
// class names are matched without case.
TEST_F(AboutTemplate, HasTheDialogsStylesAndOkCreditsAndLogoInThatOrder) {
    ExpectTemplate(dialog, 0, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK,
                   {{IDC_OKAY, "button", 0, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP},
                    {IDC_CREDITS, "edit", 0,
                     kChild | ES_MULTILINE | ES_CENTER | ES_READONLY | ES_AUTOHSCROLL |
                         ES_AUTOVSCROLL | WS_BORDER | WS_TABSTOP | WS_DISABLED},
                    {IDC_LOGO, "gllogocontrol", WS_EX_STATICEDGE, kChild}});
}

// ---------------------------------------------------------------------------------------
// The running program.

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// Pixel sizes of dialog units for the About template's font, measured on a dialog of this
// process made from the template's own header (the controls left out).
struct DialogUnits {
    bool valid = false;
    RECT logoPlace = {}; // left, top and, as right and bottom, width and height
    RECT dialogSize = {};
};

DialogUnits MeasureAboutUnits() {
    DialogUnits units;
    std::vector<BYTE> bytes;
    DialogTemplate t;
    if (!LoadProgramDialog(IDD_ABOUT, &bytes) ||
        !ParseDialogTemplate(bytes.data(), bytes.size(), &t)) {
        return units;
    }
    std::vector<BYTE> header(bytes.begin(), bytes.begin() + t.headerBytes);
    WORD none = 0;
    memcpy(header.data() + 16, &none, sizeof none); // cDlgItems
    HWND probe = CreateDialogIndirectParamA(GetModuleHandleA(NULL), (LPCDLGTEMPLATEA)header.data(),
                                            NULL, PlainDialogProc, 0);
    if (!probe) {
        return units;
    }
    // The dialog manager maps position and size separately, each rounded on its own.
    RECT position = {1, 2, 1, 2};
    RECT size = {0, 0, 70, 49};
    RECT dialog = {0, 0, 254, 71};
    MapDialogRect(probe, &position);
    MapDialogRect(probe, &size);
    MapDialogRect(probe, &dialog);
    DestroyWindow(probe);
    units.logoPlace = {position.left, position.top, size.right, size.bottom};
    units.dialogSize = dialog;
    units.valid = true;
    return units;
}

std::set<DWORD> Without(const std::set<DWORD>& all, const std::set<DWORD>& old) {
    std::set<DWORD> rest;
    std::set_difference(all.begin(), all.end(), old.begin(), old.end(),
                        std::inserter(rest, rest.end()));
    return rest;
}

bool AnyAlive(const std::set<DWORD>& threads, DWORD pid) {
    std::set<DWORD> now = ProcessThreads(pid);
    return std::any_of(threads.begin(), threads.end(),
                       [&](DWORD id) { return now.count(id) != 0; });
}

class AboutTest : public ProgramTest {
  protected:
    AboutTest() : ProgramTest(kFirstRefresh) {}
    HWND WaitForAbout() {
        return WaitForShownDialog(program.pid, kAboutCaption, IDC_LOGO);
    }
    HWND OpenAboutFromTrayMenu() {
        return ChooseTrayEntry(program, 1) ? WaitForAbout() : NULL;
    }
    HWND OpenDetails() {
        PostTrayCommand(program, CMD_TRAY_DETAILS);
        HWND details = WaitForWindow(program.pid, kDialogClass, "Sorvagenta");
        if (details) {
            WaitUntil([&] { return WindowText(GetDlgItem(details, IDC_USED_TEXT)) != "Static"; });
        }
        return details;
    }
    std::vector<HWND> ShownDialogs() {
        return ProcessWindows(program.pid, kDialogClass, NULL, true);
    }
};

TEST_F(AboutTest, OpensFromTheTrayMenuCentredWithItsCaptionAndNoCloseBox) {
    HWND about = OpenAboutFromTrayMenu();
    ASSERT_NE((HWND)NULL, about);
    EXPECT_EQ(kAboutCaption, WindowText(about));
    EXPECT_EQ(program.host, GetWindow(about, GW_OWNER)) << "owned by the host window";
    LONG style = GetWindowLongA(about, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU) << "no close box";

    // Half a caption height above the true centre, in integer halves.
    RECT place;
    GetWindowRect(about, &place);
    int width = place.right - place.left;
    int height = place.bottom - place.top;
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - width) / 2, place.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - height - GetSystemMetrics(SM_CYCAPTION)) / 2,
              place.top);

    DialogUnits units = MeasureAboutUnits();
    ASSERT_TRUE(units.valid);
    RECT client;
    GetClientRect(about, &client);
    EXPECT_EQ(units.dialogSize.right, client.right);
    EXPECT_EQ(units.dialogSize.bottom, client.bottom);
}

TEST_F(AboutTest, CreditsBoxHoldsTheFourLinesBlackOnWhite) {
    HWND about = OpenAboutFromTrayMenu();
    ASSERT_NE((HWND)NULL, about);
    HWND credits = GetDlgItem(about, IDC_CREDITS);
    ASSERT_NE((HWND)NULL, credits);
    EXPECT_EQ("Edit", ClassOf(credits));
    EXPECT_EQ(kCredits, WindowText(credits));
    EXPECT_EQ(4, (int)SendMessageA(credits, EM_GETLINECOUNT, 0, 0) - 1)
        << "four lines, then the empty one after the last line end";
    char line[64] = "";
    *(WORD*)line = sizeof line - 1;
    LRESULT n = SendMessageA(credits, EM_GETLINE, 2, (LPARAM)line);
    EXPECT_EQ(std::string(32, '_'), std::string(line, (size_t)n));
    EXPECT_FALSE(IsWindowEnabled(credits)) << "never takes the focus";

    // Inside its border the box is white with dark text. Without the dialog's colours a
    // disabled box shows the face colour; the text itself is drawn in the grey of
    // disabled text whatever text colour the dialog supplies.
    RECT box;
    GetWindowRect(credits, &box);
    InflateRect(&box, -3, -3);
    COLORREF face = GetSysColor(COLOR_3DFACE);
    int white = 0, dark = 0, faceColoured = 0, total = 0;
    auto painted = [&] {
        std::vector<unsigned char> pixels = CaptureScreen(box);
        white = dark = faceColoured = 0;
        total = (int)pixels.size() / 4;
        for (size_t i = 0; i < pixels.size(); i += 4) {
            int b = pixels[i], g = pixels[i + 1], r = pixels[i + 2];
            if (r == 255 && g == 255 && b == 255) {
                ++white;
            } else if (r <= 200 && g <= 200 && b <= 200) {
                ++dark;
            }
            if (RGB(r, g, b) == face) {
                ++faceColoured;
            }
        }
        return white > total * 3 / 4 && dark > 100 && faceColoured == 0;
    };
    EXPECT_TRUE(WaitUntil(painted)) << white << " white, " << dark << " dark and " << faceColoured
                                    << " face-coloured of " << total;
}

TEST_F(AboutTest, LogoIsAChildOfTheTemplatesSizeWhoseRenderThreadLivesWithTheBox) {
    std::set<DWORD> before = ProcessThreads(program.pid);
    ASSERT_FALSE(before.empty());
    HWND about = OpenAboutFromTrayMenu();
    ASSERT_NE((HWND)NULL, about);

    HWND logo = GetDlgItem(about, IDC_LOGO);
    ASSERT_NE((HWND)NULL, logo);
    EXPECT_EQ("GLLogoControl", ClassOf(logo));
    EXPECT_EQ(about, GetParent(logo));
    EXPECT_TRUE(GetWindowLongA(logo, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    EXPECT_TRUE(IsWindowVisible(logo));

    DialogUnits units = MeasureAboutUnits();
    ASSERT_TRUE(units.valid);
    RECT place;
    GetWindowRect(logo, &place);
    MapWindowPoints(NULL, about, (POINT*)&place, 2);
    EXPECT_EQ(units.logoPlace.left, place.left);
    EXPECT_EQ(units.logoPlace.top, place.top);
    EXPECT_EQ(units.logoPlace.right, place.right - place.left) << "width";
    EXPECT_EQ(units.logoPlace.bottom, place.bottom - place.top) << "height";

    // A thread of its own, busy drawing, while the box is open.
    std::set<DWORD> added;
    ASSERT_TRUE(
        WaitUntil([&] { return !(added = Without(ProcessThreads(program.pid), before)).empty(); }));
    PumpFor(500);
    EXPECT_TRUE(AnyAlive(added, program.pid)) << "still running while the box is open";

    ClickButton(GetDlgItem(about, IDC_OKAY));
    ASSERT_TRUE(WaitForWindowGone(about));
    EXPECT_TRUE(WaitUntil([&] { return !AnyAlive(added, program.pid); }))
        << "joined when the box closed";
    EXPECT_TRUE(WaitUntil([&] { return ProcessThreads(program.pid) == before; }));
}

TEST_F(AboutTest, EscapeLeavesItOpenEnterAndOkCloseIt) {
    HWND about = OpenAboutFromTrayMenu();
    ASSERT_NE((HWND)NULL, about);
    PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(about, WM_KEYUP, VK_ESCAPE, 0);
    // The program handles its posted messages in order: once a later right click has
    // opened the menu, Escape has been dealt with.
    HWND menu = OpenTrayMenu(program);
    ASSERT_NE((HWND)NULL, menu);
    ASSERT_TRUE(EscapeMenu(program, menu));
    EXPECT_TRUE(IsWindow(about) && IsWindowVisible(about)) << "Escape does not close it";

    PostMessageA(about, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(WaitForWindowGone(about)) << "Enter presses the default button";

    // Again, now with the button itself; a second showing in the same run works too.
    about = OpenAboutFromTrayMenu();
    ASSERT_NE((HWND)NULL, about);
    EXPECT_EQ(kCredits, WindowText(GetDlgItem(about, IDC_CREDITS)));
    HWND ok = GetDlgItem(about, IDC_OKAY);
    EXPECT_EQ("Ok", WindowText(ok));
    ClickButton(ok);
    EXPECT_TRUE(WaitForWindowGone(about));
    EXPECT_TRUE(ShownDialogs().empty());
}

TEST_F(AboutTest, SecondShowingHasItsOwnLogoThreadAndTheSameCredits) {
    std::set<DWORD> before = ProcessThreads(program.pid);
    for (int showing = 0; showing < 2; ++showing) {
        HWND about = OpenAboutFromTrayMenu();
        ASSERT_NE((HWND)NULL, about) << "showing " << showing;
        EXPECT_EQ("GLLogoControl", ClassOf(GetDlgItem(about, IDC_LOGO)));
        EXPECT_EQ(kCredits, WindowText(GetDlgItem(about, IDC_CREDITS)));
        EXPECT_TRUE(WaitUntil([&] {
            return !Without(ProcessThreads(program.pid), before).empty();
        })) << "showing "
            << showing;
        PostMessageA(about, WM_KEYDOWN, VK_RETURN, 0);
        ASSERT_TRUE(WaitForWindowGone(about));
        EXPECT_TRUE(WaitUntil([&] { return ProcessThreads(program.pid) == before; }));
    }
}

TEST_F(AboutTest, WhileOpenTheTrayMenuEntriesOpenNothing) {
    HWND about = OpenAboutFromTrayMenu();
    ASSERT_NE((HWND)NULL, about);
    // Time after time: each menu changes windows while the logo's thread draws, and under
    // X11 the two once hung each other within a few dozen menus.
    for (int walk = 0; walk < 30; ++walk) {
        ASSERT_TRUE(ChooseTrayEntry(program, 1 + walk % 2))
            << (walk % 2 ? "Details" : "About") << ", walk " << walk
            << (Answers(program.host) ? "" : "; the program stopped answering");
    }
    // Menu commands arrive as posted messages: once a later menu has opened, both
    // commands have been handled.
    HWND menu = OpenTrayMenu(program);
    ASSERT_NE((HWND)NULL, menu);
    ASSERT_TRUE(EscapeMenu(program, menu));
    std::vector<HWND> shown = ShownDialogs();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(about, shown[0]);
    EXPECT_EQ(1u, ProcessWindows(program.pid, kDialogClass, kAboutCaption).size());
}

TEST_F(AboutTest, OverTheDetailsDialogItIsOwnedByItComesToTheFrontAndTheFiguresKeepChanging) {
    HWND details = OpenDetails();
    ASSERT_NE((HWND)NULL, details);
    PostMessageA(details, WM_SYSCOMMAND, SYSCMD_ABOUT, 0);
    HWND about = WaitForAbout();
    ASSERT_NE((HWND)NULL, about);
    EXPECT_EQ(details, GetWindow(about, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(details)) << "modal over the Details dialog";

    // A left click on the icon brings the About box to the front, not the dialog under it.
    OtherWindow bystander({10, 10, 110, 70});
    ASSERT_NE((HWND)NULL, bystander.get());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(TakeForeground(bystander.get()));
        PostTrayMouse(program, WM_LBUTTONDOWN);
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == about; }))
            << "round " << round << ": foreground is " << ClassOf(GetForegroundWindow()) << " "
            << WindowText(GetForegroundWindow());
    }
    // The click opened nothing new.
    EXPECT_EQ(2u, ShownDialogs().size());
    EXPECT_EQ(1u, ProcessWindows(program.pid, kDialogClass, kAboutCaption).size());
    EXPECT_EQ(1u, ProcessWindows(program.pid, kDialogClass, "Sorvagenta").size());

    HWND usedText = GetDlgItem(details, IDC_USED_TEXT);
    HWND freeText = GetDlgItem(details, IDC_FREE_TEXT);
    std::string used = WindowText(usedText);
    std::string freeBefore = WindowText(freeText);
    MemoryChurn churn;
    EXPECT_TRUE(WaitUntil(
        [&] {
            churn.Step();
            return WindowText(usedText) != used && WindowText(freeText) != freeBefore;
        },
        60000))
        << "still showing " << used << " and " << freeBefore;
    EXPECT_TRUE(IsWindowVisible(about));

    PostMessageA(about, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(WaitForWindowGone(about));
    EXPECT_TRUE(IsWindowVisible(details)) << "the Details dialog stays";
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(details) != FALSE; }));
}

// The About box's loop still hands the Details dialog what is posted to it. The Version box,
// posted last, shows once both About commands before it have been handled.
TEST_F(AboutTest, PostedTwiceToTheDetailsDialogItOpensOnce) {
    HWND details = OpenDetails();
    ASSERT_NE((HWND)NULL, details);
    for (UINT command : {SYSCMD_ABOUT, SYSCMD_ABOUT, SYSCMD_VERSION}) {
        PostMessageA(details, WM_SYSCOMMAND, command, 0);
    }
    ASSERT_NE((HWND)NULL, WaitForWindow(program.pid, kDialogClass, "Application Version"));
    EXPECT_EQ(1u, ProcessWindows(program.pid, kDialogClass, kAboutCaption).size());
}

} // namespace
