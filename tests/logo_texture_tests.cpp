// The logo's picture as the program stores it: size, tints, and enough asymmetry that the
// scene tests can tell upright from mirrored or upside down.
#include <windows.h>

#include <math.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "support/logo_test_support.h"
#include "support/program_test.h"

using namespace logo_test;

namespace {

double MeanDifference(const std::vector<unsigned char>& texture, bool flip, bool mirror) {
    double total = 0;
    for (int y = 0; y < kTextureSize; ++y) {
        for (int x = 0; x < kTextureSize; ++x) {
            int other = TextureTint(texture, mirror ? kTextureSize - 1 - x : x,
                                    flip ? kTextureSize - 1 - y : y);
            total += abs(TextureTint(texture, x, y) - other);
        }
    }
    return total / (kTextureSize * kTextureSize);
}

TEST(LogoTexture, ProgramCarriesThe12288BytePicture) {
    HMODULE program = driver::LoadProgramAsData();
    ASSERT_TRUE(program != NULL) << driver::ProgramPath();
    std::vector<unsigned char> shipped = TextureResource(program);
    FreeLibrary(program);
    EXPECT_EQ((size_t)kTextureBytes, shipped.size());
    // The tests draw the same bytes the program carries.
    EXPECT_TRUE(shipped == TextureResource(GetModuleHandleA(NULL)));
}

TEST(LogoTexture, EveryPixelIsATintOfOneBlue) {
    std::vector<unsigned char> texture = TextureResource(GetModuleHandleA(NULL));
    ASSERT_EQ((size_t)kTextureBytes, texture.size());
    std::set<int> tints;
    for (int i = 0; i < kTextureSize * kTextureSize; ++i) {
        int r = texture[i * 3], g = texture[i * 3 + 1], b = texture[i * 3 + 2];
        ASSERT_EQ(r, g) << "pixel " << i;
        ASSERT_EQ(255, b) << "pixel " << i;
        ASSERT_GE(r, 99) << "pixel " << i;
        tints.insert(r);
    }
    EXPECT_EQ(99, *tints.begin());
    EXPECT_EQ(255, *tints.rbegin());
    EXPECT_GE(tints.size(), 8u);
    RecordProperty("tints", (int)tints.size());
}

TEST(LogoTexture, PictureIsARingWithDeepArcsAroundAMarkOnWhite) {
    std::vector<unsigned char> t = TextureResource(GetModuleHandleA(NULL));
    ASSERT_EQ((size_t)kTextureBytes, t.size());
    // White corners and white between the ring and the mark.
    EXPECT_EQ(255, TextureTint(t, 0, 0));
    EXPECT_EQ(255, TextureTint(t, 63, 63));
    EXPECT_EQ(255, TextureTint(t, 14, 31));
    // Deep arcs at the top and bottom of the ring, pale ring at its sides.
    EXPECT_EQ(99, TextureTint(t, 31, 9));
    EXPECT_EQ(99, TextureTint(t, 31, 54));
    EXPECT_GT(TextureTint(t, 3, 31), 200);
    EXPECT_LT(TextureTint(t, 3, 31), 255);
    // The mark in the centre: mid blue at its head, deeper at its foot.
    int head = 255, foot = 255;
    for (int x = 24; x < 40; ++x) {
        head = std::min(head, TextureTint(t, x, 18));
        foot = std::min(foot, TextureTint(t, x, 41));
    }
    EXPECT_LT(head, 200);
    EXPECT_LT(foot, head);
}

TEST(LogoTexture, PictureDiffersFromItsFlippedAndMirroredSelves) {
    std::vector<unsigned char> texture = TextureResource(GetModuleHandleA(NULL));
    ASSERT_EQ((size_t)kTextureBytes, texture.size());
    EXPECT_GT(MeanDifference(texture, true, false), 10.0);
    EXPECT_GT(MeanDifference(texture, false, true), 5.0);
    EXPECT_GT(MeanDifference(texture, true, true), 10.0);
}

} // namespace
