#include "readouts/details_readout.h"

#include <commctrl.h>

#include "readouts/memory_status.h"
#include "tamsprock.h"

static ReadoutCache detailsCache = {kNothingShown, kNothingShown};

void RefreshDetailsReadout(const DetailsReadoutControls* controls) {
    DetailsReadout readout;
    if (!DetailsReadoutStep(&detailsCache, SampleMemory(), &readout)) {
        return;
    }
    SendMessageA(controls->usedBar, PBM_SETPOS, (WPARAM)readout.usedBar, 0);
    SendMessageA(controls->freeBar, PBM_SETPOS, (WPARAM)readout.freeBar, 0);
    Set_Text(controls->usedText, readout.usedText);
    Set_Text(controls->freeText, readout.freeText);
}

void ResetDetailsReadout() {
    ResetReadoutCache(&detailsCache);
}
