// The tray host over a long run: taskbar restarts by the thousand and an hour of refresh
// ticks with memory moving, the program's resources measured before and after.
#include <math.h>
#include <stdio.h>

#include <set>

#include <gtest/gtest.h>

#include "support/soak_support.h"

using namespace driver;

namespace {

const UINT kTrayFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

// A tray-only run touches no window, thread or GDI object; the handful of handles and the
// megabyte allow for Wine's own caches.
const FigureAllowance kTrayAllowance = {4, 0, 0, 0, 1 << 20};

class SoakTray : public ProgramTest {
  protected:
    SoakTray() : ProgramTest(kFirstRefresh) {}
    void SetUp() override {
        taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
        ProgramTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        latestTip = taskbar.Messages(program.host)[0].tip;
        latestIcon = ReceivedIconBits(taskbar.Messages(program.host)[0]);
        ASSERT_EQ(0, Review());
    }

    // Goes through the icon calls that came since the last review, in order: every add
    // must carry the picture and tooltip of the modify before it, and nothing deletes the
    // icon while the program runs. Returns the calls that broke that.
    int Review() {
        int wrong = 0;
        for (const TrayMessage& m : taskbar.Messages(program.host)) {
            std::vector<unsigned char> picture = ReceivedIconBits(m);
            pictures.insert(picture);
            if (m.code == kTrayModify) {
                latestTip = m.tip;
                latestIcon = picture;
                ++modifies;
            } else if (m.code == kTrayAdd) {
                bool same = m.tip == latestTip && picture == latestIcon;
                wrong += !same || m.flags != kTrayFlags || !m.hasIcon;
                latestTip = m.tip;
                latestIcon = picture;
            } else {
                ++wrong;
            }
        }
        taskbar.Clear();
        return wrong;
    }

    // Posts the restart message count times and waits for as many adds.
    int RestartTaskbar(int count) {
        int wrong = Review();
        for (int i = 0; i < count; ++i) {
            PostMessageA(program.host, taskbarCreated, 0, 0);
        }
        bool allCame = WaitUntil([&] { return CountAdds() >= count; }, 60000);
        EXPECT_TRUE(allCame) << CountAdds() << " of " << count << " adds came; the shell finds "
                             << (FindWindowA("Shell_TrayWnd", NULL) == taskbar.Window() ? "ours"
                                                                                        : "another")
                             << (Answers(program.host) ? "" : "; the program does not answer");
        return wrong + Review();
    }

    // Once the figures settle (the calls meanwhile reviewed too): nothing broke, nothing
    // was left behind beyond the pictures shown for the first time.
    void ExpectSettledAndFlat(const char* run, int count, const ProcessFigures& before,
                              size_t picturesAtStart, int wrong) {
        FigureAllowance allowance;
        ProcessFigures after = MeasureSettled(program.pid, before, [&] {
            wrong += Review();
            return allowance = WithNewPictures(kTrayAllowance, picturesAtStart, pictures.size());
        });
        EXPECT_EQ(0, wrong) << "adds without the latest picture and tooltip, or deletes";
        ReportFigures(run, count, before, after);
        printf("[ figures  ]   %d pictures shown for the first time\n",
               (int)(pictures.size() - picturesAtStart));
        EXPECT_TRUE(StaysFlat(before, after, allowance));
    }

    int CountAdds() {
        int adds = 0;
        for (const TrayMessage& m : taskbar.Messages(program.host)) {
            adds += m.code == kTrayAdd;
        }
        return adds;
    }

    std::string latestTip;
    std::vector<unsigned char> latestIcon;
    // Every picture seen, for the GDI allowance (see WithNewPictures).
    std::set<std::vector<unsigned char>> pictures;
    int modifies = 0;
    UINT taskbarCreated = 0;
};

TEST_F(SoakTray, TaskbarCreatedTenThousandTimesAddsTheLatestIconEachTimeAndLeaksNothing) {
    const int total = SoakCount(1000, 10000);
    const int batch = 100;
    EXPECT_EQ(0, RestartTaskbar(batch)) << "warm-up";
    ProcessFigures before = MeasureProcess(program.pid);
    size_t picturesAtStart = pictures.size();

    int wrong = 0;
    // A batch whose adds never all came ends the test rather than waiting on every other.
    for (int sent = 0; sent < total && !HasFailure(); sent += batch) {
        wrong += RestartTaskbar(batch);
    }

    ExpectSettledAndFlat("TaskbarCreated", total, before, picturesAtStart, wrong);
    DWORD code = 99;
    ASSERT_TRUE(ExitProgram(&program, &code));
    EXPECT_EQ(0u, code);
}

TEST_F(SoakTray, AnHourOfRefreshTicksWithMemoryMovingFollowsTheFiguresAndLeaksNothing) {
    const int ticks = SoakCount(1440, 14400);
    const int batch = 60; // fifteen seconds' ticks between two moves of memory
    MemoryChurn churn;
    auto runBatch = [&](int tick) {
        churn.Step();
        // Wine's GlobalMemoryStatusEx answers from a cache renewed at most once a second,
        // so new figures can only show once a second has passed.
        PumpFor(1100);
        for (int i = 0; i < batch; ++i) {
            // Any timer id refreshes; lParam stays 0, or it would be called as a TIMERPROC.
            PostMessageA(program.host, WM_TIMER, (WPARAM)(1 + (tick + i) % 3), 0);
        }
        // Posted messages are handled in order: once this one's add is here, the ticks
        // before it have all been handled.
        return RestartTaskbar(1);
    };
    EXPECT_EQ(0, runBatch(0)) << "warm-up";
    ProcessFigures before = MeasureProcess(program.pid);
    size_t picturesAtStart = pictures.size();

    int wrong = 0;
    int batches = 0;
    int modifiesBefore = modifies;
    // A batch whose add never came ends the run: a fault fails at once, not batch by batch.
    for (int tick = 0; tick < ticks && !HasFailure(); tick += batch, ++batches) {
        wrong += runBatch(tick);
    }
    churn.ReleaseAll();
    EXPECT_GE(modifies - modifiesBefore, batches / 2) << "memory moved, the tooltip must follow";

    // With the memory given back, the tooltip comes to the machine's figures.
    TipFigures shown = {};
    double freeMB = 0;
    double totalMB = 1;
    bool close = WaitUntil([&] {
        PostMessageA(program.host, WM_TIMER, 1, 0);
        wrong += RestartTaskbar(1);
        MEMORYSTATUSEX status = {};
        status.dwLength = sizeof status;
        GlobalMemoryStatusEx(&status);
        freeMB = status.ullAvailPhys / 1048576.0;
        totalMB = status.ullTotalPhys / 1048576.0;
        return ParseTrayTip(latestTip, &shown) && fabs(shown.freeMB - freeMB) < totalMB * 0.01;
    });
    EXPECT_TRUE(close) << latestTip << " while " << freeMB << " MB are free";

    ExpectSettledAndFlat("refresh ticks", ticks, before, picturesAtStart, wrong);
}

} // namespace
