// The results of a pass for the series branches (R with or without L and
// C, not ideal, not injected, no arrester; network/branch_plan.h), with or
// without a source EMF: currents, part voltages and histories at the
// pass's fraction. One loop
// walks the branch columns whole, four branches at a time where the
// processor has AVX2 and eight where it has AVX-512, and leaves every other
// branch as it found it.
#pragma once

#include <cstdint>

#include "network/branch_plan.h"
#include "network/solution_columns.h"
#include "platform/logical.h"

// The columns the results of a pass go through.
struct PassColumns {
    const double* x;       // the solution, ground at index 0
    Col<Logical> changed;  // BRCHG
    Col<int32_t> from, to, counter;  // IEF, IET, CHATCNTI
    Col<double> geq, cbr, cbrt, ccbr, ccbrd, ccl, ccld, ccc, cccd, v12, v20, rcl, rlg, rsc, rcg, rsl;
    Col<double> geqd, ebr, ebrd;  // what the closing pass leaves for the step's close
    double level;                 // SSCHATLEV
    bool extrapolate;             // SSEXTRAP: a voltage source keeps its EBRD
    int64_t readable = 0;         // entries of x a lane of eight may read (from index 0)
    double reached = 0.0;         // the step's fraction the pass starts from
};

// The flags of a pass.
enum PassFlags {
    PF_PARTIAL = 1,
    PF_RESOLVING = 2,
    PF_OPENING = 4,
    PF_DETECT = 8,   // the closing pass of a subsystem that detects chatter
    PF_CLOSING = 16,
};

// Every flag combination a pass can come with, for the switches that pick
// a loop made for it: X(k) for each.
#define ZARIK_EACH_PASS_FLAGS(X)                                                                         \
    X(0) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11) X(12) X(13) X(14) X(15) X(PF_CLOSING) \
    X(PF_CLOSING | PF_PARTIAL) X(PF_CLOSING | PF_DETECT) X(PF_CLOSING | PF_DETECT | PF_PARTIAL)

// Every series and sourced branch's results, a sourced branch's with its
// EMF as the pass sees it (an extrapolated voltage source's EBRD first
// moved to the pass's end). Detecting, the currents also wait in CBRT and
// each such branch's chatter counter moves from its current before; the
// result tells whether one of them reached chatter. The closing pass also
// leaves what the step's close would copy: each such branch's history
// current as the previous one, and every branch's conductance and EMF as
// the previous ones (an extrapolated voltage source's EMF aside).
bool SERIES_RESULTS(const BranchPlan& plan, int64_t nb, const PassColumns& cols, int flags, double fraction);
