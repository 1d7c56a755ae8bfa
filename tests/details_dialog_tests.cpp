// The real program's Details dialog, opened and worked from outside as the shell and a
// user would: from the tray, by keys, by its buttons and its system menu.
#include <windows.h>
#include <commctrl.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "product.h"
#include "resource.h"
#include "support/browser_standin.h"
#include "support/details_menu_spy.h"
#include "support/program_test.h"

using namespace driver;

namespace {

const char kCaption[] = "Sorvagenta";
const double kBytesPerMB = 1048576.0;

// What the dialog shows at one moment.
struct Shown {
    std::string total, used, free;
    int usedBar = -1, freeBar = -1;
    bool operator==(const Shown& other) const {
        return total == other.total && used == other.used && free == other.free &&
               usedBar == other.usedBar && freeBar == other.freeBar;
    }
};

// A percentage and a megabyte figure as a readout text shows them.
struct Figures {
    double pct = 0, mb = 0;
};

int BarPosition(HWND dialog, int id) {
    DWORD_PTR position = (DWORD_PTR)-1;
    SendMessageTimeoutA(GetDlgItem(dialog, id), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &position);
    return (int)position;
}

Shown ReadShown(HWND dialog) {
    Shown shown;
    shown.total = WindowText(GetDlgItem(dialog, IDC_TOTAL_TEXT));
    shown.used = WindowText(GetDlgItem(dialog, IDC_USED_TEXT));
    shown.usedBar = BarPosition(dialog, IDC_USED_BAR);
    shown.free = WindowText(GetDlgItem(dialog, IDC_FREE_TEXT));
    shown.freeBar = BarPosition(dialog, IDC_FREE_BAR);
    return shown;
}

// Two reads in a row that agree, so that bars and texts come from one refresh.
bool ReadSteady(HWND dialog, Shown* shown) {
    return WaitUntil([&] {
        Shown first = ReadShown(dialog);
        *shown = ReadShown(dialog);
        return first == *shown;
    });
}

// Parses "<label>: <pct>% / <mb> MB" and insists on the exact format: two decimals,
// one space before "MB", nothing around.
bool ParseReadout(const char* label, const std::string& text, Figures* figures) {
    std::string pattern = std::string(label) + ": %lf%% / %lf MB";
    if (sscanf(text.c_str(), pattern.c_str(), &figures->pct, &figures->mb) != 2) {
        return false;
    }
    char again[128];
    snprintf(again, sizeof again, (std::string(label) + ": %.2f%% / %.2f MB").c_str(), figures->pct,
             figures->mb);
    return text == again;
}

// The truncated positions a bar may hold for a percentage shown rounded to 0.01.
bool BarMatchesShownPercent(int bar, double shownPct) {
    int low = (int)floor(shownPct - 0.005);
    int high = (int)floor(shownPct + 0.005);
    return bar >= low && bar <= high;
}

std::string ExpectedTotalText() {
    char text[128];
    snprintf(text, sizeof text, "Total Memory: %.2f MB",
             (double)SystemMemory().ullTotalPhys / kBytesPerMB);
    return text;
}

// Waits until the used and the free readout both show other figures than they did.
bool WaitForBothToChange(HWND dialog, const Shown& was, Shown* now) {
    return WaitUntil([&] {
        *now = ReadShown(dialog);
        return now->free != was.free && now->used != was.used;
    });
}

// Checks one steady view against itself: formats, bars, and percentages that follow from
// the megabytes and the total.
void ExpectConsistent(const Shown& shown) {
    EXPECT_EQ(ExpectedTotalText(), shown.total);
    Figures used, free;
    ASSERT_TRUE(ParseReadout("Used", shown.used, &used)) << shown.used;
    ASSERT_TRUE(ParseReadout("Free", shown.free, &free)) << shown.free;
    EXPECT_TRUE(BarMatchesShownPercent(shown.usedBar, used.pct))
        << "used bar " << shown.usedBar << " for " << shown.used;
    EXPECT_TRUE(BarMatchesShownPercent(shown.freeBar, free.pct))
        << "free bar " << shown.freeBar << " for " << shown.free;
    double totalMB = (double)SystemMemory().ullTotalPhys / kBytesPerMB;
    EXPECT_NEAR(used.mb / totalMB * 100.0, used.pct, 0.006) << shown.used;
    EXPECT_NEAR(free.mb / totalMB * 100.0, free.pct, 0.006) << shown.free;
    // Three snapshots, so only nearly 100.
    EXPECT_NEAR(100.0, used.pct + free.pct, 1.0);
}

// Whether the shown used and free megabytes lie within the system's figures read just
// before and just after, give or take what memory may move in a refresh period.
bool AgreesWithSystem(HWND dialog, std::string* report) {
    MEMORYSTATUSEX before = SystemMemory();
    Shown shown = ReadShown(dialog);
    MEMORYSTATUSEX after = SystemMemory();
    Figures used, free;
    if (!ParseReadout("Used", shown.used, &used) || !ParseReadout("Free", shown.free, &free)) {
        *report = "unreadable: " + shown.used + " | " + shown.free;
        return false;
    }
    double slack = 0.01 * (double)before.ullTotalPhys / kBytesPerMB;
    double freeBefore = (double)before.ullAvailPhys / kBytesPerMB;
    double freeAfter = (double)after.ullAvailPhys / kBytesPerMB;
    double usedBefore = (double)(before.ullTotalPhys - before.ullAvailPhys) / kBytesPerMB;
    double usedAfter = (double)(after.ullTotalPhys - after.ullAvailPhys) / kBytesPerMB;
    char text[256];
    snprintf(text, sizeof text, "shown used %.2f free %.2f; system used %.2f..%.2f free %.2f..%.2f",
             used.mb, free.mb, usedBefore, usedAfter, freeBefore, freeAfter);
    *report = text;
    return used.mb >= fmin(usedBefore, usedAfter) - slack &&
           used.mb <= fmax(usedBefore, usedAfter) + slack &&
           free.mb >= fmin(freeBefore, freeAfter) - slack &&
           free.mb <= fmax(freeBefore, freeAfter) + slack;
}

bool IsTopMost(HWND window) {
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

LRESULT TopMostCheck(HWND dialog) {
    DWORD_PTR state = (DWORD_PTR)-1;
    SendMessageTimeoutA(GetDlgItem(dialog, IDC_TOPMOST), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &state);
    return (LRESULT)state;
}

// Whether a is above b in the z-order of top-level windows.
bool IsAbove(HWND a, HWND b) {
    for (HWND next = GetWindow(a, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT)) {
        if (next == b) {
            return true;
        }
    }
    return false;
}

struct MenuEntry {
    bool separator;
    UINT id;
    std::string text;
    bool operator==(const MenuEntry& other) const {
        return separator == other.separator && id == other.id && text == other.text;
    }
};

std::ostream& operator<<(std::ostream& out, const MenuEntry& entry) {
    return entry.separator ? out << "(separator)" : out << entry.id << " \"" << entry.text << '"';
}

std::vector<MenuEntry> ParseMenuDescription(const std::string& description) {
    std::vector<MenuEntry> entries;
    size_t start = 0;
    while (start < description.size()) {
        size_t end = description.find('\n', start);
        std::string line = description.substr(start, end - start);
        start = end == std::string::npos ? description.size() : end + 1;
        MenuEntry entry = {line == "S", 0, ""};
        if (!entry.separator) {
            size_t space = line.find(' ');
            entry.id = (UINT)strtoul(line.substr(0, space).c_str(), NULL, 10);
            entry.text = space == std::string::npos ? "" : line.substr(space + 1);
        }
        entries.push_back(entry);
    }
    return entries;
}

std::string menuReply;

LRESULT CALLBACK MenuReplyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT* copy = (const COPYDATASTRUCT*)lParam;
        if (copy->dwData == kMenuSpyReply && copy->cbData > 0) {
            menuReply.assign((const char*)copy->lpData, copy->cbData - 1);
            return TRUE;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The system menu of a window of the program, read from inside the program by the spy
// hook; empty if it could not be read.
std::vector<MenuEntry> ReadSystemMenu(HWND window, HMODULE spy) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MenuReplyProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "DetailsTestMenuReply";
    RegisterClassA(&wc);
    HWND reply = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                 wc.hInstance, NULL);
    HOOKPROC hook = (HOOKPROC)(void*)GetProcAddress(spy, "DetailsMenuSpyHook");
    HHOOK hooked =
        SetWindowsHookExA(WH_GETMESSAGE, hook, spy, GetWindowThreadProcessId(window, NULL));
    menuReply.clear();
    std::vector<MenuEntry> entries;
    if (hooked) {
        PostMessageA(window, RegisterWindowMessageA(kMenuSpyRequest), (WPARAM)reply, 0);
        if (WaitUntil([] { return !menuReply.empty(); })) {
            entries = ParseMenuDescription(menuReply);
        }
        UnhookWindowsHookEx(hooked);
    }
    DestroyWindow(reply);
    return entries;
}

// The system menu this system gives a window framed like the dialog, before any entries
// are added to it.
std::vector<MenuEntry> DefaultSystemMenu(HMODULE spy) {
    DescribeSystemMenuFn describe =
        (DescribeSystemMenuFn)(void*)GetProcAddress(spy, "DescribeSystemMenu");
    HWND like = CreateWindowExA(WS_EX_DLGMODALFRAME, kDialogClass, "",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME,
                                0, 0, 100, 100, NULL, NULL, GetModuleHandleA(NULL), NULL);
    char description[4096] = "";
    if (describe && like) {
        describe(like, description, sizeof description);
    }
    DestroyWindow(like);
    return ParseMenuDescription(description);
}

class DetailsDialog : public ProgramTest {
  protected:
    // Waits for the dialog to show; what it shows at that first moment lands in firstSight.
    HWND WaitForDetails() {
        HWND dialog = WaitForWindow(program.pid, kDialogClass, kCaption);
        if (dialog) {
            firstSight = ReadShown(dialog);
        }
        return dialog;
    }
    HWND OpenFromMenu() {
        PostTrayCommand(program, CMD_TRAY_DETAILS);
        return WaitForDetails();
    }
    HWND OpenFromClickButton() {
        PostTrayMouse(program, WM_LBUTTONDOWN);
        return WaitForDetails();
    }
    std::vector<HWND> OpenDialogs() {
        return ProcessWindows(program.pid, kDialogClass, kCaption, true);
    }
    bool WaitForClosed(HWND dialog) {
        return WaitUntil([&] { return !IsWindow(dialog) && OpenDialogs().empty(); });
    }
    HWND WaitForVersionBox() {
        return WaitForWindow(program.pid, kDialogClass, "Application Version");
    }
    // Opens the dialog, then its Version box from the system menu.
    void OpenVersionBox(HWND* dialog, HWND* box) {
        *dialog = OpenFromMenu();
        ASSERT_NE((HWND)NULL, *dialog);
        PostMessageA(*dialog, WM_SYSCOMMAND, SYSCMD_VERSION, 0);
        *box = WaitForVersionBox();
        ASSERT_NE((HWND)NULL, *box);
    }
    // Every control filled at once: no template placeholder left, bars in step.
    void ExpectFilledAtFirstSight() {
        EXPECT_NE("Static", firstSight.total);
        EXPECT_NE("Static", firstSight.used);
        EXPECT_NE("Static", firstSight.free);
        Figures used, free;
        ASSERT_TRUE(ParseReadout("Used", firstSight.used, &used)) << firstSight.used;
        ASSERT_TRUE(ParseReadout("Free", firstSight.free, &free)) << firstSight.free;
        EXPECT_TRUE(BarMatchesShownPercent(firstSight.usedBar, used.pct)) << firstSight.usedBar;
        EXPECT_TRUE(BarMatchesShownPercent(firstSight.freeBar, free.pct)) << firstSight.freeBar;
        EXPECT_EQ(ExpectedTotalText(), firstSight.total);
    }

    Shown firstSight;
};

TEST_F(DetailsDialog, OpensFromTheMenuCentredTopMostWithTopMostPressedAndFilled) {
    HWND dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    ExpectFilledAtFirstSight();
    EXPECT_EQ(kCaption, WindowText(dialog));
    EXPECT_EQ(program.host, GetWindow(dialog, GW_OWNER)) << "modal over the host window";
    EXPECT_TRUE(IsTopMost(dialog));
    EXPECT_EQ(BST_CHECKED, TopMostCheck(dialog));

    RECT box, work;
    GetWindowRect(dialog, &box);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((work.left + work.right) / 2.0, (box.left + box.right) / 2.0, 1.0);
    EXPECT_NEAR((work.top + work.bottom) / 2.0, (box.top + box.bottom) / 2.0, 1.0);

    EXPECT_EQ(7u, ChildWindows(dialog).size());
    EXPECT_EQ("Okay", WindowText(GetDlgItem(dialog, IDC_OKAY)));
    EXPECT_EQ("Top Most", WindowText(GetDlgItem(dialog, IDC_TOPMOST)));
}

TEST_F(DetailsDialog, OpensFromALeftClickOnTheIcon) {
    HWND dialog = OpenFromClickButton();
    ASSERT_NE((HWND)NULL, dialog);
    ExpectFilledAtFirstSight();
    EXPECT_TRUE(IsTopMost(dialog));
    EXPECT_EQ(1u, OpenDialogs().size());
}

TEST_F(DetailsDialog, ReadoutsShowTheSystemsFiguresInTheirExactFormats) {
    HWND dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    Shown shown;
    ASSERT_TRUE(ReadSteady(dialog, &shown));
    ExpectConsistent(shown);
    // Memory moves; a refresh period later the view must have caught up within 1 % of total.
    std::string report;
    EXPECT_TRUE(WaitUntil([&] { return AgreesWithSystem(dialog, &report); })) << report;
}

TEST_F(DetailsDialog, TopMostToggleClearsAndRestoresTopMost) {
    HWND dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    // Another application's window, made after the program's, as on any desktop in use.
    // (Under Wine, a popup whose hidden owner is the top normal window is put back just
    // below the top-most window above that owner, and so stays top-most.)
    RECT place;
    GetWindowRect(dialog, &place);
    OtherWindow cover(place);
    ASSERT_NE((HWND)NULL, cover.get());
    SetWindowPos(cover.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(IsAbove(dialog, cover.get())) << "a top-most dialog stays above other windows";

    ClickButton(GetDlgItem(dialog, IDC_TOPMOST));
    ASSERT_TRUE(WaitUntil([&] { return !IsTopMost(dialog); }));
    EXPECT_EQ(BST_UNCHECKED, TopMostCheck(dialog));
    // Raised again as often as needed: the dialog may take activation, and the top, late.
    EXPECT_TRUE(WaitUntil([&] {
        SetWindowPos(cover.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return IsAbove(cover.get(), dialog);
    })) << "other windows can now cover the dialog";

    ClickButton(GetDlgItem(dialog, IDC_TOPMOST));
    ASSERT_TRUE(WaitUntil([&] { return IsTopMost(dialog); }));
    EXPECT_EQ(BST_CHECKED, TopMostCheck(dialog));
    EXPECT_TRUE(IsAbove(dialog, cover.get()));
    SetWindowPos(cover.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(IsAbove(dialog, cover.get()));
    EXPECT_TRUE(IsWindowVisible(dialog));
}

TEST_F(DetailsDialog, EscapeLeavesItOpen) {
    HWND dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    PressKey(dialog, VK_ESCAPE);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    // Handled after both: once the toggle has moved, Escape has been seen.
    ClickButton(GetDlgItem(dialog, IDC_TOPMOST));
    ASSERT_TRUE(WaitUntil([&] { return TopMostCheck(dialog) == BST_UNCHECKED; }));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(1u, OpenDialogs().size());
}

TEST_F(DetailsDialog, LeftClickWhileOpenBringsItToTheFrontAndMenuEntriesDoNothing) {
    HWND dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    RECT place = {0, 0, 50, 50};
    OtherWindow other(place);
    ASSERT_TRUE(TakeForeground(other.get()));

    PostTrayMouse(program, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog; }));
    EXPECT_EQ(1u, OpenDialogs().size()) << "no second dialog";

    // The menu's About and Details, then a click whose effect shows they have been handled.
    ASSERT_TRUE(TakeForeground(other.get()));
    PostTrayCommand(program, CMD_TRAY_ABOUT);
    PostTrayCommand(program, CMD_TRAY_DETAILS);
    PostTrayMouse(program, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dialog; }));
    std::vector<HWND> shown = ProcessWindows(program.pid, NULL, NULL, true);
    ASSERT_EQ(1u, shown.size()) << "only the Details dialog shows";
    EXPECT_EQ(dialog, shown[0]);
}

TEST_F(DetailsDialog, ExitFromTheTrayMenuStillEndsTheProgram) {
    HWND dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    PostTrayCommand(program, CMD_TRAY_EXIT);
    DWORD code = 99;
    ASSERT_TRUE(WaitForExit(&program, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(DetailsDialog, SystemMenuEndsWithVersionAboutAndTheWebSiteAfterSeparators) {
    HWND dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    HMODULE spy = LoadLibraryA(kMenuSpyLibrary);
    ASSERT_NE((HMODULE)NULL, spy);
    std::vector<MenuEntry> expected = DefaultSystemMenu(spy);
    ASSERT_FALSE(expected.empty());
    expected.push_back({true, 0, ""});
    expected.push_back({false, SYSCMD_VERSION, "Version"});
    expected.push_back({false, SYSCMD_ABOUT, "About"});
    expected.push_back({true, 0, ""});
    expected.push_back({false, SYSCMD_WEBSITE, "www.brindlewox.example"});
    std::vector<MenuEntry> shown = ReadSystemMenu(dialog, spy);
    EXPECT_EQ(expected, shown);

    // Reopened, the dialog gets a fresh system menu with the entries once, not twice.
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitForClosed(dialog));
    dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    EXPECT_EQ(expected, ReadSystemMenu(dialog, spy));
    FreeLibrary(spy);
}

// The Version box: exact text and caption, one OK button, no icon, over the dialog.
void ExpectVersionBox(HWND box, HWND dialog) {
    ASSERT_TRUE(WaitUntil([&] { return GetDlgItem(box, kMessageBoxTextId) != NULL; }));
    EXPECT_EQ("Brindlewox Sorvagenta, Version 1.0.0.1",
              WindowText(GetDlgItem(box, kMessageBoxTextId)));
    EXPECT_EQ(dialog, GetWindow(box, GW_OWNER));
    std::vector<std::string> buttons;
    for (HWND button : ChildWindows(box, "Button")) {
        if (IsWindowVisible(button)) {
            buttons.push_back(WindowText(button));
            EXPECT_EQ(IDOK, GetDlgCtrlID(button));
        }
    }
    EXPECT_EQ(NULL, MessageBoxIcon(box)) << "no icon in the box";
    ASSERT_EQ(1u, buttons.size());
    EXPECT_EQ("OK", buttons[0]);
}

// Twice in one run, by command and then by keyboard: a guard left set by the first box
// would keep the second from showing.
TEST_F(DetailsDialog, VersionShowsItsTextCaptionAndOnlyAnOkButtonAgainAndAgain) {
    HWND dialog = NULL, box = NULL;
    ASSERT_NO_FATAL_FAILURE(OpenVersionBox(&dialog, &box));
    ExpectVersionBox(box, dialog);
    ClickButton(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitForWindowGone(box));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open under the box";

    // Alt+Space opens the system menu; Version is two up from the last entry, the web
    // site, with About between them.
    PostMessageA(dialog, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    ASSERT_TRUE(WaitUntil([&] { return FindOpenMenu(program.pid) != NULL; }));
    PressKey(dialog, VK_END);
    PressKey(dialog, VK_UP);
    PressKey(dialog, VK_UP);
    PressKey(dialog, VK_RETURN);
    box = WaitForVersionBox();
    ASSERT_NE((HWND)NULL, box) << "the second Version box";
    ExpectVersionBox(box, dialog);
    ClickButton(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitForWindowGone(box));
}

// The box's loop hands the dialog the later commands; About, posted last, opens once every
// Version command before it has been handled.
TEST_F(DetailsDialog, VersionPostedThreeTimesOpensOneBox) {
    HWND dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    for (UINT command : {SYSCMD_VERSION, SYSCMD_VERSION, SYSCMD_VERSION, SYSCMD_ABOUT}) {
        PostMessageA(dialog, WM_SYSCOMMAND, command, 0);
    }
    ASSERT_NE((HWND)NULL, WaitForWindow(program.pid, kDialogClass, SORVAGENTA_ABOUT_CAPTION));
    EXPECT_EQ(1u, ProcessWindows(program.pid, kDialogClass, "Application Version").size());
}

TEST_F(DetailsDialog, FiguresKeepRefreshingWhileTheVersionBoxIsOpen) {
    HWND dialog = NULL, box = NULL;
    ASSERT_NO_FATAL_FAILURE(OpenVersionBox(&dialog, &box));

    Shown before;
    ASSERT_TRUE(ReadSteady(dialog, &before));
    MemoryBlock block(384u << 20);
    ASSERT_TRUE(block.ok());
    Shown during;
    EXPECT_TRUE(WaitForBothToChange(dialog, before, &during)) << "still " << before.free;
    block.Release();
    Shown after;
    EXPECT_TRUE(WaitForBothToChange(dialog, during, &after)) << "still " << during.free;
    EXPECT_TRUE(IsWindow(box)) << "the box stayed open throughout";
    ASSERT_TRUE(ReadSteady(dialog, &after));
    ExpectConsistent(after);
    ClickButton(GetDlgItem(box, IDOK));
}

// The https handler of the test prefix, for as long as this lives: the stand-in browser,
// which logs each address it is given and waits until let go. The old handler comes back.
class StandInBrowser {
  public:
    StandInBrowser() {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        log_ = std::string(folder) + "sorvagenta-browser.log";
        DeleteFileA(log_.c_str());
        release_ = CreateEventA(NULL, TRUE, FALSE, kBrowserStandInRelease);
        char old[1024];
        DWORD size = sizeof old;
        hadHandler_ = RegGetValueA(HKEY_CLASSES_ROOT, kHandlerKey, NULL, RRF_RT_REG_SZ, NULL, old,
                                   &size) == ERROR_SUCCESS;
        oldHandler_ = hadHandler_ ? old : "";
        std::string command =
            "\"" + BuiltFolder() + "browser_standin.exe\" \"" + log_ + "\" \"%1\"";
        // A browser taking the address by DDE, as many do: the shell starts it and waits for
        // it to settle, handling what is sent to the caller's windows meanwhile.
        registered_ = SetHandler(command) && RegSetKeyValueA(HKEY_CLASSES_ROOT, kDdeKey, NULL,
                                                             REG_SZ, "%1", 3) == ERROR_SUCCESS;
    }
    ~StandInBrowser() {
        SetEvent(release_);
        SetHandler(oldHandler_);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kDdeKey);
        CloseHandle(release_);
    }
    bool Registered() const {
        return registered_ && release_;
    }
    // Lets every stand-in started so far, and any started later, end.
    void Release() {
        SetEvent(release_);
    }
    // The addresses opened so far, in order.
    std::vector<std::string> Opened() const {
        std::vector<std::string> lines;
        FILE* file = fopen(log_.c_str(), "rb");
        char line[1024];
        while (file && fgets(line, sizeof line, file)) {
            lines.push_back(std::string(line, strcspn(line, "\r\n")));
        }
        if (file) {
            fclose(file);
        }
        return lines;
    }

  private:
    static constexpr const char* kHandlerKey = "https\\shell\\open\\command";
    static constexpr const char* kDdeKey = "https\\shell\\open\\ddeexec";
    static bool SetHandler(const std::string& command) {
        return RegSetKeyValueA(HKEY_CLASSES_ROOT, kHandlerKey, NULL, REG_SZ, command.c_str(),
                               (DWORD)command.size() + 1) == ERROR_SUCCESS;
    }
    std::string log_;
    HANDLE release_;
    bool hadHandler_;
    std::string oldHandler_;
    bool registered_;
};

TEST_F(DetailsDialog, WebSiteOpensTheMakersAddressOnceAndNotAgainWhileItOpens) {
    StandInBrowser browser;
    ASSERT_TRUE(browser.Registered());
    HWND dialog = OpenFromMenu();
    ASSERT_NE((HWND)NULL, dialog);
    PostMessageA(dialog, WM_SYSCOMMAND, SYSCMD_WEBSITE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !browser.Opened().empty(); })) << "no browser started";

    // The shell waits for the browser to settle and meanwhile handles what is sent to the
    // dialog: a repeat then must open nothing.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(dialog, WM_SYSCOMMAND, SYSCMD_WEBSITE, 0, SMTO_NORMAL, 5000, &ignored);
    browser.Release();
    // Once the first has finished the entry works again. The Version box, posted last, shows
    // when that second opening has been handled.
    PostMessageA(dialog, WM_SYSCOMMAND, SYSCMD_WEBSITE, 0);
    PostMessageA(dialog, WM_SYSCOMMAND, SYSCMD_VERSION, 0);
    HWND box = WaitForVersionBox();
    ASSERT_NE((HWND)NULL, box);
    const std::string address = "https://www.brindlewox.example/";
    EXPECT_EQ(std::vector<std::string>({address, address}), browser.Opened());
    ClickButton(GetDlgItem(box, IDOK));
}

} // namespace
