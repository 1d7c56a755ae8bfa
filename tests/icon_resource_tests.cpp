// The icon groups and images of the built Sorvagenta.exe, read back from the file itself.
#include <string.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "support/icon_images.h"
#include "resource.h"
#include "support/program_test.h"

using namespace icons;

namespace {

const int kImageBytes = 744;

HMODULE BuiltProgram() {
    static HMODULE module = driver::LoadProgramAsData();
    return module;
}

unsigned U16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}

unsigned U32(const unsigned char* p) {
    return U16(p) | (unsigned)U16(p + 2) << 16;
}

Resource Image(int id) {
    return FindEnglishResource(BuiltProgram(), MAKEINTRESOURCEA(3) /* RT_ICON */, id);
}

Picture ImagePicture(int id) {
    Resource image = Image(id);
    EXPECT_EQ((DWORD)kImageBytes, image.size) << "image " << id;
    Picture picture = {};
    if (image.size == (DWORD)kImageBytes) {
        picture = DecodeIconImage(image.data);
    }
    return picture;
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
        Picture picture = ImagePicture(id);
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

// Where one figure of a gauge number stands: the columns it keeps within, where its first
// and last black columns may fall, and its first and last black rows.
struct Slot {
    const char* face;
    int digit;
    int left, right;
    int firstMin, firstMax;
    int lastMin, lastMax;
    int top, bottom;
};

Slot Tall(int digit, int left, int right, int firstMin, int firstMax, int lastMin, int lastMax) {
    return {"tall", digit, left, right, firstMin, firstMax, lastMin, lastMax, 6, 26};
}

Slot Exact(const char* face, int digit, int first, int last, int top, int bottom) {
    return {face, digit, first, last, first, first, last, last, top, bottom};
}

// The places the figures of a number from 1 to 100 are given.
std::vector<Slot> SlotsFor(int number) {
    if (number == 100) {
        return {Exact("short", 1, 1, 6, 8, 22), Exact("short", 0, 9, 18, 8, 22),
                Exact("short", 0, 21, 30, 8, 22)};
    }
    int tens = number / 10;
    int units = number % 10;
    bool tensStays = tens == 5 || tens == 6 || tens == 7;
    std::vector<Slot> slots;
    if (tens == 1) {
        slots.push_back(Tall(1, 1, 10, 1, 3, 8, 10));
    } else if (units == 1 && !tensStays) {
        int last = tens == 2 ? 14 : 15;
        slots.push_back(Tall(tens, 2, 15, 2, 3, last, last));
    } else {
        slots.push_back(Tall(tens, 1, 14, 1, 2, 13, 14));
    }
    if (units == 1 && tens == 1) {
        slots.push_back(Tall(1, 19, 27, 19, 20, 26, 27));
    } else if (units == 1) {
        int first = tensStays ? 19 : 20;
        slots.push_back(Exact("tall", 1, first, first + 7, 6, 26));
    } else if (tens == 1) {
        slots.push_back(Tall(units, 15, 30, 15, 17, 27, 30));
    } else {
        slots.push_back(Tall(units, 17, 30, 17, 18, 29, 30));
    }
    return slots;
}

struct Extent {
    int first = kSide, last = -1, top = kSide, bottom = -1;
    int Width() const {
        return last - first + 1;
    }
};

Extent BlackExtent(const Picture& picture, const Slot& slot) {
    Extent e;
    for (int y = 0; y < kSide; ++y) {
        for (int x = slot.left; x <= slot.right; ++x) {
            if (picture.Black(x, y)) {
                e.first = std::min(e.first, x);
                e.last = std::max(e.last, x);
                e.top = std::min(e.top, y);
                e.bottom = std::max(e.bottom, y);
            }
        }
    }
    return e;
}

TEST_F(IconResources, GaugeFiguresAreBlackOnATransparentGround) {
    for (int id = IDI_GAUGE_FIRST; id <= IDI_GAUGE_LAST; ++id) {
        Picture picture = ImagePicture(id);
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

TEST_F(IconResources, GaugeFiguresStandWithinTheirRowsAndColumns) {
    for (int number = 1; number <= 100; ++number) {
        SCOPED_TRACE(testing::Message() << "the number " << number);
        Picture picture = ImagePicture(number + 1);
        std::vector<Slot> slots = SlotsFor(number);
        int stray = 0;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                bool placed = false;
                for (const Slot& slot : slots) {
                    placed = placed || (x >= slot.left && x <= slot.right);
                }
                if (picture.Black(x, y) && !placed) {
                    ++stray;
                }
            }
        }
        EXPECT_EQ(0, stray) << "black pixels outside the figures' columns";
        for (const Slot& slot : slots) {
            SCOPED_TRACE(testing::Message() << slot.face << " " << slot.digit << " in columns "
                                            << slot.left << " to " << slot.right);
            Extent e = BlackExtent(picture, slot);
            ASSERT_GE(e.last, 0) << "no figure";
            EXPECT_EQ(slot.top, e.top);
            EXPECT_EQ(slot.bottom, e.bottom);
            EXPECT_GE(e.first, slot.firstMin);
            EXPECT_LE(e.first, slot.firstMax);
            EXPECT_GE(e.last, slot.lastMin);
            EXPECT_LE(e.last, slot.lastMax);
            if (strcmp(slot.face, "tall") == 0) {
                if (slot.digit == 1) {
                    EXPECT_EQ(8, e.Width());
                } else {
                    EXPECT_TRUE(e.Width() == 13 || e.Width() == 14) << "width " << e.Width();
                }
            }
        }
    }
}

TEST_F(IconResources, ProgramPictureIsABoxInItsSixSidedOutline) {
    Picture picture = ImagePicture(IDI_MAIN);
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
