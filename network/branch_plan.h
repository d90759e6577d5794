// What the per-step loops need to know of every branch of a subsystem, in
// one byte per branch and lists of the branches each loop works on. It is
// formed again at the start of every step whose matrix must be factorised:
// every change of a branch's kind or state by a model comes with a lower
// start node (SS_MINREQ); a switching inside a step that changes a kind
// forms the plan again (SWITCHBR).
#pragma once

#include <cstdint>
#include <vector>

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

struct BranchPlan {
    int32_t nb = -1;                 // branch count it was formed for
    std::vector<uint8_t> kind;       // by branch (1-based)
    std::vector<PlannedBranch> history;  // branches with an L or C history
    std::vector<int32_t> injecting;  // branches with a source or an injected current
    // The results of a pass: branches of R with or without L and C
    // (series), and all others, each list in branch order. Walking the
    // series branches in one list reads each line of a branch column once.
    std::vector<PlannedBranch> series;
    uint8_t series_kinds = 0;        // the L and C bits met in the series list
    std::vector<int32_t> other;
    bool ideal = false;              // some branch is ideal
    uint8_t history_kinds = 0;       // the L and C bits met in the history list
    bool vsources = false;           // some branch has a voltage-source record
};

struct BranchPlans {
    std::vector<BranchPlan> ss;      // subsystem ss at ss - 1
};

extern BranchPlans BRANCH_PLANS;

void BUILD_BRANCH_PLAN(int32_t ss);
// The subsystem's plan, formed first when it has none for its branch count.
const BranchPlan& branch_plan(int32_t ss);
