// The test fixtures over the driver: a test that needs Wine, and one with the program
// running beside the fake taskbar.
#pragma once

#include <gtest/gtest.h>

#include "support/program_driver.h"

namespace driver {

// A test of the running program, skipped on Windows itself (it reads Wine's notification-area
// traffic and handle tables). It starts and ends with no copy of the program running: a
// leftover copy would refuse the next test's and hold the runner's output open.
class WineTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override {
        EndLeftoverCopies();
    }
};

// The icon's add, then its first figures: the host is running its message loop.
const size_t kFirstRefresh = 2;

// The fake taskbar in place and the program started, its host window found and, when asked
// for, that many icon calls made.
class ProgramTest : public WineTest {
  protected:
    explicit ProgramTest(size_t trayCallsBeforeTest = 0)
        : trayCallsBeforeTest_(trayCallsBeforeTest) {}
    void SetUp() override;
    void TearDown() override;
    // Waits until the program has made at least count icon calls.
    bool WaitForTrayCalls(size_t count) {
        return WaitUntil([&] { return taskbar.Count(program.host) >= count; });
    }
    FakeTaskbar taskbar;
    Program program;

  private:
    size_t trayCallsBeforeTest_;
};

} // namespace driver
