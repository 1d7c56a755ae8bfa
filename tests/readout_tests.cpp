// The readouts' change test, figures, texts and icon choice, on made-up samples.
#include <string.h>

#include <gtest/gtest.h>

#include "platform/bounded_text.h"
#include "readouts/readout_logic.h"

namespace {

const uint64_t GiB = 1024ull * 1024 * 1024;
const uint64_t MiB = 1024ull * 1024;

ReadoutCache FreshCache() {
    ReadoutCache cache;
    ResetReadoutCache(&cache);
    return cache;
}

// Figures at the edges of what 64 bits hold, large or odd, in every combination below.
const uint64_t kEdges[] = {
    0, 1, 1023, 0xFFFFFFFFull, 0x100000000ull, (1ull << 53) + 1, 1ull << 63, 0xFFFFFFFFFFFFFFFFull};

// An output with guard bytes on both sides, so a write past either end shows.
template <typename T> struct Guarded {
    unsigned char front[32];
    T out;
    unsigned char back[32];
    Guarded() {
        memset(this, 0x5A, sizeof *this);
    }
    bool GuardsIntact() const {
        for (size_t i = 0; i < sizeof front; ++i) {
            if (front[i] != 0x5A || back[i] != 0x5A) {
                return false;
            }
        }
        return true;
    }
};

bool Terminated(const char* text, size_t size) {
    return memchr(text, '\0', size) != NULL;
}

// Every combination of the edge figures, each read into a fresh cache.
template <typename Check> void ForEveryEdgeSample(Check check) {
    for (uint64_t used : kEdges) {
        for (uint64_t free : kEdges) {
            for (uint64_t total : kEdges) {
                SCOPED_TRACE(testing::Message() << used << " " << free << " " << total);
                ReadoutCache cache = FreshCache();
                check(&cache, MemorySample{used, free, total});
            }
        }
    }
}

TEST(TrayReadout, FirstRefreshAlwaysShowsFigures) {
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    ASSERT_TRUE(TrayReadoutStep(&cache, {2 * GiB, 6 * GiB, 8 * GiB}, &out));
    EXPECT_STREQ("Used: 25.00% / 2048.00MB - Free: 75.00% / 6144.00MB", out.tip);
    EXPECT_EQ(26, out.iconId);
    EXPECT_EQ(2147483648.0f, cache.used);
    EXPECT_EQ(6442450944.0f, cache.free);
}

TEST(TrayReadout, EvenAZeroSampleShowsOnFirstRefresh) {
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    EXPECT_TRUE(TrayReadoutStep(&cache, {0, 8 * GiB, 8 * GiB}, &out));
    EXPECT_STREQ("Used: 0.00% / 0.00MB - Free: 100.00% / 8192.00MB", out.tip);
}

TEST(TrayReadout, UnchangedFiguresShowNothingHoweverManyTicks) {
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    ASSERT_TRUE(TrayReadoutStep(&cache, {2 * GiB, 6 * GiB, 8 * GiB}, &out));
    for (int tick = 0; tick < 10000; ++tick) {
        TrayReadout untouched;
        memset(&untouched, 'x', sizeof untouched);
        ASSERT_FALSE(TrayReadoutStep(&cache, {2 * GiB, 6 * GiB, 8 * GiB}, &untouched));
        ASSERT_EQ('x', untouched.tip[0]);
    }
}

TEST(TrayReadout, TotalAloneChangingShowsNothing) {
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    ASSERT_TRUE(TrayReadoutStep(&cache, {2 * GiB, 6 * GiB, 8 * GiB}, &out));
    EXPECT_FALSE(TrayReadoutStep(&cache, {2 * GiB, 6 * GiB, 16 * GiB}, &out));
}

TEST(TrayReadout, FreeAloneChangingRefreshesEverything) {
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    ASSERT_TRUE(TrayReadoutStep(&cache, {2 * GiB, 6 * GiB, 8 * GiB}, &out));
    ASSERT_TRUE(TrayReadoutStep(&cache, {2 * GiB, 5 * GiB, 8 * GiB}, &out));
    EXPECT_STREQ("Used: 25.00% / 2048.00MB - Free: 62.50% / 5120.00MB", out.tip);
    EXPECT_EQ(26, out.iconId);
}

TEST(TrayReadout, ChangesBelowFloatResolutionAreNotChanges) {
    // Near 4 GB a float steps by 512 bytes.
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    ASSERT_TRUE(TrayReadoutStep(&cache, {4 * GiB, 4 * GiB, 8 * GiB}, &out));
    EXPECT_FALSE(TrayReadoutStep(&cache, {4 * GiB + 200, 4 * GiB - 100, 8 * GiB}, &out));
    EXPECT_TRUE(TrayReadoutStep(&cache, {4 * GiB + 600, 4 * GiB - 100, 8 * GiB}, &out));
}

TEST(TrayReadout, SnapshotsNeedNotAddUpToOneHundred) {
    // Used and free from different moments, both scaled by the third snapshot's total.
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    ASSERT_TRUE(TrayReadoutStep(&cache, {3 * GiB, 1 * GiB + 100 * MiB, 4 * GiB}, &out));
    EXPECT_STREQ("Used: 75.00% / 3072.00MB - Free: 27.44% / 1124.00MB", out.tip);
}

TEST(TrayReadout, PercentagesRoundToTwoDecimals) {
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    ASSERT_TRUE(TrayReadoutStep(&cache, {2000000000, 1000000000, 3000000000}, &out));
    EXPECT_STREQ("Used: 66.67% / 1907.35MB - Free: 33.33% / 953.67MB", out.tip);
    EXPECT_EQ(67, out.iconId);
}

TEST(TrayReadout, FreePercentKeepsDoublePrecision) {
    // 64.265000...: printed from a float, which holds 64.264999..., it would read 64.26.
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    ASSERT_TRUE(TrayReadoutStep(&cache, {8 * GiB - 5520321295, 5520321295, 8 * GiB}, &out));
    EXPECT_STREQ("Used: 35.74% / 2927.41MB - Free: 64.27% / 5264.59MB", out.tip);
}

TEST(TrayReadout, CountsFarAboveFourGigabytes) {
    ReadoutCache cache = FreshCache();
    TrayReadout out = {};
    ASSERT_TRUE(TrayReadoutStep(&cache, {48 * GiB, 16 * GiB, 64 * GiB}, &out));
    EXPECT_STREQ("Used: 75.00% / 49152.00MB - Free: 25.00% / 16384.00MB", out.tip);
    ASSERT_TRUE(TrayReadoutStep(&cache, {3072 * GiB, 1024 * GiB, 4096 * GiB}, &out));
    EXPECT_STREQ("Used: 75.00% / 3145728.00MB - Free: 25.00% / 1048576.00MB", out.tip);
    EXPECT_LT(strlen(out.tip), 64u) << "a 4 TB machine's tooltip still fits whole";
}

TEST(TrayReadout, ExtremeCountsStayWithinTheirBuffers) {
    ForEveryEdgeSample([](ReadoutCache* cache, const MemorySample& sample) {
        Guarded<TrayReadout> tray;
        ASSERT_TRUE(TrayReadoutStep(cache, sample, &tray.out));
        EXPECT_TRUE(tray.GuardsIntact());
        ASSERT_TRUE(Terminated(tray.out.tip, sizeof tray.out.tip));
        EXPECT_GE(tray.out.iconId, 2);
        EXPECT_LE(tray.out.iconId, 101);

        // What the icon record's 64-byte tooltip field receives.
        Guarded<char[64]> tip;
        CopyBounded(tip.out, sizeof tip.out, tray.out.tip);
        EXPECT_TRUE(tip.GuardsIntact());
        EXPECT_EQ(0, strncmp(tip.out, tray.out.tip, 63));
        EXPECT_LT(strlen(tip.out), 64u);
    });
}

TEST(CopyBounded, CutsToFitAndAlwaysTerminates) {
    char field[8];
    memset(field, 'x', sizeof field);
    CopyBounded(field, sizeof field, "Sorvagenta");
    EXPECT_STREQ("Sorvage", field);
    CopyBounded(field, sizeof field, "short");
    EXPECT_STREQ("short", field);
    CopyBounded(field, sizeof field, "");
    EXPECT_STREQ("", field);
    CopyBounded(field, 1, "abc");
    EXPECT_EQ('\0', field[0]);
}

TEST(GaugeIcon, IdIsTheTruncatedPercentPlusOneWithinOneToOneHundred) {
    EXPECT_EQ(2, GaugeIconIdForPercent(0.0f));
    EXPECT_EQ(2, GaugeIconIdForPercent(0.5f));
    EXPECT_EQ(2, GaugeIconIdForPercent(1.0f));
    EXPECT_EQ(2, GaugeIconIdForPercent(1.99f));
    EXPECT_EQ(3, GaugeIconIdForPercent(2.0f));
    EXPECT_EQ(43, GaugeIconIdForPercent(42.3f));
    EXPECT_EQ(100, GaugeIconIdForPercent(99.99f));
    EXPECT_EQ(101, GaugeIconIdForPercent(100.0f));
    EXPECT_EQ(101, GaugeIconIdForPercent(250.0f));
    EXPECT_EQ(2, GaugeIconIdForPercent(-3.0f));
}

TEST(DetailsReadout, FillsBarsAndTextsOnFirstRefresh) {
    ReadoutCache cache = FreshCache();
    DetailsReadout out = {};
    ASSERT_TRUE(DetailsReadoutStep(&cache, {2000000000, 1000000000, 3000000000}, &out));
    EXPECT_STREQ("Used: 66.67% / 1907.35 MB", out.usedText);
    EXPECT_STREQ("Free: 33.33% / 953.67 MB", out.freeText);
    EXPECT_EQ(66, out.usedBar) << "bars truncate toward zero";
    EXPECT_EQ(33, out.freeBar);
}

TEST(DetailsReadout, ResetCacheShowsUnchangedFiguresAgain) {
    ReadoutCache cache = FreshCache();
    DetailsReadout out = {};
    ASSERT_TRUE(DetailsReadoutStep(&cache, {2 * GiB, 6 * GiB, 8 * GiB}, &out));
    EXPECT_FALSE(DetailsReadoutStep(&cache, {2 * GiB, 6 * GiB, 8 * GiB}, &out));
    ResetReadoutCache(&cache);
    ASSERT_TRUE(DetailsReadoutStep(&cache, {2 * GiB, 6 * GiB, 8 * GiB}, &out));
    EXPECT_STREQ("Used: 25.00% / 2048.00 MB", out.usedText);
    EXPECT_STREQ("Free: 75.00% / 6144.00 MB", out.freeText);
    EXPECT_EQ(25, out.usedBar);
    EXPECT_EQ(75, out.freeBar);
}

TEST(DetailsReadout, ExtremeCountsStayWithinTheirBuffers) {
    ForEveryEdgeSample([](ReadoutCache* cache, const MemorySample& sample) {
        Guarded<DetailsReadout> details;
        ASSERT_TRUE(DetailsReadoutStep(cache, sample, &details.out));
        EXPECT_TRUE(details.GuardsIntact());
        EXPECT_TRUE(Terminated(details.out.usedText, sizeof details.out.usedText));
        EXPECT_TRUE(Terminated(details.out.freeText, sizeof details.out.freeText));
        EXPECT_GE(details.out.usedBar, 0);
        EXPECT_LE(details.out.usedBar, 100);
        EXPECT_GE(details.out.freeBar, 0);
        EXPECT_LE(details.out.freeBar, 100);
    });
    // Counts far beyond the total fill both bars.
    ReadoutCache cache = FreshCache();
    DetailsReadout out;
    ASSERT_TRUE(DetailsReadoutStep(&cache, {~0ull, ~0ull, 1}, &out));
    EXPECT_EQ(100, out.usedBar);
    EXPECT_EQ(100, out.freeBar);
    for (uint64_t total : kEdges) {
        Guarded<char[kReadoutTextSize]> text;
        FormatTotalText(text.out, sizeof text.out, total);
        EXPECT_TRUE(text.GuardsIntact());
        EXPECT_TRUE(Terminated(text.out, sizeof text.out));
    }
}

TEST(TotalText, FullPrecisionWithASpaceBeforeMB) {
    char text[kReadoutTextSize];
    FormatTotalText(text, sizeof text, 8 * GiB);
    EXPECT_STREQ("Total Memory: 8192.00 MB", text);
    FormatTotalText(text, sizeof text, 3000000000);
    EXPECT_STREQ("Total Memory: 2861.02 MB", text);
    // 16777217 MB plus a byte: a float would have lost the last megabyte.
    FormatTotalText(text, sizeof text, (16777217ull << 20) + 1);
    EXPECT_STREQ("Total Memory: 16777217.00 MB", text);
    FormatTotalText(text, sizeof text, ~0ull);
    EXPECT_STREQ("Total Memory: 17592186044416.00 MB", text);
}

} // namespace
