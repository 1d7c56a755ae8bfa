// The icon groups and images of the built Sorvagenta.exe, read back from the file itself.
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "support/icon_images.h"
#include "resource.h"
#include "support/program_test.h"

using namespace icons;

namespace {

const int kImageBytes = 744;

unsigned U16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}

unsigned U32(const unsigned char* p) {
    return U16(p) | (unsigned)U16(p + 2) << 16;
}

Resource Image(int id) {
    return FindEnglishResource(BuiltProgram(), MAKEINTRESOURCEA(3) /* RT_ICON */, id);
}

std::vector<int> OneToOneHundredAndOne() {
    std::vector<int> ids;
    for (int id = IDI_MAIN; id <= IDI_GAUGE_LAST; ++id) {
        ids.push_back(id);
    }
    return ids;
}

class IconResources : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(BuiltProgram() != NULL) << "cannot load " << driver::ProgramPath();
    }
};

TEST_F(IconResources, GroupsAndImagesAreNumberedOneToOneHundredAndOne) {
    std::vector<int> groups = ResourceIds(BuiltProgram(), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    std::vector<int> images = ResourceIds(BuiltProgram(), MAKEINTRESOURCEA(3));
    std::sort(groups.begin(), groups.end());
    std::sort(images.begin(), images.end());
    EXPECT_EQ(OneToOneHundredAndOne(), groups);
    EXPECT_EQ(OneToOneHundredAndOne(), images);
    EXPECT_EQ(1, IDI_MAIN);
    EXPECT_EQ(2, IDI_GAUGE_FIRST);
    EXPECT_EQ(101, IDI_GAUGE_LAST);
}

TEST_F(IconResources, EveryGroupAndImageIsStoredUnderEnglishUnitedStatesOnly) {
    const std::vector<WORD> english = {1033};
    for (int id = 1; id <= 101; ++id) {
        EXPECT_EQ(english, ResourceLanguages(BuiltProgram(), MAKEINTRESOURCEA(14), id))
            << "group " << id;
        EXPECT_EQ(english, ResourceLanguages(BuiltProgram(), MAKEINTRESOURCEA(3), id))
            << "image " << id;
    }
}

TEST_F(IconResources, EachGroupHoldsOneThirtyTwoPixelSixteenColourEntryForItsOwnImage) {
    for (int id = 1; id <= 101; ++id) {
        SCOPED_TRACE(testing::Message() << "group " << id);
        Resource group = FindEnglishResource(BuiltProgram(), MAKEINTRESOURCEA(14), id);
        ASSERT_EQ(20u, group.size);
        const unsigned char* g = group.data;
        EXPECT_EQ(0u, U16(g + 0));
        EXPECT_EQ(1u, U16(g + 2)) << "an icon, not a cursor";
        EXPECT_EQ(1u, U16(g + 4)) << "one entry";
        EXPECT_EQ(32, g[6]);
        EXPECT_EQ(32, g[7]);
        EXPECT_EQ(16, g[8]);
        EXPECT_EQ(0, g[9]);
        EXPECT_EQ(1u, U16(g + 10));
        EXPECT_EQ(4u, U16(g + 12));
        EXPECT_EQ((unsigned)kImageBytes, U32(g + 14));
        EXPECT_EQ((unsigned)id, U16(g + 18)) << "group n points at image n";
    }
}

TEST_F(IconResources, EachImageIsASixteenColourBitmapWithTheStandardPalette) {
    for (int id = 1; id <= 101; ++id) {
        SCOPED_TRACE(testing::Message() << "image " << id);
        Resource image = Image(id);
        ASSERT_EQ((DWORD)kImageBytes, image.size);
        const unsigned char* h = image.data;
        bool program = id == IDI_MAIN;
        EXPECT_EQ(40u, U32(h + 0));
        EXPECT_EQ(32u, U32(h + 4));
        EXPECT_EQ(64u, U32(h + 8)) << "colour bitmap and mask together";
        EXPECT_EQ(1u, U16(h + 12));
        EXPECT_EQ(4u, U16(h + 14));
        EXPECT_EQ(0u, U32(h + 16)) << "BI_RGB";
        EXPECT_EQ(program ? 640u : 512u, U32(h + 20));
        EXPECT_EQ(0u, U32(h + 24));
        EXPECT_EQ(0u, U32(h + 28));
        EXPECT_EQ(program ? 0u : 16u, U32(h + 32)) << "colours used";
        EXPECT_EQ(program ? 0u : 16u, U32(h + 36)) << "colours important";
        for (int i = 0; i < 16; ++i) {
            const unsigned char* entry = h + 40 + 4 * i;
            EXPECT_EQ(kPalette[i][2], entry[0]) << "blue of colour " << i;
            EXPECT_EQ(kPalette[i][1], entry[1]) << "green of colour " << i;
            EXPECT_EQ(kPalette[i][0], entry[2]) << "red of colour " << i;
            EXPECT_EQ(0, entry[3]);
        }
    }
}

TEST_F(IconResources, TransparentPixelsHaveColourZeroSoNothingInvertsTheScreen) {
    for (int id = 1; id <= 101; ++id) {
        Picture picture = ProgramIconPicture(id);
        int wrong = 0;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                if (picture.transparent[y][x] && picture.index[y][x] != 0) {
                    ++wrong;
                }
            }
        }
        EXPECT_EQ(0, wrong) << "image " << id;
    }
}

struct Extent {
    int first = kSide, last = -1, top = kSide, bottom = -1;
    int Width() const {
        return last - first + 1;
    }
};

TEST_F(IconResources, GaugeFiguresAreBlackOnATransparentGround) {
    for (int id = IDI_GAUGE_FIRST; id <= IDI_GAUGE_LAST; ++id) {
        Picture picture = ProgramIconPicture(id);
        int black = 0, other = 0;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                if (picture.Black(x, y)) {
                    ++black;
                } else if (!picture.transparent[y][x]) {
                    ++other;
                }
            }
        }
        EXPECT_GT(black, 0) << "image " << id;
        EXPECT_EQ(0, other) << "image " << id << " has a drawn pixel that is not black";
    }
}

// Image n is the image of icon file n, which the IconsRegenerate test ties to its drawing.
TEST_F(IconResources, EachImageIsTheImageOfTheIconFileOfItsNumber) {
    const size_t kIconFileHeader = 6 + 16; // the directory and its one entry
    for (int id = 1; id <= 101; ++id) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s%03d.ico", ICON_FOLDER, id);
        std::vector<unsigned char> file(kIconFileHeader + kImageBytes + 1);
        FILE* in = fopen(path, "rb");
        size_t read = in ? fread(file.data(), 1, file.size(), in) : 0;
        if (in) {
            fclose(in);
        }
        ASSERT_EQ(kIconFileHeader + kImageBytes, read) << path;
        Resource image = Image(id);
        ASSERT_EQ((DWORD)kImageBytes, image.size) << "image " << id;
        EXPECT_EQ(0, memcmp(image.data, file.data() + kIconFileHeader, kImageBytes))
            << "image " << id << " is not the image of " << path;
    }
}

TEST_F(IconResources, ProgramPictureIsABoxInItsSixSidedOutline) {
    Picture picture = ProgramIconPicture(IDI_MAIN);
    auto colour = [&](int x, int y) {
        return picture.transparent[y][x] ? -1 : picture.index[y][x];
    };
    const int black = 0, lightGrey = 7, midGrey = 8, red = 9, green = 10, blue = 12, white = 15;
    Extent drawn;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            if (!picture.transparent[y][x]) {
                drawn.first = std::min(drawn.first, x);
                drawn.last = std::max(drawn.last, x);
                drawn.top = std::min(drawn.top, y);
                drawn.bottom = std::max(drawn.bottom, y);
            }
        }
    }
    EXPECT_EQ(7, drawn.first);
    EXPECT_EQ(23, drawn.last);
    EXPECT_EQ(1, drawn.top);
    EXPECT_EQ(29, drawn.bottom);
    // The outline's peak, its two straight sides and its bottom point.
    for (int x = 14; x <= 16; ++x) {
        EXPECT_EQ(black, colour(x, 1)) << "peak at column " << x;
        EXPECT_EQ(black, colour(x - 1, 29)) << "bottom point at column " << x - 1;
    }
    for (int y = 8; y <= 26; ++y) {
        EXPECT_EQ(black, colour(7, y)) << "left side at row " << y;
    }
    for (int y = 6; y <= 21; ++y) {
        EXPECT_EQ(black, colour(23, y)) << "right side at row " << y;
    }
    // Inside the outline: a light grey top, the banded narrow face, the grey broad face.
    int topGrey = 0, leftColours[16] = {}, rightColours[16] = {};
    for (int y = 2; y <= 8; ++y) {
        for (int x = 8; x <= 22; ++x) {
            topGrey += colour(x, y) == lightGrey;
        }
    }
    for (int y = 9; y <= 24; ++y) {
        for (int x = 8; x <= 13; ++x) {
            if (colour(x, y) >= 0) {
                ++leftColours[colour(x, y)];
            }
        }
        for (int x = 14; x <= 22; ++x) {
            if (colour(x, y) >= 0) {
                ++rightColours[colour(x, y)];
            }
        }
    }
    EXPECT_GT(topGrey, 50);
    EXPECT_GT(leftColours[blue], 0);
    EXPECT_GT(leftColours[red], 0);
    EXPECT_GT(leftColours[green], 0);
    EXPECT_GT(rightColours[midGrey], rightColours[lightGrey]);
    EXPECT_GT(rightColours[lightGrey], 0) << "streaks";
    EXPECT_GT(rightColours[white], 0) << "highlights";
}

} // namespace
