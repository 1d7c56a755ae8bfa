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
        module = driver::LoadProgramAsData();
        ASSERT_TRUE(module != NULL) << "cannot load " << ProgramPath();
        ProgramTest::SetUp();
    }
    void TearDown() override {
        ProgramTest::TearDown();
        if (module) {
            FreeLibrary(module);
        }
    }
    Picture IconPicture(int id) {
        Resource image = FindEnglishResource(module, MAKEINTRESOURCEA(3) /* RT_ICON */, id);
        EXPECT_EQ(744u, image.size) << "image " << id;
        Picture picture = {};
        if (image.size == 744u) {
            picture = DecodeIconImage(image.data);
        }
        return picture;
    }
    HMODULE module = NULL;
};

// Pixels of the icon as the taskbar received it that differ from the picture: the mask
// must let exactly the transparent pixels through, and the colours must be the palette's
// (black behind transparent pixels, so nothing inverts the screen).
int DifferingPixels(const TrayMessage& call, const Picture& picture) {
    if (!call.hasIcon || call.iconWidth != kSide || call.iconHeight != kSide ||
        call.iconBitsPerPixel != 32) {
        return kSide * kSide;
    }
    const size_t maskStride = (kSide + 15) / 16 * 2;
    int differing = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            bool transparent = (call.iconMask[y * maskStride + x / 8] >> (7 - x % 8)) & 1;
            const unsigned char* bgr = &call.iconColour[(y * kSide + x) * 4];
            const unsigned char* rgb =
                kPalette[picture.transparent[y][x] ? 0 : picture.index[y][x]];
            if (transparent != picture.transparent[y][x] || bgr[0] != rgb[2] || bgr[1] != rgb[1] ||
                bgr[2] != rgb[0]) {
                ++differing;
            }
        }
    }
    return differing;
}

// The numbers a tooltip's used percentage can belong to: the shown value is rounded to two
// decimals, so a shown "42.00" may come from just under 42.
std::vector<int> NumbersForTip(const std::string& tip) {
    int whole = -1, hundredths = -1;
    std::vector<int> numbers;
    if (sscanf(tip.c_str(), "Used: %d.%d%%", &whole, &hundredths) != 2) {
        return numbers;
    }
    numbers.push_back(std::min(std::max(whole, 1), 100));
    if (hundredths == 0 && whole > 1) {
        numbers.push_back(std::min(whole - 1, 100));
    }
    return numbers;
}

TEST_F(TrayIconPicture, FirstAddCarriesTheProgramsPicture) {
    ASSERT_TRUE(WaitForTrayCalls(1));
    TrayMessage add = taskbar.Messages(program.host)[0];
    ASSERT_EQ((DWORD)kTrayAdd, add.code);
    ASSERT_TRUE(add.hasIcon);
    EXPECT_EQ(0, DifferingPixels(add, IconPicture(IDI_MAIN)));
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
        SCOPED_TRACE(call.tip);
        std::vector<int> numbers = NumbersForTip(call.tip);
        ASSERT_FALSE(numbers.empty()) << "no used percentage in the tooltip";
        int best = kSide * kSide;
        for (int number : numbers) {
            best = std::min(best, DifferingPixels(call, IconPicture(number + 1)));
        }
        EXPECT_EQ(0, best) << "the picture is not the gauge for " << numbers[0];
        ++checked;
    }
    EXPECT_GE(checked, 1);
}

TEST_F(TrayIconPicture, TheGaugeIsNotTheProgramsPicture) {
    ASSERT_TRUE(WaitForTrayCalls(2));
    TrayMessage modify = taskbar.Messages(program.host)[1];
    ASSERT_EQ((DWORD)kTrayModify, modify.code);
    EXPECT_GT(DifferingPixels(modify, IconPicture(IDI_MAIN)), 0);
}

} // namespace
