// Physical-memory queries, each from its own system snapshot.
#pragma once

#include <stdint.h>

#include "readouts/readout_logic.h"

uint64_t QueryTotalPhysical();
uint64_t QueryAvailablePhysical();
uint64_t QueryUsedPhysical();

// The three queries in the order the readouts use them: used, free, total.
MemorySample SampleMemory();
