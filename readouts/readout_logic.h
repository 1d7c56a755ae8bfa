// The readouts' arithmetic and texts, free of any window so tests can call them.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Physical memory in bytes. Each figure comes from its own snapshot, so used plus free
// need not equal total.
struct MemorySample {
    uint64_t used;
    uint64_t free;
    uint64_t total;
};

// The used and free byte counts a view last showed, as floats.
struct ReadoutCache {
    float used;
    float free;
};

// No byte count converts to this, so a cache holding it always shows the next figures.
const float kNothingShown = -1.0f;

// 2^-20: bytes to MB by multiplication.
const float kBytesToMB = 9.5367431640625e-07f;

// Size of every readout text buffer.
const size_t kReadoutTextSize = 260;

struct ReadoutFigures {
    float usedPct;
    double freePct; // the tray shows it at full precision, the Details dialog as a float
    float usedMB;
    float freeMB;
};

struct TrayReadout {
    int iconId;
    char tip[kReadoutTextSize];
};

struct DetailsReadout {
    int usedBar;
    int freeBar;
    char usedText[kReadoutTextSize];
    char freeText[kReadoutTextSize];
};

void ResetReadoutCache(ReadoutCache* cache);

// The change test: true when used or free differs, as a float, from what the cache holds.
// Either way the cache then holds the new figures.
bool TakeReadoutChange(ReadoutCache* cache, float usedF, float freeF);

// Percentages scale by the reciprocal of total; MB figures by 2^-20.
ReadoutFigures ComputeReadoutFigures(float usedF, float freeF, uint64_t total);

// Gauge icon for a used percentage: the number shown is the truncated percentage,
// kept within 1..100; its icon id is that number plus one.
int GaugeIconIdForPercent(float usedPct);

// A percentage truncated toward zero, as a progress bar of 0..100 takes it.
int BarPositionForPercent(float pct);

void FormatTrayTip(char* out, size_t size, const ReadoutFigures& figures);
void FormatUsedText(char* out, size_t size, const ReadoutFigures& figures);
void FormatFreeText(char* out, size_t size, const ReadoutFigures& figures);
void FormatTotalText(char* out, size_t size, uint64_t totalBytes);

// One refresh of each readout on a sample: false, with out untouched, when nothing changed.
bool TrayReadoutStep(ReadoutCache* cache, const MemorySample& sample, TrayReadout* out);
bool DetailsReadoutStep(ReadoutCache* cache, const MemorySample& sample, DetailsReadout* out);
