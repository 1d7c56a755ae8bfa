// The pictures the real program's notification icon carries to the taskbar: the program's
// own at the first add, then the gauge image for the percentage in the tooltip.
#include <stdio.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "support/icon_images.h"
#include "resource.h"
#include "support/program_test.h"

using namespace driver;
using namespace icons;

namespace {

class TrayIconPicture : public ProgramTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(BuiltProgram() != NULL) << "cannot load " << ProgramPath();
        ProgramTest::SetUp();
    }
};

TEST_F(TrayIconPicture, FirstAddCarriesTheProgramsPicture) {
    ASSERT_TRUE(WaitForTrayCalls(1));
    TrayMessage add = taskbar.Messages(program.host)[0];
    ASSERT_EQ((DWORD)kTrayAdd, add.code);
    ASSERT_TRUE(add.hasIcon);
    EXPECT_EQ(0, DifferingPixels(add, ProgramIconPicture(IDI_MAIN)));
}

TEST_F(TrayIconPicture, EachRefreshCarriesTheGaugeForTheTooltipsPercentage) {
    ASSERT_TRUE(WaitForTrayCalls(2));
    // A few more refreshes if memory moves; the first one always comes.
    PumpFor(1000);
    std::vector<TrayMessage> calls = taskbar.Messages(program.host);
    int checked = 0;
    for (const TrayMessage& call : calls) {
        if (call.code != kTrayModify) {
            continue;
        }
        EXPECT_TRUE(ShowsGaugeForTip(call)) << "the picture is not the gauge for " << call.tip;
        ++checked;
    }
    EXPECT_GE(checked, 1);
}

TEST_F(TrayIconPicture, TheGaugeIsNotTheProgramsPicture) {
    ASSERT_TRUE(WaitForTrayCalls(2));
    TrayMessage modify = taskbar.Messages(program.host)[1];
    ASSERT_EQ((DWORD)kTrayModify, modify.code);
    EXPECT_GT(DifferingPixels(modify, ProgramIconPicture(IDI_MAIN)), 0);
}

} // namespace
