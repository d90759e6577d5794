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
    Col<int32_t> chatter;  // the branches' chatter counters
    double level;          // and the subsystem's chatter level
};

// The flags of a pass.
enum PassFlags {
    PF_PARTIAL = 1,
    PF_RESOLVING = 2,
    PF_OPENING = 4,
    PF_DETECT = 8,   // the closing pass of a subsystem that detects chatter
    PF_CLOSING = 16,
};

// Every series branch's results. Detecting, each current moves its
// branch's chatter counter on from the current before it; the result is
// whether some counter reached chatter. The closing pass also leaves the
// branches' history currents as the step's previous ones.
bool SERIES_RESULTS(const BranchPlan& plan, const PassColumns& cols, int flags, double fraction);
