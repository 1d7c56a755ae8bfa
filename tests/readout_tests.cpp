// The readouts' change test, figures, texts and icon choice, on made-up samples.
#include <string.h>

#include <gtest/gtest.h>

#include "readouts/readout_logic.h"

namespace {

const uint64_t GiB = 1024ull * 1024 * 1024;
const uint64_t MiB = 1024ull * 1024;

ReadoutCache FreshCache() {
    ReadoutCache cache;
    ResetReadoutCache(&cache);
    return cache;
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
    const uint64_t most = ~0ull;
    const MemorySample samples[] = {
        {most, most, 1}, {most, most, 0}, {most, 0, most}, {0, most, 1}, {1ull << 63, 1, 3}};
    for (const MemorySample& sample : samples) {
        ReadoutCache cache = FreshCache();
        TrayReadout out;
        memset(&out, 'x', sizeof out);
        ASSERT_TRUE(TrayReadoutStep(&cache, sample, &out));
        EXPECT_LT(strlen(out.tip), sizeof out.tip);
        // The guard bytes around the field are swept over every edge figure in
        // soak_readout_limits.cpp.
        char tip[64];
        CopyBounded(tip, sizeof tip, out.tip);
        size_t whole = strlen(out.tip);
        EXPECT_EQ(whole < 63 ? whole : 63, strlen(tip)) << out.tip;
        EXPECT_EQ(0, strncmp(tip, out.tip, 63));
        EXPECT_GE(out.iconId, 2);
        EXPECT_LE(out.iconId, 101);
    }
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
    ReadoutCache cache = FreshCache();
    DetailsReadout out;
    memset(&out, 'x', sizeof out);
    ASSERT_TRUE(DetailsReadoutStep(&cache, {~0ull, ~0ull, 1}, &out));
    EXPECT_LT(strlen(out.usedText), sizeof out.usedText);
    EXPECT_LT(strlen(out.freeText), sizeof out.freeText);
    EXPECT_EQ(100, out.usedBar);
    EXPECT_EQ(100, out.freeBar);
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
