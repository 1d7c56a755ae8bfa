// The program when its surroundings fail: no taskbar, a taskbar that goes and comes back,
// copies started all at once, a copy killed without warning.
#include <algorithm>

#include <gtest/gtest.h>

#include "resource.h"
#include "support/icon_images.h"
#include "support/soak_support.h"

using namespace driver;

namespace {

const UINT kTrayFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

// The first add of the icon from that host window, once it has come.
bool WaitForAdd(const FakeTaskbar& taskbar, HWND host, TrayMessage* add) {
    return WaitUntil([&] {
        for (const TrayMessage& m : taskbar.Messages(host)) {
            if (m.code == kTrayAdd) {
                *add = m;
                return true;
            }
        }
        return false;
    });
}

// The add must show the figures as they are now and the gauge picture that goes with
// them: the truncated used percentage plus one is the icon id.
void ExpectCurrentPictureAndFigures(const TrayMessage& add) {
    EXPECT_EQ(kTrayFlags, add.flags);
    TipFigures shown = {};
    ASSERT_TRUE(ParseTrayTip(add.tip, &shown)) << "figures, not the start-up name: " << add.tip;
    double totalMB = SystemMemory().ullTotalPhys / 1048576.0;
    EXPECT_NEAR(shown.usedMB + shown.freeMB, totalMB, totalMB * 0.02);

    ASSERT_TRUE(add.hasIcon);
    EXPECT_TRUE(icons::ShowsGaugeForTip(add)) << "the gauge picture for " << add.tip;
}

// Stands first in the shell's search and refuses every icon call, as if no taskbar ran: under
// Wine the desktop process always owns a hidden tray window, which cannot be closed.
const TaskbarPolicy kNoTaskbar = {0, true, false};

class FaultTaskbar : public WineTest {};
class FaultStart : public WineTest {};

TEST_F(FaultTaskbar, NoTaskbarAtStartThenTheIconComesWithTheCurrentPictureAndTooltip) {
    // Under Wine the desktop process always owns a hidden "Shell_TrayWnd"; say whose.
    HWND wines = FindWindowA("Shell_TrayWnd", NULL);
    DWORD owner = 0;
    GetWindowThreadProcessId(wines, &owner);
    printf("[ note     ] FindWindow(\"Shell_TrayWnd\") before the test: %p, process %lu\n",
           (void*)wines, (unsigned long)owner);

    FakeTaskbar absent;
    absent.SetPolicy(kNoTaskbar);
    ASSERT_TRUE(absent.Create());
    Program program;
    ASSERT_TRUE(StartProgramAndWaitForHost(&program));
    // The add and the first figures are refused; the program runs on and keeps refreshing.
    MemoryChurn churn;
    ASSERT_TRUE(WaitUntil([&] {
        churn.Step();
        return (int)absent.Count() >= 4;
    }));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(program.process, 0));
    EXPECT_TRUE(IsWindow(program.host));
    churn.ReleaseAll();

    // The taskbar comes without a word: the next tick's add is taken. Made before the
    // stand-in goes, so that Wine's own tray never takes the add.
    FakeTaskbar taskbar;
    ASSERT_TRUE(taskbar.Create());
    absent.Destroy();
    TrayMessage add;
    ASSERT_TRUE(WaitForAdd(taskbar, program.host, &add));
    EXPECT_EQ((DWORD)kTrayAdd, taskbar.Messages(program.host)[0].code) << "the add comes first";
    ExpectCurrentPictureAndFigures(add);

    // From then on the icon follows memory as usual.
    size_t before = taskbar.Count(program.host);
    EXPECT_TRUE(WaitUntil([&] {
        churn.Step();
        return taskbar.Count(program.host) > before;
    }));
    DWORD code = 99;
    ASSERT_TRUE(ExitProgram(&program, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ((DWORD)kTrayDelete, taskbar.Messages(program.host).back().code);
    CloseProgram(&program);
}

TEST_F(FaultTaskbar, TaskbarGoesAwayAndComesBackWhileTheDetailsDialogIsOpen) {
    FakeTaskbar first;
    ASSERT_TRUE(first.Create());
    Program program;
    ASSERT_TRUE(StartProgramAndWaitForHost(&program));
    ASSERT_TRUE(WaitUntil([&] { return first.Count(program.host) >= 2; }));
    PostTrayCommand(program, CMD_TRAY_DETAILS);
    HWND details = WaitForShownDialog(program.pid, "Sorvagenta", IDC_OKAY);
    ASSERT_NE((HWND)NULL, details);

    first.Destroy();
    FakeTaskbar absent;
    absent.SetPolicy(kNoTaskbar);
    ASSERT_TRUE(absent.Create());
    MemoryChurn churn;
    ASSERT_TRUE(WaitUntil([&] {
        churn.Step();
        return (int)absent.Count() >= 2;
    })) << "the tray keeps refreshing inside the dialog's loop";
    absent.Destroy();

    FakeTaskbar back;
    ASSERT_TRUE(back.Create());
    PostMessageA(program.host, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    TrayMessage add;
    ASSERT_TRUE(WaitForAdd(back, program.host, &add));
    ExpectCurrentPictureAndFigures(add);

    // The dialog never noticed: still open, still showing figures, and closes as ever.
    EXPECT_TRUE(IsWindowVisible(details));
    EXPECT_EQ(0u, WindowText(GetDlgItem(details, IDC_USED_TEXT)).find("Used: "));
    ClickButton(GetDlgItem(details, IDC_OKAY));
    ASSERT_TRUE(WaitForWindowGone(details));
    size_t before = back.Count(program.host);
    EXPECT_TRUE(WaitUntil([&] {
        churn.Step();
        return back.Count(program.host) > before;
    })) << "the icon follows memory in the new taskbar";
    DWORD code = 99;
    ASSERT_TRUE(ExitProgram(&program, &code));
    EXPECT_EQ(0u, code);
    CloseProgram(&program);
}

// The index of the first call of that code from index on, or the count of calls.
size_t FindCall(const std::vector<TrayMessage>& calls, size_t from, DWORD code) {
    while (from < calls.size() && calls[from].code != code) {
        ++from;
    }
    return from;
}

// A taskbar that answers as Windows does: it refuses an add of an icon it holds and a
// modify of one it does not.
class FaultTaskbarLikeWindows : public WineTest {
  protected:
    // Starts the program with the taskbar refusing that many adds first; returns once
    // the taskbar holds the icon with figures.
    void Start(int refuseAdds) {
        TaskbarPolicy policy;
        policy.likeWindows = true;
        policy.refuseAdds = refuseAdds;
        taskbar.SetPolicy(policy);
        ASSERT_TRUE(taskbar.Create());
        ASSERT_TRUE(StartProgramAndWaitForHost(&program));
        TipFigures figures;
        ASSERT_TRUE(WaitUntil([&] {
            std::vector<TrayMessage> held = taskbar.HeldIcons(program.host);
            return !held.empty() && ParseTrayTip(held[0].tip, &figures);
        }));
    }
    void TearDown() override {
        CloseProgram(&program);
        WineTest::TearDown();
    }
    // The one icon the taskbar holds is what the program last sent it.
    void ExpectOneCurrentIcon() {
        std::vector<TrayMessage> held = taskbar.HeldIcons(program.host);
        ASSERT_EQ(1u, held.size());
        EXPECT_EQ(taskbar.LatestTip(program.host), held[0].tip);
        EXPECT_EQ(ReceivedIconBits(taskbar.Messages(program.host).back()),
                  ReceivedIconBits(held[0]));
    }
    FakeTaskbar taskbar;
    Program program;
};

TEST_F(FaultTaskbarLikeWindows, RefusedAddsAreTriedAgainEachTickUntilOneIsTaken) {
    const int refusals = 12;
    ASSERT_NO_FATAL_FAILURE(Start(refusals));
    std::vector<TrayMessage> adds;
    for (const TrayMessage& m : taskbar.Messages(program.host)) {
        if (m.code == kTrayAdd) {
            adds.push_back(m);
        }
    }
    ASSERT_EQ(refusals + 1u, adds.size()) << "the first add after the refusals is taken";
    EXPECT_FALSE(adds.back().refused);
    ExpectCurrentPictureAndFigures(adds.back());
    ExpectOneCurrentIcon();

    // The first add comes at start, the second at the first tick, then one a tick (250 ms)
    // at most. Wine renews memory figures once a second, so some ticks retry unchanged.
    DWORD span = adds[refusals - 1].receivedAt - adds[1].receivedAt;
    EXPECT_GE(span, (DWORD)(refusals - 5) * 250) << "adds too close together";
    int unchanged = 0;
    for (int i = 2; i < refusals; ++i) {
        unchanged += adds[i].tip == adds[i - 1].tip;
    }
    EXPECT_GT(unchanged, 0) << "retried only when the figures changed";
}

TEST_F(FaultTaskbarLikeWindows, AnIconTheTaskbarForgotIsAddedAgainAtTheNextChange) {
    ASSERT_NO_FATAL_FAILURE(Start(0));
    size_t before = taskbar.Count(program.host);
    // Exit is posted while the refused modify is answered: an add made at once comes ahead
    // of it, one left to the next tick never comes, since Exit stops the ticks.
    bool exitPosted = false;
    taskbar.WatchCalls([&](const TrayMessage& m) {
        if (m.code == kTrayModify && m.refused && !exitPosted) {
            PostTrayCommand(program, CMD_TRAY_EXIT);
            exitPosted = true;
        }
    });
    taskbar.ForgetIcons();
    MemoryChurn churn;
    ASSERT_TRUE(WaitUntil(
        [&] {
            churn.Step();
            return exitPosted;
        },
        60000));
    DWORD code = 99;
    ASSERT_TRUE(WaitForExit(&program, &code));
    EXPECT_EQ(0u, code);
    std::vector<TrayMessage> calls = taskbar.Messages(program.host);
    ASSERT_GE(calls.size(), before + 3);
    EXPECT_EQ((DWORD)kTrayModify, calls[before].code);
    EXPECT_TRUE(calls[before].refused);
    EXPECT_EQ((DWORD)kTrayAdd, calls[before + 1].code) << "the add comes before the next tick";
    EXPECT_FALSE(calls[before + 1].refused);
    EXPECT_EQ(calls[before].tip, calls[before + 1].tip);
    ExpectCurrentPictureAndFigures(calls[before + 1]);
    EXPECT_EQ((DWORD)kTrayDelete, calls[before + 2].code);
}

TEST_F(FaultTaskbarLikeWindows, TaskbarCreatedWhileTheTaskbarHoldsTheIconLeavesOneCurrentIcon) {
    ASSERT_NO_FATAL_FAILURE(Start(0));
    size_t before = taskbar.Count(program.host);
    const int restarts = 3;
    for (int i = 0; i < restarts; ++i) {
        PostMessageA(program.host, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    }
    std::vector<size_t> adds;
    ASSERT_TRUE(WaitUntil([&] {
        std::vector<TrayMessage> calls = taskbar.Messages(program.host);
        adds.clear();
        for (size_t at = FindCall(calls, before, kTrayAdd); at + 1 < calls.size();
             at = FindCall(calls, at + 1, kTrayAdd)) {
            adds.push_back(at);
        }
        return adds.size() >= (size_t)restarts;
    }));
    // Each add is refused as a duplicate and at once followed by a modify that is taken.
    std::vector<TrayMessage> calls = taskbar.Messages(program.host);
    for (size_t at : adds) {
        EXPECT_TRUE(calls[at].refused);
        EXPECT_EQ((DWORD)kTrayModify, calls[at + 1].code);
        EXPECT_FALSE(calls[at + 1].refused);
        EXPECT_EQ(calls[at].tip, calls[at + 1].tip);
    }
    ExpectOneCurrentIcon();

    DWORD code = 99;
    ASSERT_TRUE(ExitProgram(&program, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(taskbar.HeldIcons(program.host).empty()) << "the delete is taken";
}

struct CopyState {
    HWND host = NULL;
    HWND box = NULL;
    bool ended = false;
};

CopyState StateOf(const Program& copy) {
    CopyState state;
    state.host = FindProcessWindow(copy.pid, "Sorvagenta", "Sorvagenta");
    state.box = FindProcessWindow(copy.pid, "#32770", "Sorvagenta", true);
    state.ended = WaitForSingleObject(copy.process, 0) == WAIT_OBJECT_0;
    return state;
}

TEST_F(FaultStart, TwentyCopiesStartedTogetherLeaveExactlyOneRunning) {
    FakeTaskbar taskbar;
    ASSERT_TRUE(taskbar.Create());
    const int copies = 20;
    std::vector<Program> programs(copies);
    std::vector<HANDLE> threads(copies);
    for (int i = 0; i < copies; ++i) {
        ASSERT_TRUE(StartProgram(&programs[i], &threads[i]));
    }
    // All made and waiting; let them go at once.
    for (HANDLE thread : threads) {
        ResumeThread(thread);
    }
    for (HANDLE thread : threads) {
        CloseHandle(thread);
    }

    std::vector<CopyState> states(copies);
    int hosts = 0, boxes = 0, ended = 0;
    bool settled = WaitUntil(
        [&] {
            hosts = boxes = ended = 0;
            for (int i = 0; i < copies; ++i) {
                states[i] = StateOf(programs[i]);
                hosts += states[i].host != NULL;
                boxes += states[i].box != NULL;
                ended += states[i].ended;
            }
            return hosts + boxes + ended >= copies && boxes >= copies - 1;
        },
        120000);
    EXPECT_TRUE(settled);
    ASSERT_EQ(1, hosts) << "copies with a host window";
    ASSERT_EQ(copies - 1, boxes) << "copies showing the duplicate box";
    EXPECT_EQ(0, ended) << "copies that ended by themselves";

    int running = -1;
    for (int i = 0; i < copies; ++i) {
        if (states[i].host) {
            running = i;
            continue;
        }
        HWND box = states[i].box;
        EXPECT_EQ("Only One Instance Can Run At A Time!", WindowText(GetDlgItem(box, 0xFFFF)));
        EXPECT_EQ(NULL, FindProcessWindow(programs[i].pid, "Sorvagenta"));
        ClickButton(GetDlgItem(box, IDOK));
    }
    for (int i = 0; i < copies; ++i) {
        if (i == running) {
            continue;
        }
        DWORD code = 99;
        EXPECT_TRUE(WaitForExit(&programs[i], &code)) << "copy " << i;
        EXPECT_EQ(1u, code) << "copy " << i;
    }

    // The one left runs undisturbed: its icon is the only one, added once.
    Program& survivor = programs[running];
    survivor.host = states[running].host;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(survivor.process, 0));
    ASSERT_TRUE(WaitUntil([&] { return taskbar.Count(survivor.host) >= 2; }));
    std::vector<TrayMessage> calls = taskbar.Messages();
    EXPECT_TRUE(std::all_of(calls.begin(), calls.end(),
                            [&](const TrayMessage& m) { return m.window == survivor.host; }));
    EXPECT_EQ(1, std::count_if(calls.begin(), calls.end(),
                               [](const TrayMessage& m) { return m.code == kTrayAdd; }));
    DWORD code = 99;
    ASSERT_TRUE(ExitProgram(&survivor, &code));
    EXPECT_EQ(0u, code);
    for (Program& p : programs) {
        CloseProgram(&p);
    }
}

TEST_F(FaultStart, ACopyKilledWithoutWarningLeavesNothingThatStopsTheNext) {
    FakeTaskbar taskbar;
    ASSERT_TRUE(taskbar.Create());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Program doomed;
        ASSERT_TRUE(StartProgramAndWaitForHost(&doomed));
        ASSERT_TRUE(WaitUntil([&] { return taskbar.Count(doomed.host) >= 2; }));
        if (round == 1) {
            // Killed while a modal dialog runs inside the host window's procedure.
            PostTrayCommand(doomed, CMD_TRAY_DETAILS);
            ASSERT_NE((HWND)NULL, WaitForShownDialog(doomed.pid, "Sorvagenta", IDC_OKAY));
        }
        KillProgram(&doomed);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(doomed.process, 0));
        CloseProgram(&doomed);

        Program next;
        ASSERT_TRUE(StartProgramAndWaitForHost(&next));
        ASSERT_TRUE(WaitUntil([&] { return taskbar.Count(next.host) >= 2; }))
            << "the new copy adds its icon and refreshes it";
        std::vector<TrayMessage> calls = taskbar.Messages(next.host);
        EXPECT_EQ((DWORD)kTrayAdd, calls[0].code);
        EXPECT_EQ("Sorvagenta", calls[0].tip);
        EXPECT_EQ(NULL, FindProcessWindow(next.pid, "#32770")) << "no duplicate box";
        DWORD code = 99;
        ASSERT_TRUE(ExitProgram(&next, &code));
        EXPECT_EQ(0u, code);
        CloseProgram(&next);
    }
}

// The figures every leak check rests on, shown right against leaks of a known size made
// here: each brush and each kernel handle counts once, and counts no more once freed.
TEST(FaultMeasure, FiguresCountKnownLeaksOfBrushesAndHandlesExactly) {
    const DWORD self = GetCurrentProcessId();
    MeasureProcess(self); // its own first use loads what it needs
    ProcessFigures before = MeasureProcess(self);
    std::vector<HBRUSH> brushes;
    std::vector<HANDLE> events;
    for (int i = 0; i < 10; ++i) {
        brushes.push_back(CreateSolidBrush(RGB(i, 1, 2)));
        events.push_back(CreateEventA(NULL, TRUE, FALSE, NULL));
    }
    ProcessFigures leaking = MeasureProcess(self);
    EXPECT_EQ(before.gdiObjects + 10, leaking.gdiObjects) << leaking.gdiKinds;
    EXPECT_EQ(before.handles + 10, leaking.handles);
    EXPECT_FALSE(StaysFlat(before, leaking, {9, 9, 0, 0, 1 << 20}));
    for (int i = 0; i < 10; ++i) {
        DeleteObject(brushes[i]);
        CloseHandle(events[i]);
    }
    ProcessFigures freed = MeasureProcess(self);
    EXPECT_EQ(before.gdiObjects, freed.gdiObjects) << freed.gdiKinds;
    EXPECT_EQ(before.handles, freed.handles);
}

} // namespace
