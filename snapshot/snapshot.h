// Snapshot files: the whole simulation state saved and restored.
#pragma once

#include <cstdint>

#include "platform/logical.h"

struct SnapshotCounters {
    int32_t planned_taken = 0;
    int32_t request_taken = 0;
    Logical on_request = LFALSE;
};

extern SnapshotCounters SNAPSHOT_COUNTERS;

void SNAP_OK(Logical& accepted, double& snap_time);
void READSNP();
void WRITESNP();
void SNAPFILE(int32_t mode);
