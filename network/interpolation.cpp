#include "network/interpolation.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/storage.h"
#include "network/branch_plan.h"
#include "network/network_tables.h"
#include "network/pass_values.h"
#include "network/solution_checks.h"
#include "network/solution_columns.h"
#include "network/solution_hooks.h"
#include "network/solution_loops.h"
#include "network/substitution.h"
#include "network/subsystem_columns.h"
#include "network/triangularise.h"

namespace {

constexpr int32_t kVoltageSourceRecord = 101;

}  // namespace

bool voltage_source_branch(int32_t b, int32_t ss) {
    const int32_t k = NET.THISBR(b, ss);
    NET.SRC_POS = k;
    return k >= 1 && k <= STORAGE.STORI.size() && STORAGE.STORI(k) == kVoltageSourceRecord;
}

namespace {

// A branch and subsystem the tables hold; what an index outside them reads
// as is noted, and gives 0.0.
bool in_tables(int32_t b, int32_t ss) {
    const NetworkTables& N = NET;
    if (N.CCBR.in_range(b, ss) && N.BRCHG.in_range(b) && N.THISBR.in_range(b, ss)) return true;
    note_array_overrun();
    return false;
}

}  // namespace

double INTVAL1(int32_t b, int32_t ss, bool resolving, bool partial, bool opening, double reached) {
    if (!in_tables(b, ss)) return 0.0;
    return PassValues(ss, resolving, partial, opening, reached).history(b);
}

double INTVAL2(int32_t b, int32_t ss, bool resolving, bool vsource, bool partial, bool evaluate, bool opening,
               double reached) {
    if (!in_tables(b, ss)) return 0.0;
    return PassValues(ss, resolving, partial, opening, reached).emf(b, vsource, evaluate);
}

double CROSSFRAC(double start, double end, double level) {
    double f = 1.0;
    if (std::fabs(start - end) > 1e-10) f = (start - level) / (start - end);
    if (f < 0.0) return 0.0;
    if (f > 1.0) return 1.0;
    return f;
}

void CROSSADJ(double& fraction, double step, double a1, double b1, double a2, double b2, double level) {
    const double d = (a1 + (b1 - a1) * fraction) - (a2 + (b2 - a2) * fraction);
    if ((a1 - a2 <= b1 - b2 && d < level) || (a1 - a2 > b1 - b2 && d > level))
        fraction = fraction + step * 2.0 * (d - level);
    fraction = std::max(fraction, 1e-4);
}

namespace {

// The columns the injections of a pass read, each with element b at index b.
struct InjectionColumns {
    const int32_t *to, *from, *record;
    const Logical* changed;
    const double *geq, *ccbr, *ccbrd, *ebr, *ebrd;
};

// The injections of the branches with a source or an injected current, in
// branch order (they are summed into CINJ): INTVAL1 and INTVAL2 for the
// kind of pass, the voltage sources re-evaluated where INTVAL2 asks it.
template <bool Opening, bool Resolving, bool Partial, bool Extrapolate>
void inject_branches(const std::vector<int32_t>& list, const uint8_t* kinds, const InjectionColumns& c,
                     double* cinj, double reached) {
    for (const int32_t b : list) {
        const uint8_t kind = kinds[b];
        double v = 0.0;
        if (kind & BK_INJECTED)
            v = value_at_pass(c.ccbr[b], c.ccbrd[b], Opening && is_true(c.changed[b]), reached, Opening, Resolving,
                              Partial);
        if (kind & BK_SOURCE) {
            double e;
            if (!Opening && Extrapolate && (kind & BK_VSOURCE)) {
                if (!Resolving) {
                    NET.SRC_POS = c.record[b];
                    VSRC_EVAL();
                    e = c.ebr[b];
                } else {
                    e = c.ebrd[b];
                }
            } else {
                e = value_at_pass(c.ebr[b], c.ebrd[b], Opening && is_true(c.changed[b]), reached, Opening, Resolving,
                                  Partial);
            }
            v = v + c.geq[b] * e;
        }
        // A branch with both ends on ground injects nowhere.
        const int32_t i = c.to[b], j = c.from[b];
        if (i != 0) cinj[i] += v;
        if (j != 0) cinj[j] -= v;
    }
}

}  // namespace

void INTERPA(int32_t ss, double reached, bool partial, bool resolving, bool opening) {
    NetworkTables& N = NET;
    const int32_t n = N.NBUSES(ss);
    const Col<double> cinj = column(N.CINJ);
    // Entries 1 to n are all written below.
    std::fill(cinj.p + n, cinj.p + N.CINJ.size(), 0.0);
    const SubsystemColumns& C = subsystem_columns(ss);
    rhs_nodes(n, C.tlinj.p, C.tlinjd.p, C.chist.p, cinj.p, reached, resolving, opening);

    const BranchPlan& plan = branch_plan(ss);
    const InjectionColumns c{C.iet.p - 1,  C.ief.p - 1,   C.thisbr.p - 1, C.brchg.p - 1, C.geq.p - 1,
                             C.ccbr.p - 1, C.ccbrd.p - 1, C.ebr.p - 1,    C.ebrd.p - 1};
    const bool extrap = is_true(N.SSEXTRAP(ss));
    // Made for each kind of pass and for SSEXTRAP on and off.
    auto* inject = extrap ? &inject_branches<false, false, false, true> : &inject_branches<false, false, false, false>;
    if (opening)
        inject = &inject_branches<true, false, false, false>;
    else if (resolving && partial)
        inject = extrap ? &inject_branches<false, true, true, true> : &inject_branches<false, true, true, false>;
    else if (resolving)
        inject = extrap ? &inject_branches<false, true, false, true> : &inject_branches<false, true, false, false>;
    else if (partial)
        inject = extrap ? &inject_branches<false, false, true, true> : &inject_branches<false, false, true, false>;
    inject(plan.injecting, plan.kind.data(), c, cinj.p - 1, reached);

    const Col<int32_t> norbus = C.norbus;
    const Col<double> cnor = C.cnor, cnord = C.cnord;
    const Col<Logical> changed = C.norchg;
    for (int32_t m = 1; m <= N.NNORTON(ss); ++m) {
        const int32_t k = norbus[m];
        double v;
        if (opening) {
            v = is_true(changed[k]) ? cnor[k] : cnord[k];
        } else {
            v = resolving ? cnord[k] : cnor[k];
            if (extrap && partial) v = v + reached * (cnor[k] - cnord[k]);
        }
        cinj[k] += v;
    }
}

namespace {

// Ideal-branch constraints: the values of the constraint rows and the
// injections of their eliminated nodes moved onto the kept ones.
void ideal_rows(int32_t ss, bool resolving, bool partial, bool opening, double reached, const Col<double>& w) {
    NetworkTables& N = NET;
    const int32_t all = std::min<int64_t>(N.NIDEAL(ss), std::min(N.IDLIST.extent(1), N.IDNODES.extent(1)));
    const int32_t merged = std::clamp(N.NIDEALA(ss), 0, std::max(all, 0));
    if (all <= 0) return;
    static std::vector<double> idval;
    idval.assign(static_cast<size_t>(all) + 1, 0.0);
    for (int32_t e = 1; e <= all; ++e) {
        const int32_t b = std::abs(N.IDLIST(e, ss));
        if (b == 0) continue;
        N.IDNODES(e, 1) = N.IEF(b, ss);
        N.IDNODES(e, 2) = N.IET(b, ss);
    }
    // Eliminated and kept node of entry e, by its sign.
    const auto nodes = [&](int32_t e, int32_t& m, int32_t& k) {
        const bool positive = N.IDLIST(e, ss) > 0;
        m = positive ? N.IDNODES(e, 1) : N.IDNODES(e, 2);
        k = positive ? N.IDNODES(e, 2) : N.IDNODES(e, 1);
    };
    const auto emf = [&](int32_t e) {
        const int32_t b = std::abs(N.IDLIST(e, ss));
        const bool vs = voltage_source_branch(b, ss);
        const double E = INTVAL2(b, ss, resolving, vs, partial, true, opening, reached);
        return N.IDLIST(e, ss) > 0 ? -E : E;
    };
    for (int32_t e = 1; e <= merged; ++e) {
        if (N.IDLIST(e, ss) == 0) continue;
        const double E = emf(e);
        int32_t m, k;
        nodes(e, m, k);
        if (m < 1 || k < 1) continue;
        w[k] = w[m] + w[k];
        w[m] = idval[e] + E;
        for (int32_t e2 = e + 1; e2 <= all; ++e2) {
            if (N.IDLIST(e2, ss) == 0) continue;
            int32_t m2, k2;
            nodes(e2, m2, k2);
            if (m2 == m) idval[e2] -= w[m];
            if (k2 == m) idval[e2] += w[m];
            for (int side : {1, 2})
                if (N.IDNODES(e2, side) == m) N.IDNODES(e2, side) = k;
        }
    }
    for (int32_t e = merged + 1; e <= all; ++e) {
        if (N.IDLIST(e, ss) == 0) continue;
        const double E = emf(e);
        int32_t m, k;
        nodes(e, m, k);
        if (m >= 1) w[m] = idval[e] + E;
    }
}

}  // namespace

namespace {

void substitute_rows(const Substitution& s, const double* rhs) {
    forward_rows(s, [rhs](int32_t k) __attribute__((always_inline)) { return rhs[k]; });
    back_rows(s);
}
__attribute__((target("fma"))) void substitute_rows_fused(const Substitution& s, const double* rhs) {
    forward_rows(s, [rhs](int32_t k) __attribute__((always_inline)) { return rhs[k]; });
    back_rows(s);
}

}  // namespace

void INTERPB(int32_t ss, double reached, bool partial, bool resolving, bool opening) {
    NetworkTables& N = NET;
    const int32_t n = N.NBUSES(ss);
    const SubsystemFactors* f = subsystem_factors(ss);
    if (f == nullptr) solution_tables_error(ss);
    const Col<double> cinj = column(N.CINJ), w = column(N.CINJW);
    // The right-hand side is read from CINJ unless the ideal branches
    // rewrite some of its entries first.
    Col<double> rhs = cinj;
    if (is_true(N.IDEALSS(ss))) {
        for (int32_t k = 1; k <= n; ++k) w[k] = cinj[k];
        ideal_rows(ss, resolving, partial, opening, reached, w);
        rhs = w;
    }

    const Substitution sub = substitution_of(ss, *f);
    if (fused_multiply_add())
        substitute_rows_fused(sub, rhs.p - 1);
    else
        substitute_rows(sub, rhs.p - 1);
}

