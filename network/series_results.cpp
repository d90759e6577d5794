#include "network/series_results.h"

namespace {

// One class of series branches: L and C tell the class, so that a loop
// reads only the columns its branches need and tests nothing per branch.
template <int Flags, bool L, bool C>
void class_results(const std::vector<PlannedBranch>& list, const PassColumns& cols, double fraction) {
    constexpr bool partial = Flags & PF_PARTIAL, resolving = Flags & PF_RESOLVING, opening = Flags & PF_OPENING;
    constexpr bool detect = Flags & PF_DETECT, closing = Flags & PF_CLOSING;
    const double* __restrict x = cols.x;
    const Logical* __restrict changed = cols.changed.p - 1;
    const double* __restrict geq = cols.geq.p - 1;
    double* __restrict cbr = cols.cbr.p - 1;
    double* __restrict cbrt = cols.cbrt.p - 1;
    double* __restrict ccbr = cols.ccbr.p - 1;
    double* __restrict ccbrd = cols.ccbrd.p - 1;
    for (const PlannedBranch& e : list) {
        const int32_t b = e.b;
        const double vb = x[e.from] - x[e.to];
        const double held = ccbr[b], before = ccbrd[b];
        const double h = opening ? (is_true(changed[b]) ? held : before) : held;
        const double i = geq[b] * vb + h;
        // Detecting, the current waits in CBRT for the branches' counters.
        if (detect)
            cbrt[b] = i;
        else
            cbr[b] = partial ? cbr[b] + fraction * (i - cbr[b]) : i;
        if (!resolving) {
            const double now = before + fraction * (held - before);
            ccbr[b] = now;
            if (closing) ccbrd[b] = now;
        }
        if (!L && !C) continue;
        // Both part voltages come from the histories of the span just
        // solved, before they are drawn back to the pass's end.
        const double l_hist = cols.ccl.p[b - 1], c_hist = cols.ccc.p[b - 1];
        const double rcl = cols.rcl.p[b - 1];
        if (L) {
            double& v12 = cols.v12.p[b - 1];
            const double vl = c_hist * rcl + cols.rlg.p[b - 1] * vb - l_hist * cols.rsc.p[b - 1];
            v12 = partial ? v12 + fraction * (vl - v12) : vl;
            if (!resolving) {
                const double l_before = cols.ccld.p[b - 1];
                cols.ccl.p[b - 1] = l_before + fraction * (l_hist - l_before);
            }
        }
        if (C) {
            double& v20 = cols.v20.p[b - 1];
            const double vc = l_hist * rcl + cols.rcg.p[b - 1] * vb - c_hist * cols.rsl.p[b - 1];
            v20 = partial ? v20 + fraction * (vc - v20) : vc;
            if (!resolving) {
                const double c_before = cols.cccd.p[b - 1];
                cols.ccc.p[b - 1] = c_before + fraction * (c_hist - c_before);
            }
        }
    }
}

template <int Flags>
void all_classes(const BranchPlan& plan, const PassColumns& cols, double fraction) {
    if (!plan.series[SC_R].empty()) class_results<Flags, false, false>(plan.series[SC_R], cols, fraction);
    if (!plan.series[SC_L].empty()) class_results<Flags, true, false>(plan.series[SC_L], cols, fraction);
    if (!plan.series[SC_C].empty()) class_results<Flags, false, true>(plan.series[SC_C], cols, fraction);
    if (!plan.series[SC_LC].empty()) class_results<Flags, true, true>(plan.series[SC_LC], cols, fraction);
}

}  // namespace

void SERIES_RESULTS(const BranchPlan& plan, const PassColumns& cols, int flags, double fraction) {
    // Every combination of the first four flags; a closing pass neither
    // re-solves nor opens a step.
    switch (flags) {
#define ZARIK_PASS_CASE(k) \
    case k:                \
        all_classes<k>(plan, cols, fraction); \
        return;
        ZARIK_PASS_CASE(0) ZARIK_PASS_CASE(1) ZARIK_PASS_CASE(2) ZARIK_PASS_CASE(3)
        ZARIK_PASS_CASE(4) ZARIK_PASS_CASE(5) ZARIK_PASS_CASE(6) ZARIK_PASS_CASE(7)
        ZARIK_PASS_CASE(8) ZARIK_PASS_CASE(9) ZARIK_PASS_CASE(10) ZARIK_PASS_CASE(11)
        ZARIK_PASS_CASE(12) ZARIK_PASS_CASE(13) ZARIK_PASS_CASE(14) ZARIK_PASS_CASE(15)
        ZARIK_PASS_CASE(PF_CLOSING) ZARIK_PASS_CASE(PF_CLOSING | PF_PARTIAL)
        ZARIK_PASS_CASE(PF_CLOSING | PF_DETECT) ZARIK_PASS_CASE(PF_CLOSING | PF_DETECT | PF_PARTIAL)
#undef ZARIK_PASS_CASE
        default:
            // A closing pass that re-solves or opens: no history to leave.
            SERIES_RESULTS(plan, cols, flags & ~PF_CLOSING, fraction);
    }
}
