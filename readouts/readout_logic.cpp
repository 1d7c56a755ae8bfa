#include "readouts/readout_logic.h"

#include <stdio.h>

void ResetReadoutCache(ReadoutCache* cache) {
    cache->used = kNothingShown;
    cache->free = kNothingShown;
}

bool TakeReadoutChange(ReadoutCache* cache, float usedF, float freeF) {
    bool changed = !(cache->used == usedF && cache->free == freeF);
    cache->used = usedF;
    cache->free = freeF;
    return changed;
}

ReadoutFigures ComputeReadoutFigures(float usedF, float freeF, uint64_t total) {
    // total keeps full precision; it is never rounded to a float.
    double inv = 1.0 / (double)total;
    ReadoutFigures figures;
    figures.usedPct = (float)((double)usedF * inv * 100.0);
    figures.freePct = (double)freeF * inv * 100.0;
    figures.usedMB = usedF * kBytesToMB;
    figures.freeMB = freeF * kBytesToMB;
    return figures;
}

int GaugeIconIdForPercent(float usedPct) {
    int shown;
    if (!(usedPct >= 1.0f)) { // below 1 %, or not a number
        shown = 1;
    } else if (usedPct >= 100.0f) {
        shown = 100;
    } else {
        shown = (int)usedPct;
    }
    return shown + 1;
}

int BarPositionForPercent(float pct) {
    if (!(pct > 0.0f)) {
        return 0;
    }
    if (pct >= 100.0f) {
        return 100;
    }
    return (int)pct;
}

void FormatTrayTip(char* out, size_t size, const ReadoutFigures& figures) {
    snprintf(out, size, "Used: %.2f%% / %.2fMB - Free: %.2f%% / %.2fMB", figures.usedPct,
             figures.usedMB, figures.freePct, figures.freeMB);
}

void FormatUsedText(char* out, size_t size, const ReadoutFigures& figures) {
    snprintf(out, size, "Used: %.2f%% / %.2f MB", figures.usedPct, figures.usedMB);
}

void FormatFreeText(char* out, size_t size, const ReadoutFigures& figures) {
    snprintf(out, size, "Free: %.2f%% / %.2f MB", (float)figures.freePct, figures.freeMB);
}

void FormatTotalText(char* out, size_t size, uint64_t totalBytes) {
    snprintf(out, size, "Total Memory: %.2f MB", (double)totalBytes * (double)kBytesToMB);
}

// The opening of every refresh: the change test on the sample as floats, then its figures.
static bool TakeChangedFigures(ReadoutCache* cache, const MemorySample& sample,
                               ReadoutFigures* figures) {
    float usedF = (float)sample.used;
    float freeF = (float)sample.free;
    if (!TakeReadoutChange(cache, usedF, freeF)) {
        return false;
    }
    *figures = ComputeReadoutFigures(usedF, freeF, sample.total);
    return true;
}

bool TrayReadoutStep(ReadoutCache* cache, const MemorySample& sample, TrayReadout* out) {
    ReadoutFigures figures;
    if (!TakeChangedFigures(cache, sample, &figures)) {
        return false;
    }
    FormatTrayTip(out->tip, sizeof out->tip, figures);
    out->iconId = GaugeIconIdForPercent(figures.usedPct);
    return true;
}

bool DetailsReadoutStep(ReadoutCache* cache, const MemorySample& sample, DetailsReadout* out) {
    ReadoutFigures figures;
    if (!TakeChangedFigures(cache, sample, &figures)) {
        return false;
    }
    out->usedBar = BarPositionForPercent(figures.usedPct);
    out->freeBar = BarPositionForPercent((float)figures.freePct);
    FormatUsedText(out->usedText, sizeof out->usedText, figures);
    FormatFreeText(out->freeText, sizeof out->freeText, figures);
    return true;
}
