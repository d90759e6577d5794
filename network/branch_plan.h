// What the per-step loops need to know of every branch of a subsystem, in
// one byte per branch and lists of the branches each loop works on, each
// list in branch order. It is formed again at the start of every step
// whose matrix must be factorised: every change of a branch's kind or
// state by a model comes with a lower start node (SS_MINREQ). A switching
// inside a step that changes a branch's kind moves that branch alone
// between the lists (REPLAN_BRANCH).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "network/network_tables.h"

enum BranchKind : uint8_t {
    BK_SOURCE = 1,       // SOURCE
    BK_IDEAL = 2,        // IDEALBR
    BK_INJECTED = 4,     // DEFRDBR
    BK_INDUCTOR = 8,     // INDUCTOR
    BK_CAPACITOR = 16,   // CAPACITR
    BK_ARRESTER = 32,    // IORV = 5
    BK_VSOURCE = 64,     // its source is a voltage-source record
};

// A branch of a per-step list with its two nodes and its kind, read with it.
struct PlannedBranch {
    int32_t b, from, to;
    uint8_t kind;
};

// Entries [first, end) of the history list, of one L and C kind and one
// way to the nodes, so that a loop made for each tests neither.
enum HistoryEnds : uint8_t { HE_BOTH = 0, HE_FROM_ONLY = 1, HE_TO_ONLY = 2 };
struct HistoryRun {
    int32_t first, end;
    uint8_t kinds, ends;
};
inline uint8_t history_ends(int32_t from, int32_t to) {
    return to != 0 && from != 0 ? HE_BOTH : to == 0 ? HE_FROM_ONLY : HE_TO_ONLY;
}

// The series branches (R with or without L and C, no source, not ideal,
// not injected, no arrester) by their L and C bits: each class has a loop
// that reads only the columns it needs.
enum SeriesClass { SC_R = 0, SC_L = 1, SC_C = 2, SC_LC = 3 };
inline int series_class(uint8_t kind) { return (kind & (BK_INDUCTOR | BK_CAPACITOR)) >> 3; }

struct BranchPlan {
    int32_t nb = -1;                 // branch count it was formed for
    std::vector<uint8_t> kind;       // by branch (1-based)
    std::vector<uint8_t> lane;       // LaneBit bits by branch (1-based), four spare at the end
    std::vector<PlannedBranch> history;  // branches with an L or C history
    std::vector<HistoryRun> history_runs;  // the history list cut where a branch's form changes
    std::vector<int32_t> injecting;  // branches with a source or an injected current
    std::array<std::vector<PlannedBranch>, 4> series;  // by SeriesClass
    uint8_t series_kinds = 0;        // the L and C bits met among the series and sourced ones (or more)
    // By SeriesClass, the series branches with a source EMF; their entries
    // keep the voltage-source bit in their kind.
    std::array<std::vector<PlannedBranch>, 4> sourced;
    std::vector<int32_t> walked_sourced;  // the same branches in branch order
    // By vector width (0 one branch, 1 four, 2 eight): whether a quarter or
    // more of the walk's lanes held a sourced branch as the plan was
    // formed, so that the walk tests every lane for them rather than
    // taking their lanes again after the series branches.
    std::array<bool, 3> by_lane{};
    std::vector<int32_t> other;      // every other branch (ideal, injected, arrester)
    std::vector<int32_t> vsources;   // branches with a voltage-source record
    // Whether most runs of eight branches (from the first) reach their
    // from-nodes, and their to-nodes, within eight neighbouring nodes
    // each (ground aside): the series walk then reads them as windows.
    bool windows = false;
};

struct BranchPlans {
    std::vector<BranchPlan> ss;      // subsystem ss at ss - 1
};

extern BranchPlans BRANCH_PLANS;

void BUILD_BRANCH_PLAN(int32_t ss);
// Branch b of subsystem ss may have changed its kind: its lists follow.
void REPLAN_BRANCH(int32_t ss, int32_t b);
// A branch's LaneBit bits (network/branch_lanes.h) from its kind.
uint8_t lane_of(uint8_t kind);
// branch_plan's way out of line: the plan made room for and formed first
// where it has none for its branch count.
const BranchPlan& form_branch_plan(int32_t ss);
// The subsystem's plan, formed first when it has none for its branch count.
inline const BranchPlan& branch_plan(int32_t ss) {
    const std::vector<BranchPlan>& all = BRANCH_PLANS.ss;
    if (ss >= 1 && static_cast<size_t>(ss) <= all.size()) [[likely]] {
        const BranchPlan& p = all[static_cast<size_t>(ss) - 1];
        if (p.nb == NET.NBRANCHES(ss)) [[likely]]
            return p;
    }
    return form_branch_plan(ss);
}
