#include "readouts/memory_status.h"

#include <windows.h>

// The extended status: the plain one saturates at 4 GB.
static MEMORYSTATUSEX ReadMemoryStatus() {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatusEx(&status);
    return status;
}

uint64_t QueryTotalPhysical() {
    return ReadMemoryStatus().ullTotalPhys;
}

uint64_t QueryAvailablePhysical() {
    return ReadMemoryStatus().ullAvailPhys;
}

uint64_t QueryUsedPhysical() {
    MEMORYSTATUSEX status = ReadMemoryStatus();
    return status.ullTotalPhys - status.ullAvailPhys;
}

MemorySample SampleMemory() {
    MemorySample sample;
    sample.used = QueryUsedPhysical();
    sample.free = QueryAvailablePhysical();
    sample.total = QueryTotalPhysical();
    return sample;
}
