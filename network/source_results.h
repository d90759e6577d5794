// The results of a pass for the series branches that carry a source EMF
// (network/branch_plan.h): their EMF as the pass sees it, then currents,
// part voltages and histories as for the plain series branches, each class
// of branch in a loop of its own.
#pragma once

#include <cstdint>

#include "network/branch_plan.h"
#include "network/series_results.h"
#include "network/solution_columns.h"

// The EMF columns and the pass's point. A voltage source whose EMF is
// extrapolated keeps its EBRD here, at the pass's fraction.
struct SourceColumns {
    Col<double> ebr, ebrd;
    double reached;
    bool extrapolate;  // SSEXTRAP
};

// Flags as for SERIES_RESULTS: detecting, each branch's chatter counter
// also moves from its current before, and the result tells whether one of
// them reached chatter. The closing pass also leaves each branch's history
// current and EMF as the previous ones (an extrapolated voltage source's
// EMF aside).
bool SOURCE_RESULTS(const BranchPlan& plan, const PassColumns& cols, const SourceColumns& src, int flags,
                    double fraction);
