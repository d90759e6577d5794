// The subsystem matrices a case will ask for, read before its storage is
// created: their layout (USE_SUBSYSDIM) and the node count of each
// subsystem from the first record of "SUBSYSDIM:", so that the storage and
// the matrices are held together against the memory before either exists.
#pragma once

#include <cstdint>
#include <string>

#include "engine/memory_budget.h"
#include "platform/fixed_text.h"
#include "platform/list_read.h"

struct MatrixPlan {
    bool per_subsystem = false;
    bool sized = false;  // a "SUBSYSDIM:" record was read
    ByteCount cells = 0;  // n * n summed over the subsystems
};

// A "PARAMETERS:" line; USE_SUBSYSDIM = YES selects one set per subsystem.
void plan_layout(MatrixPlan& plan, const Text72& line);
// The count and the node counts of a "SUBSYSDIM:" record, as far as they
// can be read, each held to the subsystems and nodes the case declares.
void plan_sizes(MatrixPlan& plan, ListRead& in);
// The plan of the snapshot at path, read on the given free unit.
MatrixPlan snapshot_matrix_plan(const std::string& path, int unit);
// The bytes the plan asks for; none before any "SUBSYSDIM:" record in a
// map file, where only that section has the matrices created.
ByteCount planned_bytes(const MatrixPlan& plan);
