#include "support/program_test.h"

#include <stdio.h>

namespace driver {

void WineTest::SetUp() {
    if (!UnderWine()) {
        GTEST_SKIP() << "runs under Wine only: it reads Wine's notification-area traffic and "
                        "handle tables";
    }
    if (int ended = EndLeftoverCopies()) {
        printf("[ note     ] an earlier test left the program running: %d copy ended\n", ended);
    }
}

void ProgramTest::SetUp() {
    WineTest::SetUp();
    if (IsSkipped()) {
        return;
    }
    ASSERT_TRUE(taskbar.Create()) << "the fake taskbar must be the one the shell finds";
    ASSERT_TRUE(StartProgramAndWaitForHost(&program));
    if (trayCallsBeforeTest_ > 0) {
        ASSERT_TRUE(WaitForTrayCalls(trayCallsBeforeTest_)) << "the icon's first calls";
    }
}

void ProgramTest::TearDown() {
    CloseProgram(&program);
    taskbar.Destroy();
    WineTest::TearDown();
}

} // namespace driver
