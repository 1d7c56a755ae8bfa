// The GLLogoControl window class: registration, what a control sets up, its render thread's
// start and stop, and what a hundred controls leave behind.
#include <windows.h>

#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "about/logo_animation.h"
#include "about/logo_control.h"
#include "about/logo_gl.h"
#include "support/logo_test_resource.h"
#include "support/logo_test_support.h"
#include "resource.h"
#include "support/soak_support.h"

using namespace logo_test;

namespace {

INT_PTR CALLBACK TestDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A modeless dialog placing the control as the About dialog's template does.
HWND OpenTestDialog() {
    RegisterLogoControlClass(GetModuleHandleA(NULL));
    return CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_LOGO_TEST), NULL,
                              TestDialogProc, 0);
}

std::set<DWORD> ThreadsOfThisProcess() {
    return driver::ProcessThreads(GetCurrentProcessId());
}

// Screen pixels of a window's client area, read through the screen's device context.
std::vector<Rgb> CaptureClient(HWND window, int* width, int* height) {
    RECT box;
    GetClientRect(window, &box);
    MapWindowPoints(window, NULL, (POINT*)&box, 2);
    *width = box.right - box.left;
    *height = box.bottom - box.top;
    std::vector<unsigned char> p = driver::CaptureScreen(box);
    std::vector<Rgb> image(p.size() / 4);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = {p[i * 4 + 2], p[i * 4 + 1], p[i * 4]};
    }
    return image;
}

// The picture's blue tints on the cube in the middle of a shown logo.
bool ShowsTexturedCube(HWND control) {
    int width, height;
    std::vector<Rgb> image = CaptureClient(control, &width, &height);
    int blue = 0;
    for (int y = height / 2 - 10; y < height / 2 + 10; ++y) {
        for (int x = width / 2 - 10; x < width / 2 + 10; ++x) {
            Rgb c = PixelAt(image, width, x, y);
            blue += IsTextureColour(c) && c.r < 235 ? 1 : 0;
        }
    }
    return blue > 20;
}

// A logo control standing on its own as a top-level window: unlike a child window's, its
// GL image reaches the screen under Wine, so the test can look at it.
HWND OpenTopLevelLogo(int x, int y) {
    RegisterLogoControlClass(GetModuleHandleA(NULL));
    return CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kLogoControlClass, "",
                           WS_POPUP | WS_VISIBLE, x, y, 107, 80, NULL, NULL, GetModuleHandleA(NULL),
                           NULL);
}

TEST(LogoControl, ClassRegistersOnceAndRepeatedRegistrationIsHarmless) {
    HINSTANCE module = GetModuleHandleA(NULL);
    RegisterLogoControlClass(module);
    RegisterLogoControlClass(module);
    WNDCLASSEXA found = {};
    found.cbSize = sizeof found;
    ASSERT_TRUE(GetClassInfoExA(module, "GLLogoControl", &found));
    EXPECT_EQ(35u, found.style);
    EXPECT_EQ((UINT)(CS_VREDRAW | CS_HREDRAW | CS_OWNDC), found.style);
    EXPECT_EQ(GetStockObject(BLACK_BRUSH), (HGDIOBJ)found.hbrBackground);
    EXPECT_EQ(0, found.cbClsExtra);
    EXPECT_EQ(0, found.cbWndExtra);
    EXPECT_EQ(NULL, found.hCursor);
    EXPECT_EQ(NULL, found.hIcon);

    HWND dialog = OpenTestDialog();
    ASSERT_TRUE(dialog != NULL);
    HWND control = GetDlgItem(dialog, IDC_LOGO);
    char className[64] = "";
    GetClassNameA(control, className, sizeof className);
    EXPECT_STREQ("GLLogoControl", className);
    DestroyWindow(dialog);
}

TEST(LogoControl, ControlHoldsItsRecordAndAPixelFormatOnItsOwnDC) {
    HWND dialog = OpenTestDialog();
    ASSERT_TRUE(dialog != NULL);
    HWND control = GetDlgItem(dialog, IDC_LOGO);
    ASSERT_TRUE(control != NULL);

    // The record's first field is the control itself.
    LONG_PTR record = GetWindowLongPtrA(control, GWLP_USERDATA);
    ASSERT_NE(0, record);
    EXPECT_EQ(control, *(HWND*)record);

    HDC dc = GetDC(control);
    int format = GetPixelFormat(dc);
    EXPECT_GT(format, 0);
    PIXELFORMATDESCRIPTOR got = {};
    DescribePixelFormat(dc, format, sizeof got, &got);
    const DWORD asked = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    EXPECT_EQ(asked, got.dwFlags & asked);
    EXPECT_EQ(PFD_TYPE_RGBA, got.iPixelType);
    EXPECT_GE(got.cColorBits, 24);
    EXPECT_GE(got.cDepthBits, 16);
    ReleaseDC(control, dc);

    RECT outer;
    GetWindowRect(control, &outer);
    RecordProperty("control_width", outer.right - outer.left);
    RecordProperty("control_height", outer.bottom - outer.top);
    DestroyWindow(dialog);
}

struct QuickCycle {
    bool created;
    bool threadBeforePaint;
    bool renderThreadFound;
    DWORD renderThreadExitCode;
    bool renderThreadEnded;
};

DWORD WINAPI CreateAndDestroyAtOnce(LPVOID parameter) {
    QuickCycle* cycle = (QuickCycle*)parameter;
    std::set<DWORD> before = ThreadsOfThisProcess();
    HWND dialog = OpenTestDialog();
    HWND control = GetDlgItem(dialog, IDC_LOGO);
    cycle->created = dialog != NULL && control != NULL;
    // Shown, but not yet painted: no GL may run while the window is still being shown.
    cycle->threadBeforePaint = ThreadsOfThisProcess() != before;
    UpdateWindow(control);
    HANDLE render = NULL;
    for (DWORD id : ThreadsOfThisProcess()) {
        if (!before.count(id)) {
            render = OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, id);
        }
    }
    cycle->renderThreadFound = render != NULL;
    DestroyWindow(dialog);
    if (render) {
        // Joined inside DestroyWindow, so it has already ended.
        cycle->renderThreadEnded = WaitForSingleObject(render, 0) == WAIT_OBJECT_0;
        GetExitCodeThread(render, &cycle->renderThreadExitCode);
        CloseHandle(render);
    }
    return 0;
}

TEST(LogoControl, ThreadStartsAtTheFirstPaintAndDestroyingRightAfterReturnsOnceItHasEnded) {
    LogoAnimation before = processLogoAnimation;
    QuickCycle cycle = {};
    // On a thread of its own so that a hang fails this case instead of stalling the run.
    HANDLE worker = CreateThread(NULL, 0, CreateAndDestroyAtOnce, &cycle, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 60000)) << "DestroyWindow hangs";
    CloseHandle(worker);
    EXPECT_TRUE(cycle.created);
    EXPECT_FALSE(cycle.threadBeforePaint);
    ASSERT_TRUE(cycle.renderThreadFound);
    EXPECT_TRUE(cycle.renderThreadEnded);
    EXPECT_EQ(1u, cycle.renderThreadExitCode);
    RecordProperty("frames_drawn", (int)FramesBetween(before, processLogoAnimation, 100000));
}

// Wine keeps a few update regions of its own that come and go with windows; a control
// that leaked would leave at least one object per control.
const DWORD kGdiChurn = 5;

bool SettledAt(const driver::ProcessFigures& base, const driver::ProcessFigures& now) {
    return now.threads == base.threads && now.handles == base.handles &&
           now.gdiObjects <= base.gdiObjects + kGdiChurn && now.userObjects == base.userObjects;
}

TEST(LogoControl, HundredControlsLeaveNoThreadsHandlesOrGdiObjectsBehind) {
    // The first controls load GL and its drivers for good; count from after them.
    for (int i = 0; i < 3; ++i) {
        HWND warm = OpenTestDialog();
        ASSERT_TRUE(warm != NULL);
        driver::PumpFor(50);
        DestroyWindow(warm);
    }
    driver::ProcessFigures base = driver::MeasureProcess(GetCurrentProcessId());
    LogoAnimation before = processLogoAnimation;

    for (int i = 0; i < 100; ++i) {
        HWND dialog = OpenTestDialog();
        ASSERT_TRUE(dialog != NULL) << "cycle " << i;
        ASSERT_TRUE(GetDlgItem(dialog, IDC_LOGO) != NULL) << "cycle " << i;
        // Every other control gets the time to draw.
        if (i % 2 == 1) {
            driver::PumpFor(20);
        }
        DestroyWindow(dialog);
    }

    // Each render thread was joined before its control was gone; Wine's own bookkeeping
    // may still lag.
    driver::ProcessFigures after;
    driver::WaitUntil(
        [&] {
            after = driver::MeasureProcess(GetCurrentProcessId());
            return SettledAt(base, after);
        },
        20000);
    EXPECT_EQ(base.threads, after.threads);
    EXPECT_EQ(base.handles, after.handles);
    EXPECT_LE(after.gdiObjects, base.gdiObjects + kGdiChurn);
    EXPECT_EQ(base.userObjects, after.userObjects);
    EXPECT_GT(base.handles, 0u);
    EXPECT_GT(base.gdiObjects, 0u);
    RecordProperty("threads", (int)after.threads);
    RecordProperty("handles", (int)after.handles);
    RecordProperty("gdi_objects", (int)after.gdiObjects);
    RecordProperty("user_objects", (int)after.userObjects);
    RecordProperty("frames_drawn", (int)FramesBetween(before, processLogoAnimation, 10000000));
}

TEST(LogoControl, SecondControlContinuesTheAnimationWithTheTextureMadeAnew) {
    LogoAnimation start = processLogoAnimation;

    HWND first = OpenTopLevelLogo(700, 500);
    ASSERT_TRUE(first != NULL);
    EXPECT_TRUE(driver::WaitUntil([&] { return ShowsTexturedCube(first); }, 60000));
    DestroyWindow(first);
    LogoAnimation afterFirst = processLogoAnimation;
    long firstFrames = FramesBetween(start, afterFirst, 10000000);
    EXPECT_GT(firstFrames, 0);

    // Elsewhere on the screen, so the first one's last image cannot pass for it.
    HWND second = OpenTopLevelLogo(700, 650);
    ASSERT_TRUE(second != NULL);
    // A texture not made anew in the second context leaves a plain white cube.
    EXPECT_TRUE(driver::WaitUntil([&] { return ShowsTexturedCube(second); }, 60000));
    DestroyWindow(second);
    LogoAnimation afterSecond = processLogoAnimation;
    // Reached from where the first stopped: nothing was reset in between.
    long secondFrames = FramesBetween(afterFirst, afterSecond, 10000000);
    EXPECT_GT(secondFrames, 0);
    RecordProperty("first_frames", (int)firstFrames);
    RecordProperty("second_frames", (int)secondFrames);
}

// A library or entry point the system lacks leaves no table at all, and a logo made then
// starts no thread and shows its black background.
TEST(LogoControl, WithoutAnEntryPointTheTableIsNotAvailableAndTheLogoStaysBlack) {
    EXPECT_FALSE(LoadLogoGLFrom(L"opengl32.dll", L"kernel32.dll")) << "no gluPerspective";
    EXPECT_TRUE(logoGL.glBegin == NULL) << "nothing of a half-bound table is kept";
    EXPECT_FALSE(LoadLogoGLFrom(L"no-such-library.dll", L"glu32.dll"));
    EXPECT_FALSE(LoadLogoGL()) << "the logo asks once and keeps the answer";

    std::set<DWORD> before = ThreadsOfThisProcess();
    HWND logo = OpenTopLevelLogo(700, 500);
    ASSERT_TRUE(logo != NULL);
    UpdateWindow(logo); // the first paint is where a thread would start
    EXPECT_EQ(before, ThreadsOfThisProcess());
    EXPECT_TRUE(driver::WaitUntil([&] {
        int width, height;
        std::vector<Rgb> image = CaptureClient(logo, &width, &height);
        Rgb c = PixelAt(image, width, width / 2, height / 2);
        return c.r == 0 && c.g == 0 && c.b == 0;
    }));
    DestroyWindow(logo);

    EXPECT_TRUE(LoadLogoGLFrom(L"opengl32.dll", L"glu32.dll"));
    EXPECT_TRUE(logoGL.gluPerspective != NULL);
}

} // namespace
