// Every 64-bit memory figure, however large or odd, leaves the tooltip and the Details
// texts within their buffers and the pictures and bars within their ranges.
#include <string.h>

#include <gtest/gtest.h>

#include "readouts/readout_logic.h"

namespace {

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
                ReadoutCache cache;
                ResetReadoutCache(&cache);
                check(&cache, MemorySample{used, free, total});
            }
        }
    }
}

TEST(FaultReadout, EveryEdgeFigureStaysWithinTheTooltipAndItsIconRange) {
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

TEST(FaultReadout, EveryEdgeFigureStaysWithinTheDetailsTextsAndBarRanges) {
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
    for (uint64_t total : kEdges) {
        Guarded<char[kReadoutTextSize]> text;
        FormatTotalText(text.out, sizeof text.out, total);
        EXPECT_TRUE(text.GuardsIntact());
        EXPECT_TRUE(Terminated(text.out, sizeof text.out));
    }
}

} // namespace
