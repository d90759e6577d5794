#include "network/source_results.h"

#include "network/chatter.h"
#include "network/pass_values.h"

namespace {

// One class of sourced branches: L and C tell the class, Extrapolate the
// subsystem's SSEXTRAP.
template <int Flags, bool L, bool C, bool Extrapolate>
bool class_results(const std::vector<PlannedBranch>& list, const PassColumns& cols, const SourceColumns& src,
                   double fraction) {
    constexpr bool partial = Flags & PF_PARTIAL, resolving = Flags & PF_RESOLVING, opening = Flags & PF_OPENING;
    constexpr bool detect = Flags & PF_DETECT, closing = Flags & PF_CLOSING;
    const double reached = src.reached;
    constexpr bool extrapolate = Extrapolate;
    const double* __restrict x = cols.x;
    const Logical* __restrict changed = cols.changed.p - 1;
    const double* __restrict geq = cols.geq.p - 1;
    double* __restrict cbr = cols.cbr.p - 1;
    double* __restrict cbrt = cols.cbrt.p - 1;
    double* __restrict ccbr = cols.ccbr.p - 1;
    double* __restrict ccbrd = cols.ccbrd.p - 1;
    const double* __restrict ebr = src.ebr.p - 1;
    double* __restrict ebrd = src.ebrd.p - 1;
    int32_t* __restrict counter = cols.counter.p - 1;
    const double level = cols.level;
    bool any = false;
    for (const PlannedBranch& e : list) {
        const int32_t b = e.b;
        // INTVAL2 without evaluation; an extrapolated voltage source first
        // moves its EBRD to the pass's end.
        const double now = ebr[b];
        double emf;
        if (!opening && extrapolate && (e.kind & BK_VSOURCE)) {
            if (resolving) {
                emf = ebrd[b];
            } else {
                ebrd[b] = partial ? ebrd[b] + fraction * (now - ebrd[b]) : now;
                emf = now;
            }
        } else {
            emf = value_at_pass(now, ebrd[b], opening && is_true(changed[b]), reached, opening, resolving, partial);
        }
        const double vb = x[e.from] - x[e.to] + emf;
        const double held = ccbr[b], before = ccbrd[b];
        const double h = opening ? (is_true(changed[b]) ? held : before) : held;
        const double i = geq[b] * vb + h;
        if (detect) {
            // The chatter counter moves from the current before to the
            // pass's, which the branch then takes.
            cbrt[b] = i;
            const double was = cbr[b];
            const int32_t next = CHATTER_NEXT(counter[b], was, i, level);
            counter[b] = next;
            any |= CHATTER_AT(next);
            cbr[b] = partial ? was + fraction * (i - was) : i;
        } else {
            cbr[b] = partial ? cbr[b] + fraction * (i - cbr[b]) : i;
        }
        if (!resolving) {
            const double drawn = before + fraction * (held - before);
            ccbr[b] = drawn;
            if (closing) ccbrd[b] = drawn;
        }
        // The step's close of EBRD, here where the EMF is at hand; an
        // extrapolated voltage source keeps the EBRD moved above.
        if (closing && !(extrapolate && (e.kind & BK_VSOURCE))) ebrd[b] = now;
        if (!L && !C) continue;
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
    return any;
}

template <int Flags, bool Extrapolate>
bool each_class(const BranchPlan& plan, const PassColumns& cols, const SourceColumns& src, double fraction) {
    const auto& by = plan.sourced;
    bool any = false;
    if (!by[SC_R].empty()) any |= class_results<Flags, false, false, Extrapolate>(by[SC_R], cols, src, fraction);
    if (!by[SC_L].empty()) any |= class_results<Flags, true, false, Extrapolate>(by[SC_L], cols, src, fraction);
    if (!by[SC_C].empty()) any |= class_results<Flags, false, true, Extrapolate>(by[SC_C], cols, src, fraction);
    if (!by[SC_LC].empty()) any |= class_results<Flags, true, true, Extrapolate>(by[SC_LC], cols, src, fraction);
    return any;
}

template <int Flags>
bool all_classes(const BranchPlan& plan, const PassColumns& cols, const SourceColumns& src, double fraction) {
    if (src.extrapolate) return each_class<Flags, true>(plan, cols, src, fraction);
    return each_class<Flags, false>(plan, cols, src, fraction);
}

}  // namespace

bool SOURCE_RESULTS(const BranchPlan& plan, const PassColumns& cols, const SourceColumns& src, int flags,
                    double fraction) {
    // A pass that re-solves or opens a step leaves nothing for its close.
    if (flags & (PF_RESOLVING | PF_OPENING)) flags &= ~PF_CLOSING;
    switch (flags) {
#define ZARIK_PASS_CASE(k) \
    case k:                \
        return all_classes<k>(plan, cols, src, fraction);
        ZARIK_EACH_PASS_FLAGS(ZARIK_PASS_CASE)
#undef ZARIK_PASS_CASE
    }
    return false;
}
