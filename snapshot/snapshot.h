// Snapshot files: the whole simulation state saved and restored.
#pragma once

#include <cstdint>
#include <string>

#include "platform/fixed_text.h"
#include "platform/logical.h"

struct SnapshotCounters {
    int32_t planned_taken = 0;
    int32_t request_taken = 0;
    int32_t incremental_limit = 0;
    Logical on_request = LFALSE;
    Logical early_request_warned = LFALSE;
    Text34 working_name;
    // The file being written goes to a temporary name beside its target and
    // is renamed over it only when it is complete.
    std::string target_path;
    std::string temp_path;
};

extern SnapshotCounters SNAPSHOT_COUNTERS;

void SNAP_OK(Logical& accepted, double& snap_time);
void READSNP();
void WRITESNP();
// 1 opens the input snapshot, 3 the next output snapshot, 0 lists the
// snapshots taken.
void SNAPFILE(int32_t mode);
// Takes print settings and channels from the map file a snapshot names.
void UPDATE_MAP();
