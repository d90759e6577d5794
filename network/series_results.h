// The results of a pass for the series branches of the branch plan
// (network/branch_plan.h): currents, part voltages and histories at the
// pass's fraction, each class of branch in a loop of its own.
#pragma once

#include <cstdint>

#include "network/branch_plan.h"
#include "network/solution_columns.h"
#include "platform/logical.h"

// The columns the results of a pass go through.
struct PassColumns {
    const double* x;       // the solution, ground at index 0
    Col<Logical> changed;  // BRCHG
    Col<double> geq, cbr, cbrt, ccbr, ccbrd, ccl, ccld, ccc, cccd, v12, v20, rcl, rlg, rsc, rcg, rsl;
};

// The flags of a pass.
enum PassFlags {
    PF_PARTIAL = 1,
    PF_RESOLVING = 2,
    PF_OPENING = 4,
    PF_DETECT = 8,   // the closing pass of a subsystem that detects chatter
    PF_CLOSING = 16,
};

// Every series branch's results. Detecting, the currents are left in CBRT
// for the chatter counters. The closing pass also leaves the branches'
// history currents as the step's previous ones.
void SERIES_RESULTS(const BranchPlan& plan, const PassColumns& cols, int flags, double fraction);
