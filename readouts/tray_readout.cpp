#include "readouts/tray_readout.h"

#include "app/host_window.h"
#include "readouts/memory_status.h"

// What the notification icon last showed; never reset.
static ReadoutCache trayCache = {kNothingShown, kNothingShown};

void RefreshTrayReadout() {
    TrayReadout readout;
    if (TrayReadoutStep(&trayCache, SampleMemory(), &readout)) {
        UpdateTrayIcon(readout.iconId, readout.tip);
    }
}
